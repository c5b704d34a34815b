// The combo list of a board: which of the 1326 combos are in play.
#pragma once

#include <cstdint>
#include <vector>

#include "cards/card.h"

// Marks an empty entry of a combo list (a slot with no combo in play).
constexpr uint16_t kNoCombo = 0xFFFF;

// The internal indices, ascending, of the combos that share no card with 'dead' (the
// board and any dealt cards) and hold no card of rank below 'low_card'. Linear in 1326.
std::vector<uint16_t> LiveCombos(CardMask dead, int low_card);
