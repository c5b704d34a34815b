// The 32-bit hand value: larger is stronger.
//
//   bits 31..24  hand type (HandType), or its position when a custom type order is on
//   bits 23..20  zero
//   bits 19..16  first rank, then 15..12, 11..8, 7..4, 3..0 the second to fifth rank
//
// Ranks are rank indices 0..12 (2..A); unused fields are zero. Per type the fields hold:
// high card and flush the five highest ranks; pair the pair rank and three kickers; two
// pair both pair ranks and one kicker; trips the trips rank and two kickers; straight and
// straight flush the top rank only (3 for five-high); full house trips then pair rank;
// quads the quads rank and one kicker. Hands of three or four cards use the same fields
// from the top for what they hold (three cards: high card with three ranks in fields 1-3).
#pragma once

#include <cstdint>

#include "cards/hand_rules.h"

constexpr uint32_t kTypeShift = 24;

// The strength of an empty entry of a combo list (a combo that is not in play).
constexpr uint32_t kNoHandValue = 0xFFFFFFFF;

constexpr uint32_t TypeBits(int type) { return static_cast<uint32_t>(type) << kTypeShift; }

// The top byte: the type, or its position under a custom order.
constexpr int TopByteOf(uint32_t value) { return static_cast<int>(value >> kTypeShift); }

// Rank field 1..5 (1 = bits 19..16).
constexpr int RankField(uint32_t value, int field) {
    return static_cast<int>(value >> (20 - 4 * field)) & 0xF;
}

constexpr uint32_t kWheelStraight      = TypeBits(kStraight) | 3u << 16;       // 0x04030000
constexpr uint32_t kWheelStraightFlush = TypeBits(kStraightFlush) | 3u << 16;  // 0x08030000
