#include "solver/compressed_average_storage.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <vector>

#include "solver/average_blocks.h"
#include "solver/average_storage.h"
#include "solver/combo_quantizer.h"

CompressedAverageStorage::CompressedAverageStorage(const RunoutLayout& layout, int mode)
    : layout_(layout),
      mode_(mode),
      sums_(std::make_unique<PackedSlots>(
          SlotShape{layout.actions, layout.RowCombos(), layout.StoredStride()}, layout.slots)) {
    assert(layout.Valid() && (mode == 1 || mode == 2));
    locks_.Reset(layout);
    Allocate();
}

StoreKind CompressedAverageStorage::Kind() const {
    return mode_ == 1 ? StoreKind::kCompressedAverages1 : StoreKind::kCompressedAverages2;
}

void CompressedAverageStorage::Release() {
    sums_->Clear();
    exponents_.Reset(0);
    allocated_ = false;
}

void CompressedAverageStorage::Allocate() {
    sums_->Clear();
    exponents_.Reset(size_t(layout_.slots) * layout_.actions);
    allocated_ = true;
}

uint16_t* CompressedAverageStorage::LoadSlot(int slot) const {
    uint16_t* rows = ThreadSlotRows(layout_.SlotElements());
    sums_->Load(slot, rows);
    return rows;
}

void CompressedAverageStorage::CurrentStrategy(int slot, const SolverKernels& kernels,
                                               float* strategy, size_t stride) const {
    float row_scale[kMaxActions];
    BlockScales(exponents_.data() + slot * layout_.actions, layout_.actions, row_scale);
    NormalizeSpan(kernels, LoadSlot(slot), layout_.StoredStride(), layout_, layout_.Span(slot),
                  row_scale, strategy, stride);
}

void CompressedAverageStorage::AccumulateAverage(int slot, const SolverKernels&,
                                                 const float* const* child_reach, double weight) {
    // One action's average is that action whatever the weights: they are not kept.
    if (locks_.Locked(slot) || !(weight > 0.0) || layout_.actions == 1)
        return;
    locks_.ForgetWritten(slot);
    const ComboSpan span    = layout_.Span(slot);
    uint16_t*       rows    = nullptr;
    bool            changed = false;
    for (int a = 0; a < layout_.actions; ++a) {
        if (child_reach[a] == nullptr)
            continue;
        if (!rows)
            rows = LoadSlot(slot);
        changed |= AccumulateNarrowBlock(rows + a * layout_.StoredStride(),
                                         exponents_[slot * layout_.actions + a],
                                         child_reach[a] + span.first, weight, span.count, slot, a);
    }
    if (!changed)
        return;
    if (mode_ == 2)
        QuantizeCombos(rows, layout_.actions, layout_.StoredStride(), span.count,
                       kAverageBitsMode2, QuantizeSeed(slot, std::bit_cast<uint64_t>(weight), 1));
    sums_->Store(slot, rows);
}

uint64_t CompressedAverageStorage::ByteSize() const {
    return sums_->ByteSize() + exponents_.size() + locks_.ByteSize();
}

// The plain average form (average_storage.h).
void CompressedAverageStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, StoreKind::kRunoutAverages, RunoutAverageStorage::kFormatVersion, layout_);
    out.PutBytes(exponents_.data(), exponents_.size());
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, s, LoadSlot(s), layout_.StoredStride());
    locks_.Write(out);
}

StorageStatus CompressedAverageStorage::Read(StorageReader& in) {
    if (const StorageStatus status = ReadStoreHeader(in, StoreKind::kRunoutAverages,
                                                     RunoutAverageStorage::kFormatVersion, layout_);
        status != StorageStatus::kOk)
        return status;

    CompressedAverageStorage loaded(layout_, mode_);
    if (!in.GetBytes(loaded.exponents_.data(), loaded.exponents_.size()))
        return StorageStatus::kTruncated;
    for (size_t i = 0; i < loaded.exponents_.size(); ++i)
        if (loaded.exponents_[i] > kMaxAverageExponent)
            return StorageStatus::kBadValue;
    uint16_t* rows = ThreadSlotRows(layout_.SlotElements());
    std::vector<uint16_t> wide(layout_.RowCombos());
    for (int s = 0; s < layout_.slots; ++s) {
        std::fill_n(rows, layout_.SlotElements(), uint16_t{0});
        const int count = layout_.Span(s).count;
        for (int a = 0; a < layout_.actions; ++a) {
            if (!in.GetBytes(wide.data(), count * sizeof(uint16_t)))
                return StorageStatus::kTruncated;
            uint8_t&  exponent = loaded.exponents_[s * layout_.actions + a];
            const int shift    = NarrowBlock(wide.data(), count, rows + a * layout_.StoredStride());
            exponent = static_cast<uint8_t>(std::min(int(exponent) + shift, kMaxAverageExponent));
        }
        loaded.sums_->Store(s, rows);
    }
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    sums_      = std::move(loaded.sums_);
    exponents_ = std::move(loaded.exponents_);
    locks_     = std::move(loaded.locks_);
    allocated_ = true;
    return StorageStatus::kOk;
}
