// The 1326 two-card combos and their two numberings.
//
// Hand order is the order of every list of 1326 values that crosses the command
// protocol. It numbers the cards n = 4 * rank + suit (2c = 0, 2d = 1, ..., As = 51); a
// combo of numbers hi > lo has index hi * (hi - 1) / 2 + lo and the text "<hi><lo>", so
// the order runs "2d2c", "2h2c", "2h2d", ... "AsAh".
//
// Internal order is the order of ranges and per-combo arrays inside the engine: a combo
// of card ids a > b has index a * (a - 1) / 2 + b, so it runs 3c2c, 4c2c, 4c3c, ... AsKs.
//
// Hand classes are the 169 cells of the 13 x 13 grid. For ranks r1 <= r2 a pair is class
// r1 * 13 + r1, a suited combo r1 * 13 + r2 (lower rank first) and an offsuit combo
// r2 * 13 + r1 (higher rank first).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "cards/card.h"

constexpr int kHandClassCount = 169;

constexpr int HandOrderNumber(int card) { return 4 * RankOf(card) + SuitOf(card); }

// Index of the combo of two different cards in either order (the pair formula of both
// numberings: 'high' must be the larger number).
constexpr int PairIndex(int high, int low) { return high * (high - 1) / 2 + low; }

constexpr int InternalIndexOf(int card_a, int card_b) {
    return card_a > card_b ? PairIndex(card_a, card_b) : PairIndex(card_b, card_a);
}

constexpr int HandClassOf(int card_a, int card_b) {
    int r1 = RankOf(card_a), r2 = RankOf(card_b);
    if (r1 > r2)
        std::swap(r1, r2);
    if (r1 == r2)
        return r1 * kRankCount + r1;
    return SuitOf(card_a) == SuitOf(card_b) ? r1 * kRankCount + r2 : r2 * kRankCount + r1;
}

// The two card ids of a combo, the higher id first.
struct ComboCards {
    uint8_t high;
    uint8_t low;
};

// Read-only tables, built once (BuildComboTables at start-up, or on first use).
struct ComboTables {
    std::array<std::array<char, 4>, kComboCount> text;  // by hand index, "AsAh"
    std::string                                  text_line;  // all texts, blank-separated
    std::array<CardMask, kComboCount>            mask;       // by hand index
    std::array<uint16_t, kComboCount>            internal_of_hand;
    std::array<int16_t, kComboCount>             hand_of_internal;
    std::array<ComboCards, kComboCount>          cards_of_internal;

    // The internal indices of the combos of each class, every class in ascending hand
    // order; class c occupies class_members[class_begin[c] .. class_begin[c + 1]).
    std::array<uint16_t, kComboCount>         class_members;
    std::array<uint16_t, kHandClassCount + 1> class_begin;

    std::span<const uint16_t> ClassMembers(int hand_class) const {
        return {class_members.data() + class_begin[hand_class],
                class_members.data() + class_begin[hand_class + 1]};
    }
    CardMask MaskOfInternal(int internal) const {
        return CardBit(cards_of_internal[internal].high) | CardBit(cards_of_internal[internal].low);
    }
};

// The tables, built on the first call (thread-safe) and kept for the program's life.
const ComboTables& Combos();

// Builds the tables now, so that no command pays for it later. Calling it again does
// nothing.
void BuildComboTables();

// Reorders 1326 values between the two orders: internal[k] = hand[hand_of_internal[k]]
// and hand[p] = internal[internal_of_hand[p]]. 'from' and 'to' must not overlap.
void HandToInternalOrder(std::span<const double, kComboCount> hand,
                         std::span<double, kComboCount>       internal);
void InternalToHandOrder(std::span<const double, kComboCount> internal,
                         std::span<double, kComboCount>       hand);
