// The one process-wide state the interpreter owns for the program's life.
#pragma once

#include "cli/interpreter.h"
#include "cli/output.h"
#include "cli/settings.h"
#include "cli/variables.h"
#include "net/net_state.h"

struct SolverState {
    Interpreter    interp;
    OutputBuffer   output;
    VariableStore  variables;
    EngineSettings settings;
    NetState       net;
};

SolverState& State();
