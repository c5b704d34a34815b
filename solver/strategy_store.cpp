#include "solver/strategy_store.h"

void StrategyStore::UpdateRegrets(int, const SolverKernels&, const float* const*, const float*,
                                  const RegretUpdate&) {}

void StrategyStore::FusedUpdate(int, const SolverKernels&, const float* const*, float*,
                                const RegretUpdate&) {}

void StrategyStore::AccumulateAverage(int, const SolverKernels&, const float* const*, double) {}
