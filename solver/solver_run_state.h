// The solver's part of the process-wide state: the run driver, the engine of the built
// tree (or none) and the accuracy target as the user gave it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "solver/batch_counters.h"
#include "solver/cfr_engine.h"
#include "solver/driver.h"
#include "solver/live_equity.h"

struct SolverRunState {
    SolverDriver               driver;
    std::unique_ptr<CfrEngine> engine;  // exists exactly while a tree object exists

    double accuracy_value       = 0;      // as given to set_accuracy
    bool   accuracy_is_fraction = false;  // given with the word "fraction"

    std::array<double, 3> recalc_accuracy{};  // set_recalc_accuracy, in chips

    int64_t start_time_100ns = 0;  // wall clock at start-up, for solver_time

    BatchCounters batch_counters;  // enable_perf_counters, show_perf_counters
    LiveLists     live_lists;      // calc_eq, calc_eq_pp: the live board's runout lists
};

// Connects the solver to the tree's hooks (engine creation at every build, storage
// provider, release with the tree, accuracy recomputation of set_pot) and records the
// start time. Called once at start-up.
void InstallSolverHooks();
