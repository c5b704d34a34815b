#include "solver/regret_storage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/adaptive_precision.h"
#include "solver/terminal_scratch.h"

void AverageEarlyGroups(uint16_t* rows, size_t stride, int actions, int combos,
                        const EarlyGroups& groups) {
    const auto member = [&](int position) {
        return groups.order.empty() ? position : int(groups.order[position]);
    };
    for (int a = 0; a < actions; ++a) {
        uint16_t* row   = rows + a * stride;
        int       begin = 0;
        for (uint16_t size : groups.sizes) {
            const int end = std::min(begin + int(size), combos);
            if (end <= begin)
                break;
            uint32_t sum = 0;
            for (int i = begin; i < end; ++i)
                sum += row[member(i)];
            const auto mean = static_cast<uint16_t>(sum / uint32_t(end - begin));
            for (int i = begin; i < end; ++i)
                row[member(i)] = mean;
            begin = end;
        }
    }
}

RunoutRegretStorage::RunoutRegretStorage(const RunoutLayout& layout) : layout_(layout) {
    assert(layout.Valid());
    factors_.Reset(layout.slots);
    locks_.Reset(layout.slots, layout.combos);
    Allocate();
}

void RunoutRegretStorage::Release() { regrets_.Reset(0); }

void RunoutRegretStorage::Allocate() {
    regrets_.Reset(layout_.Elements());
    std::fill_n(factors_.data(), layout_.slots, kInitialPrecisionFactor);
}

void RunoutRegretStorage::CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                          size_t stride) const {
    const uint16_t* rows = Row(slot, 0);
    const size_t    rs   = layout_.RowStride();
    switch (layout_.actions) {
    case 1: std::fill_n(strategy, layout_.combos, 1.0f); return;
    case 2: kernels.RegretMatch2(rows, rs, layout_.combos, strategy, stride); return;
    case 3: kernels.RegretMatch3(rows, rs, layout_.combos, strategy, stride); return;
    case 4: kernels.RegretMatch4(rows, rs, layout_.combos, strategy, stride); return;
    default: kernels.RegretMatchN(rows, rs, layout_.actions, layout_.combos, strategy, stride);
    }
}

uint64_t RunoutRegretStorage::ChildReach(int slot, const SolverKernels& kernels,
                                         const float* reach, int n, float* const* out) const {
    // A written strategy replaces regret matching for some combos: the general path
    // applies it.
    if (layout_.actions == 1 || locks_.HasWrittenStrategy(slot))
        return StrategyStore::ChildReach(slot, kernels, reach, n, out);
    return kernels.RegretReach(Row(slot, 0), layout_.RowStride(), layout_.actions, n, reach, out);
}

void RunoutRegretStorage::UpdateRegrets(int slot, const SolverKernels& kernels,
                                        const float* const* action_values,
                                        const float* node_values, const RegretUpdate& update) {
    if (locks_.Locked(slot))
        return;
    locks_.ForgetWritten(slot);
    const RegretStep step = MakeRegretStep(update.scale * factors_[slot]);
    kernels.UpdateRegrets(Row(slot, 0), layout_.RowStride(), layout_.actions, layout_.combos,
                          action_values, node_values, step, locks_.SkipBits(slot));
    AfterUpdate(slot, update);
}

void RunoutRegretStorage::FusedUpdate(int slot, const SolverKernels& kernels,
                                      const float* const* action_values, float* node_values,
                                      const RegretUpdate& update) {
    const int actions = layout_.actions;
    if (actions >= 2 && actions <= 4 && !locks_.Locked(slot) && !locks_.HasWrittenStrategy(slot)) {
        const RegretStep step  = MakeRegretStep(update.scale * factors_[slot]);
        const auto       fused = actions == 2   ? kernels.FusedUpdate2
                                 : actions == 3 ? kernels.FusedUpdate3
                                                : kernels.FusedUpdate4;
        fused(Row(slot, 0), layout_.RowStride(), layout_.combos, action_values, node_values, step,
              locks_.SkipBits(slot));
        AfterUpdate(slot, update);
        return;
    }
    // Other action counts (and locked slots, or slots playing a written strategy): the
    // three steps one after the other, with the strategy in the thread's scratch.
    const size_t stride   = layout_.RowStride();
    float*       strategy = ThreadVectorScratch(size_t(actions) * stride);
    PlayedStrategy(slot, kernels, strategy, stride);
    kernels.WeightedValueSum(strategy, stride, action_values, actions, layout_.combos, node_values);
    UpdateRegrets(slot, kernels, action_values, node_values, update);
}

void RunoutRegretStorage::SeedStrategy(int slot, const float* rows, size_t stride) {
    for (int i = 0; i < layout_.combos; ++i) {
        double total = 0, frequencies = 0;
        for (int a = 0; a < layout_.actions; ++a) {
            total += Row(slot, a)[i];
            frequencies += std::max(rows[a * stride + i], 0.0f);
        }
        if (!(frequencies > 0)) {
            for (int a = 0; a < layout_.actions; ++a)
                Row(slot, a)[i] = 0;  // no preference: the uniform default strategy
            continue;
        }
        const double mass = std::max(total, kSeedRegretMass) / frequencies;
        for (int a = 0; a < layout_.actions; ++a) {
            const double regret = std::round(std::max(rows[a * stride + i], 0.0f) * mass);
            Row(slot, a)[i]     = static_cast<uint16_t>(std::min(regret, 65535.0));
        }
    }
}

void RunoutRegretStorage::AfterUpdate(int slot, const RegretUpdate& update) {
    if (!update.early_groups.empty())
        AverageEarlyGroups(Row(slot, 0), layout_.RowStride(), layout_.actions, layout_.combos,
                           update.early_groups);
    if (update.adaptive && update.iteration % 10 == 0)
        ReadjustPrecision(Row(slot, 0), layout_.actions, layout_.RowStride(), layout_.combos,
                          factors_[slot], update.precision);
}

uint64_t RunoutRegretStorage::ByteSize() const {
    return regrets_.size() * sizeof(uint16_t) + factors_.size() * sizeof(float) + locks_.ByteSize();
}

void RunoutRegretStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, Kind(), kFormatVersion, layout_);
    out.PutBytes(factors_.data(), factors_.size() * sizeof(float));
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, Row(s, 0));
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
        if (!ReadSlotRows(in, layout_, loaded.Row(s, 0)))
            return StorageStatus::kTruncated;
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    regrets_ = std::move(loaded.regrets_);
    factors_ = std::move(loaded.factors_);
    locks_   = std::move(loaded.locks_);
    return StorageStatus::kOk;
}
