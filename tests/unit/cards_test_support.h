// Helpers for the card tests: run command lines through the real dispatcher and read
// back what they printed.
#pragma once

#include <string>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"

// Runs one command line and returns everything it printed.
inline std::string RunCommand(const std::string& line) {
    State().output.Take();
    ExecuteCommand(SplitCommandLine(line));
    return State().output.Take();
}

// A command line with 'count' copies of 'weight' after 'prefix'.
inline std::string RepeatedWeights(const std::string& prefix, const std::string& weight,
                                   int count) {
    std::string line = prefix;
    for (int i = 0; i < count; ++i)
        line += " " + weight;
    return line;
}
