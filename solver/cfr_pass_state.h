// The state of one pass over the tree, shared by the sweeps of the pass and the subgame
// tasks its worker threads run. Built by CfrEngine::NewPass; private to the engine.
#pragma once

#include <algorithm>
#include <vector>

#include "solver/cfr_engine.h"
#include "solver/rake.h"
#include "solver/solver_kernels.h"

struct CfrEngine::PassState {
    int                  traverser = 0;
    bool                 update    = true;
    int                  phase     = 2;
    const SolverKernels* kernels   = nullptr;
    RegretUpdate         regret_update;
    double               regret_scale   = 0;
    double               average_weight = 0;  // already times the opponent's average scale
    bool                 river_averages = true;
    bool                 river_strategy = true;
    int                  width          = 0;  // length of every vector: the root list size
    RakeSettings         rake;
    std::vector<Task>&   tasks;      // the engine's, kept between passes
    std::vector<float>&  task_data;  // grows, never shrinks: no page faults per pass
    size_t               task_used = 0;
    size_t               cursor    = 0;  // next task phase 2 consumes

    // Reserves room for one task's reach, values and best-response values.
    size_t TaskOffset() {
        const size_t floats = 3 * static_cast<size_t>(width);
        if (task_used + floats > task_data.size())
            task_data.resize(std::max(task_data.size() * 2, task_used + floats));
        const size_t offset = task_used;
        task_used += floats;
        return offset;
    }

    // Tasks root at the cards that deal this street: the street after the tree's first
    // for a solving pass, a later one when the subgames of one street are re-solved.
    int task_street = 2;

    bool Collecting(const Runout& runout, int) const {
        return phase == 0 && runout.street < task_street;
    }
};
