// Range notation of spot files, checked combo by combo through the hand order.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "cards/combo_tables.h"
#include "tools/spot/range_notation.h"

namespace {

double Total(const std::vector<double>& weights) {
    return std::accumulate(weights.begin(), weights.end(), 0.0);
}

double WeightOf(const std::vector<double>& weights, const std::string& combo_text) {
    const ComboTables& combos  = Combos();
    std::string        swapped = combo_text.substr(2) + combo_text.substr(0, 2);
    for (int hand = 0; hand < kComboCount; ++hand) {
        std::string text(combos.text[hand].data(), 4);
        if (text == combo_text || text == swapped)
            return weights[hand];
    }
    ADD_FAILURE() << "no combo " << combo_text;
    return -1;
}

TEST(ExpandRange, SingleClassesHaveTheirComboCounts) {
    EXPECT_EQ(Total(ExpandRange("QQ")), 6);
    EXPECT_EQ(Total(ExpandRange("AKs")), 4);
    EXPECT_EQ(Total(ExpandRange("T9o")), 12);
    EXPECT_EQ(Total(ExpandRange("AK")), 16);
    EXPECT_EQ(Total(ExpandRange("KA")), 16);  // ranks in either order
    EXPECT_EQ(Total(ExpandRange("AhKh")), 1);
    EXPECT_EQ(ExpandRange("").size(), 1326u);
    EXPECT_EQ(Total(ExpandRange("")), 0);
}

TEST(ExpandRange, WeightsLandOnTheRightCombosInHandOrder) {
    std::vector<double> weights = ExpandRange("AKs:0.5, 22");
    EXPECT_EQ(WeightOf(weights, "AsKs"), 0.5);
    EXPECT_EQ(WeightOf(weights, "AhKh"), 0.5);
    EXPECT_EQ(WeightOf(weights, "AsKh"), 0);
    EXPECT_EQ(WeightOf(weights, "2d2c"), 1);  // hand index 0
    EXPECT_EQ(weights[0], 1);
    EXPECT_EQ(weights[1325], 0);  // AsAh
}

TEST(ExpandRange, PlusAndDashRanges) {
    EXPECT_EQ(Total(ExpandRange("22+")), 13 * 6);
    EXPECT_EQ(Total(ExpandRange("A2s+")), 12 * 4);   // A2s..AKs
    EXPECT_EQ(Total(ExpandRange("K8o+")), 5 * 12);   // K8o..KQo
    EXPECT_EQ(Total(ExpandRange("A2+")), 12 * 16);
    EXPECT_EQ(Total(ExpandRange("22-JJ")), 10 * 6);
    EXPECT_EQ(Total(ExpandRange("JJ-22")), 10 * 6);
    EXPECT_EQ(Total(ExpandRange("A2s-AJs")), 10 * 4);
    EXPECT_EQ(Total(ExpandRange("K7o-KJo")), 5 * 12);
    std::vector<double> plus = ExpandRange("K8o+");
    EXPECT_EQ(WeightOf(plus, "KsQh"), 1);
    EXPECT_EQ(WeightOf(plus, "KsAh"), 0);
    EXPECT_EQ(WeightOf(plus, "Ks7h"), 0);
    EXPECT_EQ(WeightOf(plus, "KsQs"), 0);
}

TEST(ExpandRange, LaterItemsOverrideEarlierOnes) {
    std::vector<double> weights = ExpandRange("AK, AKs:0.25,  qq:0");
    EXPECT_EQ(WeightOf(weights, "AsKs"), 0.25);
    EXPECT_EQ(WeightOf(weights, "AsKd"), 1);
    EXPECT_EQ(Total(weights), 12 + 4 * 0.25);
}

TEST(ExpandRange, BadItemsAreNamed) {
    for (const char* bad : {"AX", "QQs", "AKx", "A", "AKQs", "AKs:", "AKs:x", "AKs:-1", "22-AKs",
                            "A2s-KJs", "A2s-A5o", "QQ:nan", "AsAs", ",-,"}) {
        try {
            ExpandRange(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const RangeNotationError& error) {
            EXPECT_NE(std::string(error.what()).find("bad range item"), std::string::npos) << bad;
        }
    }
    try {
        ExpandRange("AA, KK, QX");
    } catch (const RangeNotationError& error) {
        EXPECT_NE(std::string(error.what()).find("'QX'"), std::string::npos);
    }
}

}  // namespace
