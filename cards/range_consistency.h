// The range requirement of suit isomorphism on flop trees.
#pragma once

#include <array>

#include "cards/board.h"
#include "cards/range.h"

// Merging suits the flop cannot tell apart is only sound when, in both ranges, every
// combo of a hand class that the flop does not block carries the same weight. Checks
// that for a flop board (no turn) when 'flop_isomorphism' is on; otherwise does
// nothing. Within a class, walked in hand order, the first unblocked member with a
// non-negative weight is the reference and every later unblocked member must lie within
// the double epsilon of it. The first that does not throws CommandError
// "inconsistent range: <player> P(<combo>) == <w>, P(<combo>) == <w>, use
// 'set_isomorphism 0 0' if intended". 'ranges' are the tree's copies (internal order);
// an empty range is skipped. At most 1326 comparisons per player.
void CheckRangeConsistency(const Board& board, const std::array<Range, kPlayerCount>& ranges,
                           bool flop_isomorphism);
