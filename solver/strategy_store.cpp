#include "solver/strategy_store.h"

void StrategyStore::UpdateRegrets(int, const SolverKernels&, const float* const*, const float*,
                                  const RegretUpdate&) {}

void StrategyStore::FusedUpdate(int, const SolverKernels&, const float* const*, float*,
                                const RegretUpdate&) {}

void StrategyStore::AccumulateAverage(int, const SolverKernels&, const float* const*, double) {}

void StrategyStore::SeedStrategy(int, const float*, size_t) {}

void StrategyStore::PlayedStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                   size_t stride) const {
    CurrentStrategy(slot, kernels, strategy, stride);
    Locks().ApplyWrittenStrategy(slot, strategy, stride);
}
