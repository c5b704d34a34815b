// CfrEngine's snapshot for tree files (declared in cfr_engine.h).
#include "solver/cfr_engine.h"

EngineSnapshot CfrEngine::Snapshot() {
    std::lock_guard lock(results_mutex_);
    EngineSnapshot  snapshot;
    snapshot.iterations      = iteration_;
    snapshot.averaging_delay = averaging_delay_;
    snapshot.has_figures     = cached_at_ == iteration_;
    if (snapshot.has_figures)
        snapshot.figures = cached_;
    return snapshot;
}

void CfrEngine::Restore(const EngineSnapshot& snapshot) {
    std::lock_guard lock(results_mutex_);
    iteration_       = snapshot.iterations;
    averaging_delay_ = snapshot.averaging_delay;
    cached_          = snapshot.figures;
    cached_at_       = snapshot.has_figures ? snapshot.iterations : -1;
}
