#include "solver/fast_average_storage.h"

#include <algorithm>
#include <cmath>
#include <cassert>

#include "solver/average_blocks.h"
#include "solver/average_storage.h"
#include "solver/packed_slots.h"

FastAverageStorage::FastAverageStorage(const RunoutLayout& layout) : layout_(layout) {
    assert(layout.Valid());
    locks_.Reset(layout);
    Allocate();
}

void FastAverageStorage::Release() {
    sums_.Reset(0);
    exponents_.Reset(0);
}

void FastAverageStorage::Allocate() {
    sums_.Reset(layout_.Elements());
    exponents_.Reset(size_t(layout_.slots) * layout_.actions);
}

// The slot's numbers as u16 rows, StoredStride() apart, in the thread's scratch (the
// kernels' element type).
uint16_t* FastAverageStorage::WidenSlot(int slot) const {
    const size_t stride = layout_.StoredStride();
    const size_t length = layout_.SlotStride(slot);
    uint16_t*    rows   = ThreadSlotRows(layout_.SlotElements());
    for (int a = 0; a < layout_.actions; ++a)
        std::copy_n(Row(slot, a), length, rows + a * stride);
    return rows;
}

void FastAverageStorage::CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                         size_t stride) const {
    float row_scale[kMaxActions];
    BlockScales(exponents_.data() + slot * layout_.actions, layout_.actions, row_scale);
    NormalizeSpan(kernels, WidenSlot(slot), layout_.StoredStride(), layout_, layout_.Span(slot),
                  row_scale, strategy, stride);
}

void FastAverageStorage::AccumulateAverage(int slot, const SolverKernels&,
                                           const float* const* child_reach, double weight) {
    // One action's average is that action: as the packed stores, it adds nothing (so that
    // both play the same exact 1, not a normalised sum).
    if (locks_.Locked(slot) || !(weight > 0.0) || layout_.actions == 1)
        return;
    locks_.ForgetWritten(slot);
    const ComboSpan span = layout_.Span(slot);
    for (int a = 0; a < layout_.actions; ++a)
        if (child_reach[a] != nullptr)
            AccumulateNarrowBlock(sums_.data() + layout_.RowOffset(slot, a),
                                  exponents_[slot * layout_.actions + a],
                                  child_reach[a] + span.first, weight, span.count, slot, a);
}

uint64_t FastAverageStorage::ByteSize() const {
    return sums_.size() + exponents_.size() + locks_.ByteSize();
}

void FastAverageStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, StoreKind::kRunoutAverages, RunoutAverageStorage::kFormatVersion, layout_);
    out.PutBytes(exponents_.data(), exponents_.size());
    std::vector<uint16_t> wide(layout_.RowCombos());
    for (int s = 0; s < layout_.slots; ++s)
        for (int a = 0; a < layout_.actions; ++a) {
            const int count = layout_.Span(s).count;
            std::copy_n(Row(s, a), count, wide.begin());
            out.PutBytes(wide.data(), count * sizeof(uint16_t));
        }
    locks_.Write(out);
}

StorageStatus FastAverageStorage::Read(StorageReader& in) {
    if (const StorageStatus status = ReadStoreHeader(in, StoreKind::kRunoutAverages,
                                                     RunoutAverageStorage::kFormatVersion, layout_);
        status != StorageStatus::kOk)
        return status;

    FastAverageStorage loaded(layout_);
    if (!in.GetBytes(loaded.exponents_.data(), loaded.exponents_.size()))
        return StorageStatus::kTruncated;
    std::vector<uint16_t> wide(layout_.RowCombos());
    for (int s = 0; s < layout_.slots; ++s)
        for (int a = 0; a < layout_.actions; ++a) {
            uint8_t&  exponent = loaded.exponents_[s * layout_.actions + a];
            const int count    = layout_.Span(s).count;
            if (exponent > kMaxAverageExponent)
                return StorageStatus::kBadValue;
            if (!in.GetBytes(wide.data(), count * sizeof(uint16_t)))
                return StorageStatus::kTruncated;
            const int shift = NarrowBlock(wide.data(), count,
                                          loaded.sums_.data() + layout_.RowOffset(s, a));
            exponent = static_cast<uint8_t>(std::min(int(exponent) + shift, kMaxAverageExponent));
        }
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    sums_      = std::move(loaded.sums_);
    exponents_ = std::move(loaded.exponents_);
    locks_     = std::move(loaded.locks_);
    return StorageStatus::kOk;
}
