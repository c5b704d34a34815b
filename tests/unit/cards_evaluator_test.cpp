#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "cards/card_parser.h"
#include "cards/eval_tables.h"
#include "cards/hand_evaluator.h"
#include "cards/hand_value.h"
#include "cards_reference_evaluator.h"

namespace {

std::vector<int> CardsOf(const char* text) {
    std::vector<int> cards;
    for (CardMask mask = ParseCards(text); mask; mask &= mask - 1)
        cards.push_back(LowestCard(mask));
    return cards;
}

uint32_t Evaluate(const char* text, const HandRules& rules = {}) {
    std::vector<int> cards = CardsOf(text);
    return EvaluateHand(cards.data(), static_cast<int>(cards.size()), rules);
}

// n distinct cards drawn from 'deck'.
std::vector<int> Draw(std::mt19937& rng, const std::vector<int>& deck, int n) {
    std::vector<int> cards;
    CardMask         used = 0;
    while (static_cast<int>(cards.size()) < n) {
        int card = deck[rng() % deck.size()];
        if (!(used & CardBit(card))) {
            used |= CardBit(card);
            cards.push_back(card);
        }
    }
    return cards;
}

std::vector<int> FullDeck() {
    std::vector<int> deck(kCardCount);
    for (int card = 0; card < kCardCount; ++card)
        deck[card] = card;
    return deck;
}

// The cards of a few distinct ranks only, so that pairs, trips, full houses and quads
// are common.
std::vector<int> FewRanksDeck(std::mt19937& rng, int rank_count) {
    std::vector<int> ranks(kRankCount);
    std::iota(ranks.begin(), ranks.end(), 0);
    std::shuffle(ranks.begin(), ranks.end(), rng);
    std::vector<int> deck;
    for (int i = 0; i < rank_count; ++i)
        for (int suit = 0; suit < kSuitCount; ++suit)
            deck.push_back(MakeCard(ranks[i], suit));
    return deck;
}

class Evaluator : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitEvaluatorTables(); }
};

}  // namespace

TEST_F(Evaluator, ValueLayoutExamples) {
    EXPECT_EQ(Evaluate("AsAhKdQc9s5h2c"), 0x010CBA70u);
    EXPECT_EQ(Evaluate("5h4d3c2sAh"), 0x04030000u);
    EXPECT_EQ(Evaluate("AsKsQsJsTs"), 0x080C0000u);
    EXPECT_EQ(Evaluate("AsAhAdKsKh9c2d"), 0x060CB000u);
    EXPECT_EQ(Evaluate("KsKhQdQcJsJh2c"), 0x020BA900u);
    EXPECT_EQ(Evaluate("AsAhAdKsKhKc2d"), 0x060CB000u);  // two trips: the lower is the pair
    EXPECT_EQ(Evaluate("7s7h7d7c2s2h2d"), 0x07050000u);  // quads kicker from trips
    EXPECT_EQ(Evaluate("9s8s7s6s5s4s3s"), 0x08070000u);
    EXPECT_EQ(Evaluate("As2s3s4s5s6h7h"), 0x08030000u);  // wheel flush beats the 7-high straight
    EXPECT_EQ(Evaluate("AsKd"), 0u);  // two cards: not a hand
    EXPECT_EQ(Evaluate("AsKdQhJcTs9s8s7s"), 0u);
}

TEST_F(Evaluator, FewerThanFiveCardsFillFieldsFromTheTop) {
    EXPECT_EQ(Evaluate("Ks7h3d"), 0x000B5100u);
    EXPECT_EQ(Evaluate("KsKh3d"), 0x010B1000u);
    EXPECT_EQ(Evaluate("KsKhKd"), 0x030B0000u);
    EXPECT_EQ(Evaluate("Ks7h3dAc"), 0x000CB510u);
    EXPECT_EQ(Evaluate("KsKh3d3c"), 0x020B1000u);
    EXPECT_EQ(Evaluate("KsKhKd3c"), 0x030B1000u);
    EXPECT_EQ(Evaluate("KsKhKdKc"), 0x070B0000u);
    EXPECT_EQ(Evaluate("KsKh9dAc"), 0x010BC700u);
}

