#include "solver/regret_storage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/adaptive_precision.h"
#include "solver/span_rows.h"
#include "solver/terminal_scratch.h"

void AverageEarlyGroups(uint16_t* rows, size_t stride, int actions, ComboSpan span,
                        const EarlyGroups& groups) {
    const auto member = [&](int position) {
        return groups.order.empty() ? position : int(groups.order[position]);
    };
    const auto inside = [&](int combo) { return combo >= span.first && combo < span.End(); };
    for (int a = 0; a < actions; ++a) {
        uint16_t* row   = rows + a * stride;  // position p of the list at row[p - span.first]
        int       begin = 0;
        for (uint16_t size : groups.sizes) {
            const int end = begin + int(size);
            uint32_t  sum = 0, members = 0;
            for (int i = begin; i < end; ++i)
                if (inside(member(i)))
                    sum += row[member(i) - span.first], ++members;
            if (members > 0) {
                const auto mean = static_cast<uint16_t>(sum / members);
                for (int i = begin; i < end; ++i)
                    if (inside(member(i)))
                        row[member(i) - span.first] = mean;
            }
            begin = end;
        }
    }
}

RunoutRegretStorage::RunoutRegretStorage(const RunoutLayout& layout) : layout_(layout) {
    assert(layout.Valid());
    factors_.Reset(layout.slots);
    locks_.Reset(layout);
    Allocate();
}

void RunoutRegretStorage::Release() { regrets_.Reset(0); }

void RunoutRegretStorage::Allocate() {
    regrets_.Reset(layout_.Elements());
    std::fill_n(factors_.data(), layout_.slots, kInitialPrecisionFactor);
}

void RunoutRegretStorage::CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                          size_t stride) const {
    MatchRegrets(kernels, Row(slot, 0), layout_.SlotStride(slot), layout_, layout_.Span(slot),
                 strategy, stride);
}

void MatchRegrets(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                  const RunoutLayout& layout, ComboSpan span, float* strategy, size_t stride) {
    const int    n   = span.count;
    float*       out = strategy + span.first;
    switch (layout.actions) {
    case 1: std::fill_n(out, n, 1.0f); break;
    case 2: kernels.RegretMatch2(rows, rs, n, out, stride); break;
    case 3: kernels.RegretMatch3(rows, rs, n, out, stride); break;
    case 4: kernels.RegretMatch4(rows, rs, n, out, stride); break;
    default: kernels.RegretMatchN(rows, rs, layout.actions, n, out, stride);
    }
    ZeroOutsideRows(strategy, stride, layout.actions, span, layout.combos);
}

uint64_t RegretChildReach(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                          const RunoutLayout& layout, ComboSpan span, const float* reach, int n,
                          float* const* out) {
    span = SpanWithin(span, n);
    float* shifted[kMaxActions];
    ShiftRows(out, layout.actions, span.first, shifted);
    const uint64_t bits = kernels.RegretReach(rows, rs, layout.actions,
                                              span.count, reach + span.first, shifted);
    for (int a = 0; a < layout.actions; ++a)
        ZeroOutside(out[a], span, n);
    return bits;
}

uint64_t RunoutRegretStorage::ChildReach(int slot, const SolverKernels& kernels,
                                         const float* reach, int n, float* const* out) const {
    // A written strategy replaces regret matching for some combos: the general path
    // applies it.
    if (layout_.actions == 1 || locks_.HasWrittenStrategy(slot))
        return StrategyStore::ChildReach(slot, kernels, reach, n, out);
    return RegretChildReach(kernels, Row(slot, 0), layout_.SlotStride(slot), layout_,
                            layout_.Span(slot), reach, n, out);
}

void RunoutRegretStorage::UpdateRegrets(int slot, const SolverKernels& kernels,
                                        const float* const* action_values,
                                        const float* node_values, const RegretUpdate& update) {
    if (locks_.Locked(slot))
        return;
    locks_.ForgetWritten(slot);
    const RegretStep step = MakeRegretStep(update.scale * factors_[slot]);
    const ComboSpan  span = layout_.Span(slot);
    const float*     values[kMaxActions];
    ShiftRows(action_values, layout_.actions, span.first, values);
    kernels.UpdateRegrets(Row(slot, 0), layout_.SlotStride(slot), layout_.actions, span.count,
                          values, node_values + span.first, step, locks_.RowSkipBits(slot));
    AfterUpdate(slot, update);
}

