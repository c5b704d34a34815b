// The live board, ranges and rule settings as tree building reads them from the cards
// subsystem's state. Building copies them, so later set_board and set_range commands do
// not touch a built tree.
#pragma once

#include <array>
#include <vector>

#include "tree/built_tree.h"

struct LiveInputs {
    TreeBoard                          board;
    std::array<std::vector<double>, 2> ranges;  // internal combo order; empty when never set
    int                                low_rank    = 0;      // lowest rank in the deck
    bool                               isomorphism = false;  // switch for the board's street
};

LiveInputs ReadLiveInputs();

// The ranges' consistency with suit isomorphism; throws "inconsistent range: ...".
void CheckLiveRangeConsistency(const LiveInputs& inputs);
