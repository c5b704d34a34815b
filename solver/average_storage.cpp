#include "solver/average_storage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/span_rows.h"

RunoutAverageStorage::RunoutAverageStorage(const RunoutLayout& layout) : layout_(layout) {
    assert(layout.Valid());
    locks_.Reset(layout);
    Allocate();
}

void RunoutAverageStorage::Release() {
    sums_.Reset(0);
    exponents_.Reset(0);
}

void RunoutAverageStorage::Allocate() {
    sums_.Reset(layout_.Elements());
    exponents_.Reset(size_t(layout_.slots) * layout_.actions);
}

void RunoutAverageStorage::CurrentStrategy(int slot, const SolverKernels& kernels,
                                           float* strategy, size_t stride) const {
    float   row_scale[kMaxActions];
    uint8_t top = 0;
    for (int a = 0; a < layout_.actions; ++a)
        top = std::max(top, Exponent(slot, a));
    for (int a = 0; a < layout_.actions; ++a)
        row_scale[a] = std::ldexp(1.0f, int(Exponent(slot, a)) - int(top));
    NormalizeSpan(kernels, Row(slot, 0), layout_.SlotStride(slot), layout_, layout_.Span(slot),
                  row_scale, strategy, stride);
}

void NormalizeSpan(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                   const RunoutLayout& layout, ComboSpan span, const float* row_scale,
                   float* strategy, size_t stride) {
    kernels.NormalizeAverages(rows, rs, row_scale, layout.actions, span.count,
                              strategy + span.first, stride);
    ZeroOutsideRows(strategy, stride, layout.actions, span, layout.combos);
}

namespace {

// Reach never exceeds the root mass (32), so below this multiplier every raised sum is a
// finite float and the one-pass add applies.
constexpr float kInRangeMultiplierBound = 1e36f;

}  // namespace

void RunoutAverageStorage::AccumulateAverage(int slot, const SolverKernels& kernels,
                                             const float* const* child_reach, double weight) {
    if (locks_.Locked(slot) || !(weight > 0.0))
        return;
    locks_.ForgetWritten(slot);
    const ComboSpan span = layout_.Span(slot);
    const int       n    = span.count;
    for (int a = 0; a < layout_.actions; ++a) {
        if (child_reach[a] == nullptr)
            continue;
        uint8_t&    exponent   = exponents_[slot * layout_.actions + a];
        const float multiplier = static_cast<float>(std::ldexp(weight, -int(exponent)));
        uint16_t*    row        = Row(slot, a);
        const float* reach      = child_reach[a] + span.first;
        // Without halvings one pass adds everything; the combos it has raised then count
        // with their new sums (multiplier 0 adds nothing) when the peak is found.
        int done = 0;
        if (multiplier < kInRangeMultiplierBound) {
            done = kernels.AverageAddInRange(row, reach, multiplier, n);
            if (done == n)
                continue;
        }
        const float rest = kernels.AveragePeak(row + done, reach + done, multiplier, n - done);
        const float peak = std::max(kernels.AveragePeak(row, reach, 0.0f, done), rest);
        if (!std::isfinite(peak))
            continue;  // weight * reach beyond the float range: nothing meaningful to add
        int halvings = 0;
        while (std::ldexp(peak, -halvings) > float(kAverageMax))
            ++halvings;
        const float shrink = std::ldexp(1.0f, -halvings);
        kernels.AverageAdd(row, reach, 0.0f, shrink, done);
        kernels.AverageAdd(row + done, reach + done, multiplier, shrink, n - done);
        exponent = static_cast<uint8_t>(std::min(int(exponent) + halvings, kMaxAverageExponent));
    }
}

uint64_t RunoutAverageStorage::ByteSize() const {
    return sums_.size() * sizeof(uint16_t) + exponents_.size() + locks_.ByteSize();
}

void RunoutAverageStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, Kind(), kFormatVersion, layout_);
    out.PutBytes(exponents_.data(), exponents_.size());
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, s, Row(s, 0), layout_.SlotStride(s));
    locks_.Write(out);
}

StorageStatus RunoutAverageStorage::Read(StorageReader& in) {
    if (const StorageStatus status = ReadStoreHeader(in, Kind(), kFormatVersion, layout_);
        status != StorageStatus::kOk)
        return status;

    RunoutAverageStorage loaded(layout_);
    if (!in.GetBytes(loaded.exponents_.data(), loaded.exponents_.size()))
        return StorageStatus::kTruncated;
    for (size_t i = 0; i < loaded.exponents_.size(); ++i)
        if (loaded.exponents_[i] > kMaxAverageExponent)
            return StorageStatus::kBadValue;
    for (int s = 0; s < layout_.slots; ++s)
        if (!ReadSlotRows(in, layout_, s, loaded.Row(s, 0), layout_.SlotStride(s)))
            return StorageStatus::kTruncated;
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    sums_      = std::move(loaded.sums_);
    exponents_ = std::move(loaded.exponents_);
    locks_     = std::move(loaded.locks_);
    return StorageStatus::kOk;
}
