#include "solver/strategy_store.h"

#include <algorithm>

#include "solver/terminal_scratch.h"

void StrategyStore::UpdateRegrets(int, const SolverKernels&, const float* const*, const float*,
                                  const RegretUpdate&) {}

// Stores without a fused kernel: the three steps one after the other, the strategy in the
// thread's scratch.
void StrategyStore::FusedUpdate(int slot, const SolverKernels& kernels,
                                const float* const* action_values, float* node_values,
                                const RegretUpdate& update) {
    const RunoutLayout& layout   = Layout();
    const size_t        stride   = layout.RowStride();
    float*              strategy = ThreadTerminalScratch().strategy_rows();
    PlayedStrategy(slot, kernels, strategy, stride);
    kernels.WeightedValueSum(strategy, stride, action_values, layout.actions, layout.combos,
                             node_values);
    UpdateRegrets(slot, kernels, action_values, node_values, update);
}

void StrategyStore::Prefetch(int, int) const {}

uint64_t StrategyStore::ChildReach(int slot, const SolverKernels& kernels, const float* reach,
                                   int n, float* const* out) const {
    const RunoutLayout& layout   = Layout();
    const size_t        stride   = layout.RowStride();
    float*              strategy = ThreadTerminalScratch().strategy_rows();
    PlayedStrategy(slot, kernels, strategy, stride);
    uint64_t bits = 0;
    for (int a = 0; a < layout.actions; ++a)
        if (kernels.ReachProduct(reach, strategy + a * stride, n, out[a]))
            bits |= uint64_t(1) << a;
    return bits;
}

void StrategyStore::AccumulateAverage(int, const SolverKernels&, const float* const*, double) {}

void StrategyStore::SeedStrategy(int, const float*, size_t) {}

void StrategyStore::PlayedStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                   size_t stride) const {
    CurrentStrategy(slot, kernels, strategy, stride);
    Locks().ApplyWrittenStrategy(slot, strategy, stride);
}

void WriteStoreHeader(StorageWriter& out, StoreKind kind, uint16_t version,
                      const RunoutLayout& layout) {
    out.Put(static_cast<uint32_t>(kind));
    out.Put(version);
    out.Put(static_cast<uint16_t>(layout.actions));
    out.Put(static_cast<uint16_t>(layout.combos));
    out.Put(static_cast<uint32_t>(layout.slots));
    out.Put(static_cast<uint16_t>(layout.RowCombos()));
}

StorageStatus ReadStoreHeader(StorageReader& in, StoreKind kind, uint16_t version,
                              const RunoutLayout& layout) {
    uint32_t saved_kind = 0, slots = 0;
    uint16_t saved_version = 0, actions = 0, combos = 0, row = 0;
    in.Get(saved_kind), in.Get(saved_version), in.Get(actions), in.Get(combos), in.Get(slots);
    in.Get(row);
    if (in.failed())
        return StorageStatus::kTruncated;
    if (saved_kind != static_cast<uint32_t>(kind))
        return StorageStatus::kWrongKind;
    if (saved_version != version)
        return StorageStatus::kWrongVersion;
    if (actions != layout.actions || combos != layout.combos || int(slots) != layout.slots ||
        row != layout.RowCombos())
        return StorageStatus::kLayoutMismatch;
    return StorageStatus::kOk;
}

void WriteSlotRows(StorageWriter& out, const RunoutLayout& layout, int slot, const uint16_t* rows,
                   size_t stride) {
    const int count = layout.Span(slot).count;
    for (int a = 0; a < layout.actions; ++a)
        out.PutBytes(rows + a * stride, count * sizeof(uint16_t));
}

bool ReadSlotRows(StorageReader& in, const RunoutLayout& layout, int slot, uint16_t* rows,
                  size_t stride) {
    const int count = layout.Span(slot).count;
    for (int a = 0; a < layout.actions; ++a) {
        uint16_t* row = rows + a * stride;
        if (!in.GetBytes(row, count * sizeof(uint16_t)))
            return false;
        std::fill(row + count, row + stride, uint16_t{0});
    }
    return true;
}