void RunoutRegretStorage::FusedUpdate(int slot, const SolverKernels& kernels,
                                      const float* const* action_values, float* node_values,
                                      const RegretUpdate& update) {
    const int actions = layout_.actions;
    if (actions >= 2 && actions <= 4 && !locks_.Locked(slot) && !locks_.HasWrittenStrategy(slot)) {
        FusedRegretUpdate(kernels, Row(slot, 0), layout_.SlotStride(slot), layout_,
                          layout_.Span(slot), action_values, node_values,
                          MakeRegretStep(update.scale * factors_[slot]), locks_.RowSkipBits(slot));
        AfterUpdate(slot, update);
        return;
    }
    // Other action counts (and locked slots, or slots playing a written strategy): the
    // three steps one after the other, with the strategy in the thread's scratch.
    const size_t stride   = layout_.RowStride();
    float*       strategy = ThreadTerminalScratch().strategy_rows();
    PlayedStrategy(slot, kernels, strategy, stride);
    kernels.WeightedValueSum(strategy, stride, action_values, actions, layout_.combos, node_values);
    UpdateRegrets(slot, kernels, action_values, node_values, update);
}

void RunoutRegretStorage::SeedStrategy(int slot, const float* rows, size_t stride) {
    SeedRegrets(Row(slot, 0), layout_.SlotStride(slot), layout_, layout_.Span(slot), rows, stride);
}

void FusedRegretUpdate(const SolverKernels& kernels, uint16_t* rows, size_t rs,
                       const RunoutLayout& layout, ComboSpan span,
                       const float* const* action_values, float* node_values,
                       const RegretStep& step, const uint32_t* skip_bits) {
    const auto fused = layout.actions == 2   ? kernels.FusedUpdate2
                       : layout.actions == 3 ? kernels.FusedUpdate3
                                             : kernels.FusedUpdate4;
    const float* values[kMaxActions];
    ShiftRows(action_values, layout.actions, span.first, values);
    fused(rows, rs, span.count, values, node_values + span.first, step,
          skip_bits);
    ZeroOutside(node_values, span, layout.combos);
}

void SeedRegrets(uint16_t* regrets, size_t rs, const RunoutLayout& layout, ComboSpan span,
                 const float* rows, size_t stride) {
    for (int i = span.first; i < span.End(); ++i) {
        uint16_t* regret      = regrets + (i - span.first);
        double    total       = 0;
        double    frequencies = 0;
        for (int a = 0; a < layout.actions; ++a) {
            total += regret[a * rs];
            frequencies += std::max(rows[a * stride + i], 0.0f);
        }
        if (!(frequencies > 0)) {
            for (int a = 0; a < layout.actions; ++a)
                regret[a * rs] = 0;  // no preference: the uniform default strategy
            continue;
        }
        const double mass = std::max(total, kSeedRegretMass) / frequencies;
        for (int a = 0; a < layout.actions; ++a) {
            const double value = std::round(std::max(rows[a * stride + i], 0.0f) * mass);
            regret[a * rs]     = static_cast<uint16_t>(std::min(value, 65535.0));
        }
    }
}

void RunoutRegretStorage::AfterUpdate(int slot, const RegretUpdate& update) {
    if (!update.early_groups.empty())
        AverageEarlyGroups(Row(slot, 0), layout_.SlotStride(slot), layout_.actions,
                           layout_.Span(slot), update.early_groups);
    if (update.adaptive && update.iteration % 10 == 0)
        ReadjustPrecision(Row(slot, 0), layout_.actions, layout_.SlotStride(slot),
                          layout_.Span(slot).count, factors_[slot], update.precision);
}

uint64_t RunoutRegretStorage::ByteSize() const {
    return regrets_.size() * sizeof(uint16_t) + factors_.size() * sizeof(float) + locks_.ByteSize();
}

void RunoutRegretStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, Kind(), kFormatVersion, layout_);
    out.PutBytes(factors_.data(), factors_.size() * sizeof(float));
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, s, Row(s, 0), layout_.SlotStride(s));
    locks_.Write(out);
}

StorageStatus RunoutRegretStorage::Read(StorageReader& in) {
    if (const StorageStatus status = ReadStoreHeader(in, Kind(), kFormatVersion, layout_);
        status != StorageStatus::kOk)
        return status;

    RunoutRegretStorage loaded(layout_);
    if (!in.GetBytes(loaded.factors_.data(), layout_.slots * sizeof(float)))
        return StorageStatus::kTruncated;
    for (int s = 0; s < layout_.slots; ++s)
        if (!(std::isfinite(loaded.factors_[s]) && loaded.factors_[s] > 0.0f))
            return StorageStatus::kBadValue;
    for (int s = 0; s < layout_.slots; ++s)
        if (!ReadSlotRows(in, layout_, s, loaded.Row(s, 0), layout_.SlotStride(s)))
            return StorageStatus::kTruncated;
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    regrets_ = std::move(loaded.regrets_);
    factors_ = std::move(loaded.factors_);
    locks_   = std::move(loaded.locks_);
    return StorageStatus::kOk;
}
