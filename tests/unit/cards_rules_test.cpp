#include <gtest/gtest.h>

#include <random>

#include "cards/card_parser.h"
#include "cards/eval_tables.h"
#include "cards/hand_description.h"
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

uint32_t Evaluate(const char* text, const HandRules& rules) {
    std::vector<int> cards = CardsOf(text);
    return EvaluateHand(cards.data(), static_cast<int>(cards.size()), rules);
}

HandRules ShortDeck(int low_card, HandTypeOrder order = kStandardTypeOrder) {
    HandRules rules;
    rules.low_card = low_card;
    rules.SetTypeOrder(order);
    return rules;
}

// The short-deck type order: flush above full house, trips above straight.
constexpr HandTypeOrder kShortDeckOrder = {kHighCard, kPair,      kTwoPair, kStraight,     kTrips,
                                           kFullHouse, kFlush, kQuads,   kStraightFlush};

// The value under 'rules', derived from the reference's plain value: a hand holding the
// ace and the four lowest deck ranks (but not the fifth) holds the lowest straight, as a
// straight flush when those five cards share a suit; it counts when its type beats the
// hand's type, except that a flush only gives way to that straight flush. Then the type
// byte becomes the type's position.
uint32_t ReferenceWithRules(const std::vector<int>& cards, const HandRules& rules) {
    uint32_t value = reference::BestHand(cards.data(), static_cast<int>(cards.size()));
    int      low   = rules.low_card;
    auto     holds = [&](int rank, int suit) {
        for (int card : cards)
            if (RankOf(card) == rank && (suit < 0 || SuitOf(card) == suit))
                return true;
        return false;
    };
    auto holds_lowest_straight = [&](int suit) {
        bool all = holds(12, suit);
        for (int rank = low; rank < low + 4; ++rank)
            all = all && holds(rank, suit);
        return all;
    };
    if (low > 0 && holds_lowest_straight(-1) && !holds(low + 4, -1)) {
        auto type   = static_cast<HandType>(value >> 24);
        bool suited = false;
        for (int suit = 0; suit < 4; ++suit)
            suited = suited || holds_lowest_straight(suit);
        if (type == kFlush) {
            if (suited && rules.Beats(kStraightFlush, kFlush))
                value = 0x08030000;
        } else if (type != kStraightFlush && rules.Beats(kStraight, type)) {
            value = 0x04030000;
        }
    }
    uint32_t position = rules.position_of_type[value >> 24];
    return position << 24 | (value & 0xFFFFFF);
}

class Rules : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitEvaluatorTables(); }
};

}  // namespace

TEST_F(Rules, ShortDeckLowestStraight) {
    HandRules six_deck = ShortDeck(4);
    EXPECT_EQ(Evaluate("As6d7c8h9sKdQc", six_deck), 0x04030000u);
    EXPECT_EQ(Evaluate("As6s7s8s9sKsQd", six_deck), 0x08030000u);
    // With the ten the hand holds a higher straight; without the ace none.
    EXPECT_EQ(Evaluate("As6d7c8h9sTdQc", six_deck), 0x04080000u);
    EXPECT_EQ(Evaluate("Ks6d7c8h9sJdQc", six_deck), 0x000BA976u);
    // A flush whose suit lacks one of the five cards stays a flush.
    EXPECT_EQ(Evaluate("As6s7s8s9dKsQs", six_deck), 0x050CBA65u);
    // The full deck rule is untouched: nine-high straight needs the five.
    EXPECT_EQ(Evaluate("As6d7c8h9sKdQc", HandRules{}), 0x000CBA76u);
    // Trips beat the lowest straight in the short-deck order.
    HandRules short_order = ShortDeck(4, kShortDeckOrder);
    EXPECT_EQ(Evaluate("As6d7c8h9s9d9c", short_order), 0x04070000u | 0xC600u);
    EXPECT_EQ(Evaluate("As6d7c8h9s9d9c", six_deck), 0x04030000u);
}

