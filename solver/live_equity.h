// Equity on the live board and ranges (the ones set_board and set_range keep, not a
// built tree's): each combo's all-in score against the other player's whole range, over
// every board that completes the live one.
#pragma once

#include "cards/card_state.h"
#include "solver/node_values.h"

// Per combo of 'player' (1326, internal order): the score in [-1, 1] (+1 win, 0 tie,
// -1 loss, averaged over the opponent's compatible combos and the completing boards), and
// as weight the combo's share of the compatible combo pairs of the two ranges (weights sum
// to 1). Combos blocked by the board have NaN in both; combos outside the player's range,
// or with no compatible opponent combo, have score NaN. Needs a flop and both ranges.
// Builds the runout lists of the board (about 2.6 million hand evaluations from a flop,
// in parallel).
ComboFigures LiveScores(const CardState& cards, int player);
