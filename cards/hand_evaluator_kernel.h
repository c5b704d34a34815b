// The hand evaluator's kernel: one rank-by-suit word (card_word.h) of n = 3..7 cards in,
// one raw hand value (hand_value.h) out, without the short-deck and type-order rules.
// Included by the evaluator and by the per-board loops that inline it.
//
// Steps:
//  1. Split the word into the four 13-bit suit masks; 'all' is the ranks present.
//  2. Flush (n >= 5): a suit holding five or more cards gives a flush, or a straight
//     flush when that suit's ranks hold a straight. In up to seven cards a flush rules
//     out a full house and quads, so it is the value. This is the one branch: about 3 %
//     of random seven-card hands take it, and it predicts well.
//  3. By AND/OR of the suit masks, the ranks held exactly twice (pairs), exactly three
//     times (trips) and four times (quads).
//  4. Shape: the counts of quads, trips and pairs select one row of kShapes, which says
//     the type, which rank is the first field, where the second field comes from, and
//     how many kickers follow. Every type's value then comes from the same three
//     lookups (the two field ranks and the top five of the kicker ranks), so random
//     hands take no unpredictable branch.
//  5. Straight (n >= 5): five distinct ranks in seven cards allow at most trips or two
//     pair, which a straight beats, so a straight entry replaces the shape's value.
#pragma once

#include <algorithm>
#include <array>
#include <bit>

#include "cards/card_word.h"
#include "cards/eval_tables.h"
#include "cards/hand_value.h"

namespace hand_evaluator_detail {

// Where the rank fields of one hand shape come from.
struct HandShape {
    uint32_t type_bits;
    uint8_t  first;   // first field: 0 none, 1 top pair, 2 top trips, 3 quads
    uint8_t  second;  // second field: top rank of 0 nothing, 1 pairs, 2 trips and pairs,
                      // after removing the first field's rank
    uint8_t  kicker_shift;  // 4 x the number of fields before the kickers
    uint32_t kicker_keep;   // the kicker fields (the top five of the remaining ranks)
};

// Indexed by 9 * (any quads) + 3 * min(trips ranks, 2) + min(pair ranks, 2).
// clang-format off
constexpr std::array<HandShape, 18> kShapes = [] {
    constexpr HandShape kHigh     {TypeBits(kHighCard),  0, 0, 0, 0xFFFFF};
    constexpr HandShape kOnePair  {TypeBits(kPair),      1, 0, 4, 0x0FFF0};
    constexpr HandShape kTwoPairs {TypeBits(kTwoPair),   1, 1, 8, 0x00F00};
    constexpr HandShape kThree    {TypeBits(kTrips),     2, 0, 4, 0x0FF00};
    constexpr HandShape kFull     {TypeBits(kFullHouse), 2, 2, 8, 0x00000};
    constexpr HandShape kFour     {TypeBits(kQuads),     3, 0, 4, 0x0F000};
    std::array<HandShape, 18> shapes{};
    for (int trips = 0; trips < 3; ++trips) {
        for (int pairs = 0; pairs < 3; ++pairs) {
            shapes[3 * trips + pairs] = trips >= 2 || (trips == 1 && pairs > 0) ? kFull
                                      : trips == 1 ? kThree
                                      : pairs >= 2 ? kTwoPairs
                                      : pairs == 1 ? kOnePair
                                                   : kHigh;
            shapes[9 + 3 * trips + pairs] = kFour;
        }
    }
    return shapes;
}();
// clang-format on

// Left shift that moves the top-five entry of a mask of k ranks (k nibbles at the
// bottom) up to the five rank fields.
constexpr std::array<uint8_t, 14> kAlignFields = {20, 16, 12, 8, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// 'if_true' when 'condition' holds, else 'if_false', computed with a mask rather than a
// branch: the compiler turns a plain ?: on these unpredictable conditions into jumps.
inline uint32_t Choose(bool condition, uint32_t if_true, uint32_t if_false) {
    uint32_t mask = 0u - static_cast<uint32_t>(condition);
    return if_false ^ ((if_false ^ if_true) & mask);
}

inline uint32_t SuitMask(CardWord word, int suit) {
    return static_cast<uint32_t>(word >> (16 * suit)) & 0x1FFF;
}

// The ranks of the one suit holding five or more cards, or 0 (in up to seven cards at
// most one suit can).
inline uint32_t FlushSuitRanks(uint32_t c, uint32_t d, uint32_t h, uint32_t s) {
    uint32_t flush = 0;
    flush          = std::popcount(c) >= 5 ? c : flush;
    flush          = std::popcount(d) >= 5 ? d : flush;
    flush          = std::popcount(h) >= 5 ? h : flush;
    flush          = std::popcount(s) >= 5 ? s : flush;
    return flush;
}

}  // namespace hand_evaluator_detail

template <int n>
[[gnu::always_inline]] inline uint32_t RawHandValueOf(CardWord word, const EvalTables& t) {
    static_assert(n >= 3 && n <= 7);
    using namespace hand_evaluator_detail;
    const uint32_t c = SuitMask(word, 0), d = SuitMask(word, 1);
    const uint32_t h = SuitMask(word, 2), s = SuitMask(word, 3);
    const uint32_t all = c | d | h | s;

    if constexpr (n >= 5) {
        if (uint32_t flush = FlushSuitRanks(c, d, h, s)) {
            uint32_t straight = t.straight[flush];
            return straight ? straight + TypeBits(kStraightFlush) - TypeBits(kStraight)
                            : TypeBits(kFlush) | t.top_five[flush];
        }
    }

    const uint32_t cd = c & d, hs = h & s;
    const uint32_t quads      = cd & hs;
    const uint32_t two_plus   = cd | hs | ((c | d) & (h | s));
    const uint32_t three_plus = (cd & (h | s)) | (hs & (c | d));
    const uint32_t trips      = three_plus & ~quads;
    const uint32_t pairs      = two_plus & ~three_plus;

    const int shape_index = 9 * (quads != 0) + 3 * std::min(std::popcount(trips), 2) +
                            std::min(std::popcount(pairs), 2);
    const HandShape& shape = kShapes[shape_index];

    const uint32_t first_choices[4]  = {0, t.top_bit[pairs], t.top_bit[trips], quads};
    const uint32_t first             = first_choices[shape.first];
    const uint32_t second_choices[3] = {0, pairs, trips | pairs};
    const uint32_t second            = t.top_bit[second_choices[shape.second] & ~first];
    const uint32_t kickers           = all & ~(first | second);

    const uint32_t kicker_fields = t.top_five[kickers] << kAlignFields[t.rank_count[kickers]];
    uint32_t value = shape.type_bits | t.top_rank[first] << 16 | t.top_rank[second] << 12 |
                     (kicker_fields >> shape.kicker_shift & shape.kicker_keep);

    if constexpr (n >= 5) {
        uint32_t straight = t.straight[all];
        value             = Choose(straight != 0, straight, value);
    }
    return value;
}

// Applies the short-deck lowest straight and the custom type order to a raw value.
// 'word' is the hand the value was computed from. Cold unless a rule is set.
uint32_t ApplyHandRulesSlow(uint32_t raw, CardWord word, const HandRules& rules);

[[gnu::always_inline]] inline uint32_t ApplyHandRules(uint32_t raw, CardWord word,
                                                      const HandRules& rules) {
    if (rules.low_card == 0 && !rules.custom_order_active)
        return raw;
    return ApplyHandRulesSlow(raw, word, rules);
}