TEST_F(Evaluator, EveryFiveCardHandMatchesTheReference) {
    std::map<int, int> per_type;
    std::set<uint32_t> distinct;
    int                cards[5];
    int                mismatches = 0;
    for (cards[0] = 0; cards[0] < 52; ++cards[0])
        for (cards[1] = cards[0] + 1; cards[1] < 52; ++cards[1])
            for (cards[2] = cards[1] + 1; cards[2] < 52; ++cards[2])
                for (cards[3] = cards[2] + 1; cards[3] < 52; ++cards[3])
                    for (cards[4] = cards[3] + 1; cards[4] < 52; ++cards[4]) {
                        uint32_t value = EvaluateHand(cards, 5, HandRules{});
                        if (value != reference::SmallHand(cards, 5) && ++mismatches < 5)
                            ADD_FAILURE() << std::hex << value << " vs "
                                          << reference::SmallHand(cards, 5);
                        ++per_type[TopByteOf(value)];
                        distinct.insert(value);
                    }
    EXPECT_EQ(mismatches, 0);
    // The well-known counts of the 2,598,960 five-card hands.
    EXPECT_EQ(per_type, (std::map<int, int>{{0, 1302540}, {1, 1098240}, {2, 123552}, {3, 54912},
                                            {4, 10200}, {5, 5108}, {6, 3744}, {7, 624}, {8, 40}}));
    EXPECT_EQ(distinct.size(), 7462u);
}

TEST_F(Evaluator, EveryThreeAndFourCardHandMatchesTheReference) {
    int mismatches = 0;
    for (int a = 0; a < 52; ++a)
        for (int b = a + 1; b < 52; ++b)
            for (int c = b + 1; c < 52; ++c) {
                int three[3] = {a, b, c};
                mismatches += EvaluateHand(three, 3, HandRules{}) != reference::SmallHand(three, 3);
                for (int d = c + 1; d < 52; ++d) {
                    int four[4] = {a, b, c, d};
                    mismatches += EvaluateHand(four, 4, HandRules{}) != reference::SmallHand(four, 4);
                }
            }
    EXPECT_EQ(mismatches, 0);
}

TEST_F(Evaluator, RandomSixAndSevenCardHandsMatchTheBestFiveCardSubset) {
    constexpr uint32_t kSeed = 7001;
    std::mt19937       rng(kSeed);
    std::vector<int>   deck = FullDeck();
    for (int test = 0; test < 400000; ++test) {
        int              n     = 6 + test % 2;
        std::vector<int> cards = test % 4 < 2 ? Draw(rng, deck, n)
                                              : Draw(rng, FewRanksDeck(rng, 2 + test % 4), n);
        uint32_t expected = reference::BestHand(cards.data(), n);
        uint32_t value    = EvaluateHand(cards.data(), n, HandRules{});
        ASSERT_EQ(value, expected) << std::hex << "(seed " << std::dec << kSeed << ", test " << test << ")";
        ASSERT_EQ(RawHandValue(CardWordOf(cards.data(), n), n), expected) << "(test " << test << ")";
    }
}

TEST_F(Evaluator, TablesHoldCountsTopRanksTopFiveAndStraights) {
    const EvalTables& t = EvaluatorTables();
    EXPECT_EQ(t.rank_count[0x1FC0], 7u);
    EXPECT_EQ(t.top_rank[0x1FC0], 12u);
    EXPECT_EQ(t.top_bit[0x0A0], 0x080u);
    EXPECT_EQ(t.top_five[0x1FC0], 0xCBA98u);
    EXPECT_EQ(t.top_five[0x0A1], 0x750u);  // three ranks in bits 11..0
    EXPECT_EQ(t.straight[0x100F], 0x04030000u);  // A-2-3-4-5
    EXPECT_EQ(t.straight[0x101F], 0x04040000u);  // 2..6 beats the wheel
    EXPECT_EQ(t.straight[0x1F00], 0x040C0000u);
    EXPECT_EQ(t.straight[0x1E01], 0u);
}
