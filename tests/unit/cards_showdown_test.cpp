#include <gtest/gtest.h>

#include <random>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cards/eval_tables.h"
#include "cards/hand_evaluator.h"
#include "cards/hand_value.h"
#include "cards/live_combos.h"
#include "cards/showdown_strength.h"
#include "cards_reference_evaluator.h"

namespace {

ComboCards Hole(const char* text) {
    CardMask mask = ParseCards(text);
    int      low  = LowestCard(mask);
    return {static_cast<uint8_t>(LowestCard(mask & ~CardBit(low))), static_cast<uint8_t>(low)};
}

HandRules MustUse(int hole_cards) {
    HandRules rules;
    rules.must_use_hole_cards = hole_cards;
    return rules;
}

std::vector<int> CardsOf(CardMask mask) {
    std::vector<int> cards;
    for (; mask; mask &= mask - 1)
        cards.push_back(LowestCard(mask));
    return cards;
}

// The best reference value of five-card hands of exactly 'hole_used' hole cards.
uint32_t ReferenceMustUse(CardMask board, ComboCards hole, int hole_used) {
    std::vector<int> board_cards = CardsOf(board);
    std::vector<int> hole_cards  = {hole.high, hole.low};
    uint32_t         best        = 0;
    for (unsigned hole_pick = 1; hole_pick < 4; ++hole_pick) {
        if (__builtin_popcount(hole_pick) != hole_used)
            continue;
        for (unsigned board_pick = 0; board_pick < 32; ++board_pick) {
            if (__builtin_popcount(board_pick) != 5 - hole_used)
                continue;
            std::vector<int> five;
            for (int i = 0; i < 2; ++i)
                if (hole_pick >> i & 1)
                    five.push_back(hole_cards[i]);
            for (int i = 0; i < 5; ++i)
                if (board_pick >> i & 1)
                    five.push_back(board_cards[i]);
            best = std::max(best, reference::SmallHand(five.data(), 5));
        }
    }
    return best;
}

class Showdown : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitEvaluatorTables(); }
};

}  // namespace

TEST_F(Showdown, MustUseHoleCardsExamples) {
    CardMask broadway = ParseCards("As Ks Qs Js 2d");
    EXPECT_EQ(ShowdownStrength(broadway, Hole("Ts3c"), MustUse(0)), 0x080C0000u);
    EXPECT_EQ(ShowdownStrength(broadway, Hole("Ts3c"), MustUse(1)), 0x080C0000u);
    EXPECT_EQ(ShowdownStrength(broadway, Hole("Ts3c"), MustUse(2)), 0x000CBA81u);

    CardMask quads = ParseCards("2c 2d 2h 2s 3c");
    EXPECT_EQ(ShowdownStrength(quads, Hole("AsKs"), MustUse(0)), 0x0700C000u);
    EXPECT_EQ(ShowdownStrength(quads, Hole("AsKs"), MustUse(1)), 0x0700C000u);
    EXPECT_EQ(ShowdownStrength(quads, Hole("AsKs"), MustUse(2)), 0x0300CB00u);
}

TEST_F(Showdown, RandomBoardsMatchTheReferenceForEveryRule) {
    constexpr uint32_t kSeed = 4242;
    std::mt19937       rng(kSeed);
    for (int board_number = 0; board_number < 40; ++board_number) {
        CardMask board = 0;
        while (CardCountOf(board) < 5)
            board |= CardBit(static_cast<int>(rng() % kCardCount));
        std::vector<uint16_t> combos = LiveCombos(board, /*low_card=*/0);
        ASSERT_EQ(combos.size(), 1081u);
        for (int mode = 0; mode < 3; ++mode) {
            std::vector<uint32_t> strengths(combos.size());
            ShowdownStrengths(board, combos, MustUse(mode), strengths);
            for (size_t i = 0; i < combos.size(); i += 7) {
                ComboCards hole     = Combos().cards_of_internal[combos[i]];
                uint32_t   expected = mode == 0 ? [&] {
                    std::vector<int> seven = CardsOf(board | CardBit(hole.high) | CardBit(hole.low));
                    return reference::BestHand(seven.data(), 7);
                }()
                                                : ReferenceMustUse(board, hole, mode);
                ASSERT_EQ(strengths[i], expected)
                    << "(seed " << kSeed << ", board " << board_number << ", mode " << mode << ")";
            }
        }
    }
}

TEST_F(Showdown, FollowsShortDeckAndTypeOrderAndMarksEmptyEntries) {
    HandRules rules;
    rules.low_card = 4;
    rules.SetTypeOrder({kHighCard, kPair, kTwoPair, kStraight, kTrips, kFullHouse, kFlush, kQuads,
                        kStraightFlush});
    CardMask board = ParseCards("6d 7c 8h Kd Qc");
    EXPECT_EQ(ShowdownStrength(board, Hole("As9s"), rules), 0x03030000u);  // lowest straight
    rules.must_use_hole_cards = 2;
    EXPECT_EQ(ShowdownStrength(board, Hole("As9s"), rules), 0x03030000u);
    rules.must_use_hole_cards = 1;
    EXPECT_EQ(ShowdownStrength(board, Hole("As9s"), rules), 0x000CBA65u);  // A K Q 8 7 high

    std::vector<uint16_t> combos = {static_cast<uint16_t>(InternalIndexOf(51, 47)), kNoCombo};
    std::vector<uint32_t> strengths(2);
    ShowdownStrengths(board, combos, rules, strengths);
    EXPECT_EQ(strengths[1], kNoHandValue);
    EXPECT_EQ(strengths[0], ShowdownStrength(board, Combos().cards_of_internal[combos[0]], rules));
}

TEST(LiveCombos, LeavesOutBoardCardsAndTheShortDeck) {
    CardMask              board  = ParseCards("Ks 7h 2d");
    std::vector<uint16_t> combos = LiveCombos(board, /*low_card=*/0);
    EXPECT_EQ(combos.size(), 49u * 48 / 2);
    EXPECT_TRUE(std::is_sorted(combos.begin(), combos.end()));
    for (uint16_t k : combos)
        EXPECT_FALSE(Combos().MaskOfInternal(k) & board);
    EXPECT_EQ(LiveCombos(ParseCards("Ks 7h 6d Ac"), /*low_card=*/4).size(), 32u * 31 / 2);
    EXPECT_EQ(LiveCombos(0, 0).size(), 1326u);
}
