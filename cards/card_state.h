// The live card state of the engine: what set_board, set_range, set_deck_distribution,
// the rule settings and set_isomorphism change. Tree building copies the board and the
// ranges out of it; later commands change only these live copies.
#pragma once

#include <array>

#include "cards/board.h"
#include "cards/hand_rules.h"
#include "cards/range.h"

struct CardState {
    Board                              board;
    std::array<Range, kPlayerCount>    ranges;  // internal order; empty until set
    std::array<double, kCardCount>     deck_weights{};  // card id order
    bool                               deck_weights_in_use = false;  // true once set
    HandRules                          rules;

    // Isomorphism switch by the number of streets dealt on a tree's board (index 1 flop,
    // 2 turn, 3 river; index 0 unused). Flop on and turn off by default; the river
    // switch is always off.
    std::array<bool, 4> isomorphism = {false, true, false, false};

    bool IsomorphismFor(int streets_dealt) const { return isomorphism[streets_dealt]; }
    void SetIsomorphism(bool flop, bool turn) {
        isomorphism[1] = flop;
        isomorphism[2] = turn;
    }
};
