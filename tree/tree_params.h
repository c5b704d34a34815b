// The tree-level settings that commands change before and after a build: the pot, the
// schematic tree of lines, rake, and the free-text information lines.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tree/schematic_node.h"

// The solver's accuracy target in both forms, as recomputed for a new pot.
struct AccuracyForms {
    double absolute = 0;
    double fraction = 0;
};

// Installed by the solver driver, which owns the accuracy target: recomputes both forms
// for a new starting pot. While none is installed, set_pot reports the never-set target
// (0 chips).
using PotChangeHook = std::function<AccuracyForms(double starting_pot)>;

struct TreeParams {
    // The three set_pot values; only pot[2], the starting pot, is read anywhere.
    std::array<double, 3> pot = {0, 0, 0};

    std::unique_ptr<SchematicNode> root = std::make_unique<SchematicNode>();

    int64_t effective_stack = 0;  // largest amount of any line, set at every build

    float rake_fraction = 0;
    float rake_cap      = 0;
    bool  rake_enabled  = false;  // fraction and cap both non-zero

    std::vector<std::string> info_lines;

    PotChangeHook pot_changed;

    double StartingPot() const { return pot[2]; }

    void ClearLines() { root = std::make_unique<SchematicNode>(); }

    void SetRake(float fraction, float cap) {
        rake_fraction = fraction;
        rake_cap      = cap;
        rake_enabled  = fraction != 0 && cap != 0;
    }
};
