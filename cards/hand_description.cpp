#include "cards/hand_description.h"

#include <array>

#include "cards/hand_value.h"

namespace {

// clang-format off
constexpr std::array<std::string_view, 13> kSingular = {
    "deuce", "trey", "four", "five", "six", "seven", "eight", "nine", "ten", "jack", "queen",
    "king", "ace"};
constexpr std::array<std::string_view, 13> kPlural = {
    "deuces", "treys", "fours", "fives", "sixes", "sevens", "eights", "nines", "tens", "jacks",
    "queens", "kings", "aces"};
// clang-format on

std::string Singular(int rank) { return std::string(kSingular[rank]); }
std::string Plural(int rank) { return std::string(kPlural[rank]); }

// The words of 'count' ranks, each followed by a blank.
std::string RankWords(const int* ranks, int count) {
    std::string words;
    for (int i = 0; i < count; ++i)
        words += Singular(ranks[i]) + " ";
    return words;
}

std::string DescribeStraight(int top, int low_card) {
    if (top == 3) {
        const int ranks[4] = {low_card + 3, low_card + 2, low_card + 1, low_card};
        return RankWords(ranks, 4) + "ace";
    }
    const int ranks[5] = {top, top - 1, top - 2, top - 3, top - 4};
    return RankWords(ranks, 5);
}

}  // namespace

HandType HandTypeOfValue(uint32_t value, const HandRules& rules) {
    int position = TopByteOf(value);
    return position < kHandTypeCount ? static_cast<HandType>(rules.type_at_position[position])
                                     : kHighCard;
}

std::string DescribeHandValue(uint32_t value, const HandRules& rules) {
    int r[5];
    for (int field = 0; field < 5; ++field)
        r[field] = RankField(value, field + 1);
    switch (HandTypeOfValue(value, rules)) {
        case kHighCard:
        case kFlush: return RankWords(r, 5);
        case kPair: return Plural(r[0]) + ", " + RankWords(r + 1, 3) + "kicker";
        case kTwoPair: return Plural(r[0]) + " and " + Plural(r[1]) + ", " + Singular(r[2]) + " kicker";
        case kTrips: return Plural(r[0]) + ", " + Singular(r[1]) + " " + Singular(r[2]) + " kicker";
        case kStraight:
        case kStraightFlush: return DescribeStraight(r[0], rules.low_card);
        case kFullHouse: return Plural(r[0]) + " over " + Plural(r[1]);
        case kQuads: return Plural(r[0]) + ", " + Singular(r[1]) + " kicker";
    }
    return {};
}