TEST_F(Rules, CustomOrderReplacesTheTypeByte) {
    HandRules order = ShortDeck(0, {kHighCard, kPair, kTwoPair, kStraight, kTrips, kFullHouse,
                                    kFlush, kQuads, kStraightFlush});
    EXPECT_TRUE(order.custom_order_active);
    uint32_t flush      = Evaluate("AsKs9s5s2sQdJc", order);
    uint32_t full_house = Evaluate("AsAhAdKsKh9c2d", order);
    EXPECT_EQ(flush, 0x060CB730u);
    EXPECT_EQ(full_house, 0x050CB000u);
    EXPECT_GT(flush, full_house);
    EXPECT_EQ(HandTypeOfValue(flush, order), kFlush);
    // The precedence that chooses a type stays: a straight with trips is a straight.
    EXPECT_EQ(Evaluate("8s7d6c5h4s4d4c", order), 0x03060000u);
    HandRules standard;
    standard.SetTypeOrder(kStandardTypeOrder);
    EXPECT_FALSE(standard.custom_order_active);
}

TEST_F(Rules, RandomShortDeckAndCustomOrderHandsMatchTheReference) {
    constexpr uint32_t kSeed = 9103;
    std::mt19937       rng(kSeed);
    for (int test = 0; test < 60000; ++test) {
        int           low   = 1 + test % 4;
        HandTypeOrder order = kStandardTypeOrder;
        if (test % 3 == 1)
            order = kShortDeckOrder;
        if (test % 3 == 2)
            std::shuffle(order.begin(), order.end(), rng);
        HandRules rules = ShortDeck(low, order);
        // Mostly cards of the short deck with the ace and lowest ranks over-represented.
        std::vector<int> deck;
        for (int rank : {12, low, low + 1, low + 2, low + 3, low + 4, 12, low, low + 1, low + 2, low + 3})
            for (int suit = 0; suit < 4; ++suit)
                deck.push_back(MakeCard(rank, suit));
        for (int rank = low; rank < kRankCount; ++rank)
            deck.push_back(MakeCard(rank, static_cast<int>(rng() % 4)));
        int              n = 5 + test % 3;
        std::vector<int> cards;
        CardMask         used = 0;
        while (static_cast<int>(cards.size()) < n) {
            int card = deck[rng() % deck.size()];
            if (!(used & CardBit(card)))
                used |= CardBit(card), cards.push_back(card);
        }
        ASSERT_EQ(EvaluateHand(cards.data(), n, rules), ReferenceWithRules(cards, rules))
            << "(seed " << kSeed << ", test " << test << ")";
    }
}

TEST_F(Rules, Descriptions) {
    HandRules standard;
    auto      describe = [&](const char* hand, const HandRules& rules) {
        return DescribeHandValue(Evaluate(hand, rules), rules);
    };
    EXPECT_EQ(describe("AsKsQsJsTs", standard), "ace king queen jack ten ");
    EXPECT_EQ(describe("5h4d3c2sAh", standard), "five four trey deuce ace");
    EXPECT_EQ(describe("AsAhAdKsKh9c2d", standard), "aces over kings");
    EXPECT_EQ(describe("KsKhQdQcJsJh2c", standard), "kings and queens, jack kicker");
    EXPECT_EQ(describe("AsAhKdQc9s5h2c", standard), "aces, king queen nine kicker");
    EXPECT_EQ(describe("AsAhAdKsQh9c2d", standard), "aces, king queen kicker");
    EXPECT_EQ(describe("7s7h7d7c2s2h2d", standard), "sevens, deuce kicker");
    EXPECT_EQ(describe("As9sKs5s2sQdJc", standard), "ace king nine five deuce ");
    EXPECT_EQ(describe("Ts8d6c4h3s", standard), "ten eight six four trey ");
    EXPECT_EQ(describe("6s5d4c3h2s", standard), "six five four trey deuce ");
    EXPECT_EQ(describe("As6d7c8h9sKdQc", ShortDeck(4)), "nine eight seven six ace");
    EXPECT_EQ(describe("As3d4c5h6s", ShortDeck(1)), "six five four trey ace");
    // The wheel of the full deck is described from the deck's lowest rank.
    EXPECT_EQ(describe("5h4d3c2sAh", ShortDeck(4)), "nine eight seven six ace");
}
