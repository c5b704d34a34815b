// node_count: the schematic tree's decisions, street splits and ends, each weighted by the
// number of runouts of its street (flop 1, turn 49, river 2352 = 49 x 48), as the solver
// will meet them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tree/schematic_node.h"

struct NodeCounts {
    // Index 1..3 = flop, turn, river by absolute street; index 0 unused.
    std::array<std::array<int64_t, 4>, 2> decisions{};  // by player: 0 OOP, 1 IP
    std::array<int64_t, 4>                splits{};
    std::array<int64_t, 4>                ends{};
    int64_t                               decision_total[2] = {0, 0};
    int64_t                               split_total       = 0;
    int64_t                               end_total         = 0;
    int64_t                               grand_total       = 0;
    int                                   base_street       = 1;
};

// Walks the lines below 'root' for a tree whose first street is 'base_street'. Nodes past
// the river (lines added after the build) weigh nothing.
NodeCounts CountNodes(const SchematicNode& root, int base_street);

// The report: H_DEC (IP), V_DEC (OOP), SPLIT, END and ROOT sections, then TOTAL.
std::string NodeCountReport(const NodeCounts& counts);
