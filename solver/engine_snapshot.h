// What a tree file keeps of the engine besides its stores, so that a loaded tree
// continues exactly where the saved one stopped.
#pragma once

#include "solver/solver_engine.h"

struct EngineSnapshot {
    int           iterations      = 0;   // completed iterations
    int           averaging_delay = 60;  // iterations before averages accumulate
    bool          has_figures     = false;
    ResultFigures figures;               // of the last evaluation, when it was at 'iterations'
};
