// The rule settings that change how hands are valued: the lowest rank in the deck
// (short deck), the order of the hand types, and how many hole cards a showdown hand
// must use.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

enum HandType : uint8_t {
    kHighCard,
    kPair,
    kTwoPair,
    kTrips,
    kStraight,
    kFlush,
    kFullHouse,
    kQuads,
    kStraightFlush,
};
constexpr int kHandTypeCount = 9;

constexpr std::array<std::string_view, kHandTypeCount> kHandTypeNames = {
    "highcard", "pair", "twopair", "trips", "straight", "flush", "fullhouse", "quads",
    "straightflush"};

// The type named exactly 'name' (case-sensitive), or nullopt.
std::optional<HandType> HandTypeNamed(std::string_view name);

using HandTypeOrder = std::array<uint8_t, kHandTypeCount>;  // type at each position

constexpr HandTypeOrder kStandardTypeOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8};

struct HandRules {
    int low_card            = 0;  // lowest rank in the deck, 0 (deuce) .. 4 (six)
    int must_use_hole_cards = 0;  // 0, 1 or 2

    HandTypeOrder type_at_position    = kStandardTypeOrder;  // position 0 = weakest
    HandTypeOrder position_of_type    = kStandardTypeOrder;  // the inverse
    bool          custom_order_active = false;  // some position differs from its type

    // Installs an order given weakest first, word by word: the type at each position, and
    // that position as the type's position. The words are meant to name every type once;
    // a type named twice keeps the later position and a type not named keeps its previous
    // one (values then stay comparable: the top byte of a hand value is its position).
    void SetTypeOrder(const HandTypeOrder& order);

    // True when type 'a' beats type 'b' under the current order.
    bool Beats(HandType a, HandType b) const { return position_of_type[a] > position_of_type[b]; }
};

