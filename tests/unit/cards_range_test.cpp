#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "uniform_deck_afterwards.h"
#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cards/range_consistency.h"
#include "cards_test_support.h"

namespace {

int InternalOf(const char* combo) {
    CardMask mask = ParseCards(combo);
    int      b    = LowestCard(mask);
    return InternalIndexOf(LowestCard(mask & ~CardBit(b)), b);
}

int HandOf(const char* combo) { return Combos().hand_of_internal[InternalOf(combo)]; }

}  // namespace

TEST(AdjustRange, RoundsTinyWeightsAndKeepsEverythingElse) {
    Range range(kComboCount, 0.25);
    range[0] = 0.000005;
    range[1] = 0.00001;
    range[2] = -0.5;
    range[3] = 1.5;
    range[4] = 0;
    range[5] = 0.0000099;
    RangeSummary s = AdjustRange(range, /*low_card=*/0);
    EXPECT_EQ(range[0], 0);
    EXPECT_EQ(range[1], 0.00001);
    EXPECT_EQ(range[2], -0.5);
    EXPECT_EQ(range[3], 1.5);
    EXPECT_EQ(range[5], 0);
    EXPECT_EQ(s.rounded_to_zero, 2);
    EXPECT_EQ(s.nonzero, 1326 - 4);
    EXPECT_EQ(s.min, -0.5);
    EXPECT_EQ(s.max, 1.5);
}

TEST(AdjustRange, ShortDeckZeroesCombosWithRemovedCardsWithoutCountingThem) {
    Range        range(kComboCount, 1.0);
    RangeSummary s = AdjustRange(range, /*low_card=*/4);
    EXPECT_EQ(s.nonzero, 630);  // 36 cards remain: 36 * 35 / 2
    EXPECT_EQ(s.rounded_to_zero, 0);
    EXPECT_EQ(s.min, 0);
    EXPECT_EQ(range[InternalOf("5s6s")], 0);
    EXPECT_EQ(range[InternalOf("6s6h")], 1);
}

TEST(SetRangeCommand, StoresHandOrderWeightsInInternalOrder) {
    std::string line = "set_range IP";
    for (int p = 0; p < kComboCount; ++p)
        line += " " + std::to_string(p % 7 == 0 ? 0.5 : 0.125);
    EXPECT_EQ(RunCommand(line), "set_range ok!\n");
    const Range& range = State().cards.ranges[1];
    ASSERT_EQ(range.size(), 1326u);
    for (int k = 0; k < kComboCount; ++k)
        EXPECT_EQ(range[k], Combos().hand_of_internal[k] % 7 == 0 ? 0.5 : 0.125) << k;
}

TEST(SetRangeCommand, FailuresKeepThePreviousRange) {
    ASSERT_EQ(RunCommand(RepeatedWeights("set_range hero", "0.75", 1326)), "set_range ok!\n");
    EXPECT_EQ(RunCommand(RepeatedWeights("set_range Hero", "1", 1326)),
              "ERROR: set_range incorrect player name\n");
    EXPECT_EQ(RunCommand(RepeatedWeights("set_range OOP", "1", 1325) + " x"), "ERROR: Invalid value\n");
    EXPECT_EQ(RunCommand(RepeatedWeights("set_range OOP", "1", 1325) + " 1e999"), "ERROR: Invalid value\n");
    EXPECT_EQ(RunCommand(RepeatedWeights("set_range OOP", "1", 1325) + " nan"), "ERROR: Invalid value\n");
    EXPECT_EQ(RunCommand(RepeatedWeights("set_range OOP", "1", 1325)),
              "ERROR: set_range incorrect or missing argument\n");
    EXPECT_EQ(State().cards.ranges[0], Range(kComboCount, 0.75));
}

TEST(SetRangeCommand, AcceptsNumericPrefixesAndPlayerAliases) {
    ASSERT_EQ(RunCommand(RepeatedWeights("set_range villain", "0.5abc", 1326)), "set_range ok!\n");
    EXPECT_EQ(State().cards.ranges[1], Range(kComboCount, 0.5));
}

TEST(FormatRangeLine, HandOrderWithBlockedCombosAndNanAsZero) {
    Range range(kComboCount, 0.5);
    range[InternalOf("2d2c")] = 1.0 / 3;
    range[InternalOf("AsAh")] = NAN;
    std::string line          = FormatRangeLine(range, /*blocked=*/0);
    EXPECT_EQ(line.substr(0, 19), "0.333333333333 0.5 ");
    EXPECT_EQ(line.substr(line.size() - 6), "0.5 0\n");
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 1325);

    line = FormatRangeLine(range, ParseCards("2c"));
    Tokens values = SplitCommandLine(line.substr(0, line.size() - 1));
    ASSERT_EQ(values.size(), 1326u);
    for (int p = 0; p < kComboCount; ++p) {
        bool zero = (Combos().mask[p] & ParseCards("2c")) || p == 1325;
        EXPECT_EQ(values[p], zero ? "0" : "0.5") << p;
    }
}

