// Equity on the live board and ranges (the ones set_board and set_range keep, not a
// built tree's): each combo's all-in score against the other player's whole range, over
// every board that completes the live one.
#pragma once

#include <memory>
#include <vector>

#include "cards/card_state.h"
#include "solver/node_values.h"
#include "solver/runout_lists.h"

// The runout lists of the live board and ranges, kept between equity queries with what
// they were built from, so that queries on an unchanged board and ranges do not build
// them again.
class LiveLists {
public:
    // The lists of 'cards', built when it differs from what the kept ones were built from.
    const RunoutLists& For(const CardState& cards);

private:
    struct Key {
        CardMask            flop = 0, turn = 0, river = 0;
        std::vector<double> ranges[2], deck_weights;
        int                 low_card = 0, must_use_hole_cards = 0;
        HandTypeOrder       order{};

        bool operator==(const Key&) const = default;
    };
    static Key KeyOf(const CardState& cards);

    Key                          key_;
    std::unique_ptr<RunoutLists> lists_;
};

// Per combo of 'player' (1326, internal order): the score in [-1, 1] (+1 win, 0 tie,
// -1 loss, averaged over the opponent's compatible combos and the completing boards), and
// as weight the combo's share of the compatible combo pairs of the two ranges (weights sum
// to 1). Combos blocked by the board have NaN in both; combos outside the player's range,
// or with no compatible opponent combo, have score NaN. Needs a flop and both ranges.
// Takes the runout lists from 'lists' (building them costs about 2.6 million hand
// evaluations from a flop, in parallel; the showdown sums a fraction of that).
ComboFigures LiveScores(const CardState& cards, int player, LiveLists& lists);
