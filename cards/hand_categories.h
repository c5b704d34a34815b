// The hand classifier: for every combo on a board of three to five cards, a made-hand
// category (how its best hand relates to the board) and a draw category (whether one
// more card gives it a straight or a flush). Front-ends use them to group combos.
// Plain poker values are used: no short deck, no custom type order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "cards/card.h"

// clang-format off
enum class MadeHand : int8_t {
    kNothing, kKingHigh, kAceHigh, kLowPair, kThirdPair, kSecondPair, kUnderpair, kTopPair,
    kTopPairTp,  // named for front-ends; no rule produces it
    kOverpair, kTwoPair, kTrips, kSet, kStraight, kFlush, kFullHouse, kTopFullHouse, kQuads,
    kStraightFlush,
};
constexpr std::array<std::string_view, 19> kMadeHandNames = {
    "nothing", "king_high", "ace_high", "low_pair", "third_pair", "second_pair", "underpair",
    "top_pair", "top_pair_tp", "overpair", "two_pair", "trips", "set", "straight", "flush",
    "fullhouse", "top_fullhouse", "quads", "straight_flush"};

enum class Draw : int8_t { kNone, kFourOutStraight, kEightOutStraight, kFlush, kCombo };
constexpr std::array<std::string_view, 5> kDrawNames = {
    "no_draw", "4out_straight_draw", "8out_straight_draw", "flush_draw", "combo_draw"};
// clang-format on

// The category of a combo that shares a card with the board.
constexpr int8_t kBlockedCategory = -1;

// Both lists in hand order.
struct HandCategories {
    std::array<int8_t, kComboCount> made;
    std::array<int8_t, kComboCount> draw;
};

// Card code of a hole card: 2 x (distinct board ranks above its rank), plus 1 when its
// rank is on the board. 0 is an overcard to the board, 1 pairs the top board rank.
int CardCode(CardMask board, int card);

// The code that places a combo's pair: the higher card's code if odd (it pairs the
// board), else the lower card's. 'higher' is the card of larger hand-order number.
int PairPosition(CardMask board, int higher, int lower);

// The made-hand category from the board's value, the board-plus-combo value and the
// pair position. nullopt when the values contradict each other (trips for the combo on a
// board that is two pair), which only a faulty evaluator can produce.
std::optional<MadeHand> MadeHandCategory(uint32_t board_value, uint32_t hand_value,
                                         int pair_position);

// Classifies all 1326 combos on a board of 3, 4 or 5 cards (not checked). Blocked
// combos get kBlockedCategory in both lists, except that on a five-card board every
// draw entry is kNone. Returns false on the evaluator contradiction above (the lists
// are then incomplete). About 50 thousand six- or seven-card evaluations on a flop.
[[nodiscard]] bool ClassifyHands(CardMask board, HandCategories& out);
