// Runs a script of command lines through the real dispatcher, as the console would, and
// drops what the commands printed: the benchmarks set their spots up with it.
#pragma once

#include <cstdio>
#include <string>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "solver/cfr_engine.h"

inline void RunScript(const std::string& script) {
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos)
            end = script.size();
        ExecuteCommand(SplitCommandLine(script.substr(start, end - start)));
        start = end + 1;
    }
    State().output.Take();
}

// Runs a spot's set-up script and returns the engine its build_tree made; null, after
// saying so on stderr, when the spot did not build.
inline CfrEngine* BuildSpotEngine(const std::string& setup_script) {
    RunScript(setup_script);
    CfrEngine* engine = State().solver.engine.get();
    if (!engine)
        std::fprintf(stderr, "the spot did not build\n");
    return engine;
}
