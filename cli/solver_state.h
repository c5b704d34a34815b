// The one process-wide state the interpreter owns for the program's life.
#pragma once

#include "cards/card_state.h"
#include "cli/interpreter.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/variables.h"
#include "solver/solver_run_state.h"
#include "tree/tree_state.h"
#include "net/net_state.h"

struct SolverState {
    Interpreter    interp;
    OutputBuffer   output;
    VariableStore  variables;
    EngineSettings settings;
    CardState      cards;
    TreeState      tree;
    SolverRunState solver;
    NetState       net;
};

SolverState& State();