TEST(FormatRangeGrid, CellsRoundClassMeans) {
    Range range(kComboCount, 0.0);
    auto  set_class = [&](int hand_class, double w) {
        for (uint16_t k : Combos().ClassMembers(hand_class))
            range[k] = w;
    };
    set_class(11 * 13 + 12, 0.004);  // AKs
    set_class(12 * 13 + 11, 0.006);  // AKo
    set_class(12 * 13 + 12, 0.994);  // AA
    set_class(11 * 13 + 11, 0.996);  // KK
    set_class(0, 2.0);               // 22
    range[InternalOf("Js Ts")] = 1.0;  // one of four JTs combos
    std::string grid = FormatRangeGrid(range);
    EXPECT_EQ(grid.substr(0, 40), "  A  K  Q  J  T  9  8  7  6  5  4  3  2\n");
    EXPECT_NE(grid.find("\nA 99 .. .. .. .. .. .. .. .. .. .. .. ..\n"), std::string::npos) << grid;
    EXPECT_NE(grid.find("\nK 1 ** .. .. .. .. .. .. .. .. .. .. ..\n"), std::string::npos) << grid;
    EXPECT_NE(grid.find("\nJ .. .. .. .. 25 .. .. .. .. .. .. .. ..\n"), std::string::npos) << grid;
    EXPECT_NE(grid.find("\n2 .. .. .. .. .. .. .. .. .. .. .. .. **\n"), std::string::npos) << grid;
    EXPECT_EQ(FormatRangeGrid(Range{}), FormatRangeGrid(Range(kComboCount, -1.0)));
}

TEST(CheckRangeConsistency, RefusesUnequalWeightsInAHandClassOnIsomorphicFlops) {
    Board board{ParseCards("Qs Jh 2h"), 0, 0};
    Range uniform(kComboCount, 1.0);
    Range uneven = uniform;
    uneven[InternalOf("AsKs")] = 0.5;
    State().interp.current_command = "build_tree";
    EXPECT_NO_THROW(CheckRangeConsistency(board, {uniform, uniform}, true));
    try {
        CheckRangeConsistency(board, {uniform, uneven}, true);
        ADD_FAILURE() << "accepted an inconsistent range";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "ERROR: build_tree inconsistent range: IP P(Kc Ac) == 1, P(Ks As) == 0.5, use "
                     "'set_isomorphism 0 0' if intended\n");
    }
    EXPECT_NO_THROW(CheckRangeConsistency(board, {uneven, uniform}, false));
    Board turn_board{board.flop, ParseCards("Td"), 0};
    EXPECT_NO_THROW(CheckRangeConsistency(turn_board, {uneven, uneven}, true));
}

TEST(CheckRangeConsistency, SkipsFlopBlockedCombosAndLeadingNegativeWeights) {
    Board board{ParseCards("Ks 7h 2d"), 0, 0};
    Range range(kComboCount, 1.0);
    // Combos holding a flop card may differ freely.
    range[InternalOf("AsKs")] = 0.25;
    range[InternalOf("7h7c")] = 0.0;
    // A negative weight met before the reference is passed over ...
    int first_aqs = Combos().ClassMembers(10 * 13 + 12)[0];
    range[first_aqs] = -1.0;
    EXPECT_NO_THROW(CheckRangeConsistency(board, {range, range}, true));
    // ... but a negative weight after the reference is compared.
    int last_aqs = Combos().ClassMembers(10 * 13 + 12)[3];
    range[last_aqs] = -1.0;
    EXPECT_THROW(CheckRangeConsistency(board, {range, range}, true), std::runtime_error);
}

TEST(SetDeckDistributionCommand, StoresWeightsAndTurnsIsomorphismOff) {
    UniformDeckAfterwards uniform_deck;
    State().cards = CardState{};
    std::string line = "set_deck_distribution";
    for (int card = 0; card < kCardCount; ++card)
        line += " " + std::to_string(card);
    EXPECT_EQ(RunCommand(line), "set_deck_distribution ok!\n");
    const CardState& cards = State().cards;
    EXPECT_TRUE(cards.deck_weights_in_use);
    EXPECT_FALSE(cards.IsomorphismFor(1));
    EXPECT_FALSE(cards.IsomorphismFor(2));
    for (int card = 0; card < kCardCount; ++card)
        EXPECT_EQ(cards.deck_weights[card], card);

    State().cards.SetIsomorphism(true, true);
    EXPECT_EQ(RunCommand(RepeatedWeights("set_deck_distribution", "0", 52)),
              "ERROR: set_deck_distribution incorrect or missing argument\n");
    EXPECT_EQ(cards.deck_weights[51], 51);  // a refused list changes nothing
    EXPECT_TRUE(cards.IsomorphismFor(1));
}
