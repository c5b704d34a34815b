// How many runouts, and how many live combos over those runouts, the storage of one
// player's decision nodes on a street has to cover. This is what sizes the storage.
#pragma once

#include <cstdint>
#include <vector>

#include "tree/built_tree.h"

struct RunoutCoverage {
    uint64_t runouts       = 1;
    uint64_t combo_runouts = 0;
};

// 'range' holds 1326 weights in internal combo order (a combo of card ids a > b has index
// a(a-1)/2 + b); a combo is live when its weight is positive and it misses the board.
// Cards of rank below 'low_rank' are never dealt. Streets up to the board's base street
// have one runout; a later street covers every turn card (and every river card after
// it) that can still come. Suit isomorphism is not applied, so with it on the figures are
// upper bounds. Cost: O(1326 + 52^2).
RunoutCoverage CoverageOf(const std::vector<double>& range, const TreeBoard& board, int low_rank,
                          int street);
