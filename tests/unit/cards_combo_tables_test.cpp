#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"

namespace {

int HandIndexOfText(const std::string& text) {
    const ComboTables& t = Combos();
    for (int p = 0; p < kComboCount; ++p)
        if (std::string(t.text[p].begin(), t.text[p].end()) == text)
            return p;
    return -1;
}

}  // namespace

TEST(ComboTables, HandOrderTextsAndIndices) {
    const ComboTables& t = Combos();
    EXPECT_EQ(HandIndexOfText("2d2c"), 0);
    EXPECT_EQ(HandIndexOfText("2h2c"), 1);
    EXPECT_EQ(HandIndexOfText("2s2h"), 5);
    EXPECT_EQ(HandIndexOfText("3c2c"), 6);
    EXPECT_EQ(HandIndexOfText("3c2d"), 7);
    EXPECT_EQ(HandIndexOfText("As2c"), 1275);
    EXPECT_EQ(HandIndexOfText("AsKs"), 1322);
    EXPECT_EQ(HandIndexOfText("AsAc"), 1323);
    EXPECT_EQ(HandIndexOfText("AsAh"), 1325);
    EXPECT_EQ(t.text_line.size(), 1326u * 5 - 1);
    EXPECT_EQ(t.text_line.substr(0, 15), "2d2c 2h2c 2h2d ");
    EXPECT_EQ(t.text_line.substr(t.text_line.size() - 9), "AsAd AsAh");
}

TEST(ComboTables, InternalOrderRunsBySuitMajorCardIds) {
    const ComboTables& t = Combos();
    EXPECT_EQ(t.MaskOfInternal(0), ParseCards("3c2c"));
    EXPECT_EQ(t.MaskOfInternal(1), ParseCards("4c2c"));
    EXPECT_EQ(t.MaskOfInternal(2), ParseCards("4c3c"));
    EXPECT_EQ(t.MaskOfInternal(3), ParseCards("5c2c"));
    EXPECT_EQ(t.MaskOfInternal(1323), ParseCards("AsJs"));
    EXPECT_EQ(t.MaskOfInternal(1325), ParseCards("AsKs"));
    EXPECT_EQ(t.cards_of_internal[1325].high, 51);
    EXPECT_EQ(t.cards_of_internal[1325].low, 50);
    EXPECT_EQ(InternalIndexOf(50, 51), 1325);
}

TEST(ComboTables, TheTwoOrdersAreInversePermutationsOverTheSameMasks) {
    const ComboTables& t = Combos();
    std::set<CardMask> masks;
    for (int p = 0; p < kComboCount; ++p) {
        int k = t.internal_of_hand[p];
        EXPECT_EQ(t.hand_of_internal[k], p);
        EXPECT_EQ(t.MaskOfInternal(k), t.mask[p]);
        EXPECT_EQ(CardCountOf(t.mask[p]), 2);
        masks.insert(t.mask[p]);
    }
    EXPECT_EQ(masks.size(), 1326u);
}

TEST(ComboTables, OrderConversionsRoundTrip) {
    std::array<double, kComboCount> hand{}, internal{}, back{};
    std::iota(hand.begin(), hand.end(), 0.0);
    HandToInternalOrder(hand, internal);
    // 3c2c (internal 0) is hand index 6; AsKs (internal 1325) is hand index 1322.
    EXPECT_EQ(internal[0], 6);
    EXPECT_EQ(internal[1325], 1322);
    InternalToHandOrder(internal, back);
    EXPECT_EQ(back, hand);
}

TEST(ComboTables, HandClassesHoldSixFourOrTwelveCombosInHandOrder) {
    const ComboTables& t     = Combos();
    int                total = 0;
    std::set<int>      seen;
    for (int c = 0; c < kHandClassCount; ++c) {
        int r1 = c / 13, r2 = c % 13;
        size_t expected = r1 == r2 ? 6 : r1 < r2 ? 4 : 12;
        auto   members  = t.ClassMembers(c);
        ASSERT_EQ(members.size(), expected) << "class " << c;
        for (size_t i = 0; i < members.size(); ++i) {
            const ComboCards cards = t.cards_of_internal[members[i]];
            EXPECT_EQ(HandClassOf(cards.high, cards.low), c);
            if (i) {
                EXPECT_LT(t.hand_of_internal[members[i - 1]], t.hand_of_internal[members[i]]);
            }
            seen.insert(members[i]);
        }
        total += static_cast<int>(members.size());
    }
    EXPECT_EQ(total, 1326);
    EXPECT_EQ(seen.size(), 1326u);
    // AKs is class 11 * 13 + 12, AKo 12 * 13 + 11, AA 12 * 13 + 12.
    EXPECT_EQ(HandClassOf(MakeCard(12, 0), MakeCard(11, 0)), 11 * 13 + 12);
    EXPECT_EQ(HandClassOf(MakeCard(12, 0), MakeCard(11, 1)), 12 * 13 + 11);
    EXPECT_EQ(HandClassOf(MakeCard(12, 0), MakeCard(12, 3)), 12 * 13 + 12);
}
