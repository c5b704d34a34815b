// The two cards of a combo as the solver's terminal kernels read them.
#pragma once

#include <cstdint>

#include "cards/card.h"

// Card ids 0..51 (suit * 13 + rank). Two bytes, so that 16 pairs load as one 256-bit row
// and split into two index vectors with one shift and one mask (see terminal kernels).
struct CardPair {
    uint8_t first;
    uint8_t second;
};
static_assert(sizeof(CardPair) == 2);

inline constexpr int kMaxRunoutCombos  = 1326;  // every two-card combo of the deck
