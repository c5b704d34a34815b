// The command script of a spot: board, both ranges, pot, every line and build_tree,
// optionally followed by the commands that solve it.
#pragma once

#include <optional>
#include <string>

#include "tools/spot/spot.h"

struct SolveOptions {
    std::optional<int>    threads;
    std::optional<double> accuracy_chips;  // set_accuracy <chips>
    std::optional<double> accuracy_pct;    // set_accuracy <pct / 100> fraction
    std::optional<int>    seconds;         // go <n> seconds
    std::optional<int>    steps;           // go <n> steps
};

// The set-up script. Weights are written with "%.17g" so they read back exactly.
std::string SpotScript(const Spot& spot);

// The solve commands: set_threads, set_accuracy (the spot's first target when no accuracy
// is given and it has one), go and wait_for_solver.
std::string SolveScript(const Spot& spot, const SolveOptions& options);
