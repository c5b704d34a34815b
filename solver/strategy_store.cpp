#include "solver/strategy_store.h"

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
    float*              strategy = ThreadVectorScratch(size_t(layout.actions) * stride);
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
    float*              strategy = ThreadVectorScratch(size_t(layout.actions) * stride);
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
