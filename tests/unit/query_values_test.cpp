// Value and equity queries: root values that add up to the solver's figures, equities
// against an exact pairwise enumeration, and the text of value lines and listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cards_reference_evaluator.h"
#include "query_test_support.h"
#include "solver/query_lines.h"

namespace {

using namespace query_test;

const std::vector<std::string> kRiverBoard = {"Ks", "Th", "7h", "4d", "2c"};

// Root EV of a player: the value line weighted by the weight line.
double WeightedRootValue(const std::string& player) {
    const auto rows = ValueLines(RunCommand("calc_ev " + player + " r"));
    double     sum  = 0, weight = 0;
    for (int c = 0; c < 1326; ++c)
        if (!std::isnan(rows[0][c])) {
            sum += rows[0][c] * rows[1][c];
            weight += rows[1][c];
        }
    EXPECT_NEAR(weight, 1.0, 1e-6);
    return sum;
}

void ExpectRootValuesMatchResults() {
    RunCommand("calc_results");
    EXPECT_NEAR(WeightedRootValue("OOP"), Variable("solver_ev_oop"), 1e-3);
    EXPECT_NEAR(WeightedRootValue("IP"), Variable("solver_ev_ip"), 1e-3);
}

// Showdown value of seven cards by the reference evaluator.
uint32_t Strength(int a, int b, const std::vector<std::string>& board) {
    std::vector<int> cards = {a, b};
    for (const std::string& card : board)
        cards.push_back(CardNumber(card));
    // The reference evaluator takes card ids (suit * 13 + rank), not hand-order numbers.
    for (int& c : cards)
        c = (c % 4) * 13 + c / 4;
    return reference::BestHand(cards.data(), 7);
}

}  // namespace

TEST(QueryValues, RootValuesWeightedByTheirWeightsAreTheSolverFigures) {
    std::mt19937 rng(17);
    BuildSpot({"set_board Ks Th 7h 4d 2c", RandomRangeCommand("OOP", 0.05, rng),
               RandomRangeCommand("IP", 0.05, rng), "set_pot 0 0 80", "add_line 0 0",
               "add_line 0 40 40", "add_line 0 40 120 120", "add_line 40 40", "add_line 80 80"});
    Iterate(*State().solver.engine, 25);
    ExpectRootValuesMatchResults();
    EXPECT_EQ(RunCommand("calc_ev OOP r"), RunCommand("calc_ev OOP r:0"));

    BuildSpot({"set_board Ks Th 7h 4d", RandomRangeCommand("OOP", 0.03, rng),
               RandomRangeCommand("IP", 0.03, rng), "set_pot 0 0 60", "add_line 0 0 0 0",
               "add_line 0 0 30 30", "add_line 30 30 30 30", "add_line 30 30 30 60 60"});
    EXPECT_EQ(RunCommand("set_rake 0.05 3"), "set_rake ok!\n");
    Iterate(*State().solver.engine, 12);
    ExpectRootValuesMatchResults();
    EXPECT_EQ(RunCommand("set_rake 0 0"), "set_rake ok!\n");
}

TEST(QueryValues, RiverEquityIsThePairwiseShowdownShare) {
    std::mt19937  rng(23);
    const Weights oop = RandomCombos(rng, 30, kRiverBoard);
    const Weights ip  = RandomCombos(rng, 30, kRiverBoard);
    RunCommand("set_board Ks Th 7h 4d 2c");
    RunCommand(RangeCommand("OOP", oop));
    RunCommand(RangeCommand("IP", ip));
    const auto rows   = ValueLines(RunCommand("calc_eq OOP"));
    const auto tokens = Lines(RunCommand("calc_eq OOP"))[0];
    const auto mine   = HandWeights(oop);
    const auto theirs = HandWeights(ip);
    double     total_pairs = 0;
    for (int c = 0; c < 1326; ++c)
        for (int o = 0; o < 1326; ++o)
            if (mine[c] > 0 && theirs[o] > 0 && !Overlap(c, o))
                total_pairs += mine[c] * theirs[o];
    for (int c = 0; c < 1326; ++c) {
        if (Blocked(c, kRiverBoard) || mine[c] == 0) {
            EXPECT_TRUE(std::isnan(rows[0][c]) || std::isinf(rows[0][c])) << ComboText(c);
            continue;
        }
        auto [a, b]  = ComboCardNumbers(c);
        double share = 0, mass = 0;
        for (int o = 0; o < 1326; ++o) {
            if (theirs[o] == 0 || Overlap(c, o))
                continue;
            auto [x, y]    = ComboCardNumbers(o);
            const auto own = Strength(a, b, kRiverBoard), other = Strength(x, y, kRiverBoard);
            share += theirs[o] * (own > other ? 1.0 : own == other ? 0.5 : 0.0);
            mass += theirs[o];
        }
        EXPECT_NEAR(rows[0][c], share / mass, 1e-6) << ComboText(c);
        EXPECT_NEAR(rows[1][c], mine[c] * mass / total_pairs, 1e-7) << ComboText(c);
    }
    // NaN texts: "nan" for a combo on the board, "inf" for one outside the range.
    std::istringstream       in(tokens);
    std::vector<std::string> texts;
    for (std::string word; in >> word;)
        texts.push_back(word);
    ASSERT_EQ(texts.size(), 1326u);
    for (int c = 0; c < 1326; ++c) {
        if (Blocked(c, kRiverBoard))
            EXPECT_EQ(texts[c], "nan") << ComboText(c);
        else if (mine[c] == 0)
            EXPECT_EQ(texts[c], "inf") << ComboText(c);
    }
}

TEST(QueryValues, EquityListingOmitsCombosWithoutEquityAndSortsHighestFirst) {
    std::mt19937  rng(29);
    const Weights oop = RandomCombos(rng, 12, kRiverBoard);
    RunCommand("set_board Ks Th 7h 4d 2c");
    RunCommand(RangeCommand("OOP", oop));
    RunCommand(RangeCommand("IP", RandomCombos(rng, 12, kRiverBoard)));
    const auto equities = ValueLines(RunCommand("calc_eq OOP"))[0];
    const auto listing  = Lines(RunCommand("calc_eq_pp OOP"));
    ASSERT_EQ(listing.size(), oop.size() + 1);
    EXPECT_EQ(listing.back(), "END");
    double previous = 101;
    for (size_t k = 0; k + 1 < listing.size(); ++k) {
        const std::string combo  = listing[k].substr(0, 4);
        const double      listed = std::stod(listing[k].substr(6));
        EXPECT_NEAR(listed, 100 * equities[HandIndex(combo)], 0.005 + 1e-9) << listing[k];
        EXPECT_LE(listed, previous);
        previous = listed;
    }
}

TEST(QueryValues, NodeEquityAtTheFirstDecisionIsTheLiveEquity) {
    std::mt19937 rng(31);
    BuildSpot({"set_board Ks Th 7h 4d", RandomRangeCommand("OOP", 0.02, rng),
               RandomRangeCommand("IP", 0.02, rng), "set_pot 0 0 60", "add_line 0 0 0 0"});
    const auto live = ValueLines(RunCommand("calc_eq IP"));
    const auto node = ValueLines(RunCommand("calc_eq_node IP r"));
    ASSERT_EQ(node.size(), 3u);
    double weighted = 0, weights = 0;
    for (int c = 0; c < 1326; ++c) {
        if (std::isnan(node[0][c]))
            continue;
        EXPECT_NEAR(node[0][c], live[0][c], 1e-6) << ComboText(c);
        EXPECT_NEAR(node[1][c], live[1][c], 1e-7) << ComboText(c);
        weighted += node[0][c] * node[1][c];
        weights += node[1][c];
    }
    EXPECT_NEAR(node[2][0], weighted / weights, 1e-6);
}

TEST(QueryValues, EvLineIsConstantAndPlayerWordsAreChecked) {
    std::mt19937 rng(37);
    BuildSpot({"set_board Ks Th 7h 4d 2c", RandomRangeCommand("OOP", 0.02, rng),
               RandomRangeCommand("IP", 0.02, rng), "set_pot 0 0 60", "add_line 0 0"});
    const auto rows = ValueLines(RunCommand("calc_ev_line villain r:0:c"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::count(rows[0].begin(), rows[0].end(), 0.0), 1326);
    EXPECT_EQ(std::count(rows[1].begin(), rows[1].end(), 1.0), 1326);
    EXPECT_EQ(RunCommand("calc_ev Hero r"), "ERROR: calc_ev incorrect player name\n");
    EXPECT_EQ(RunCommand("calc_ev_line OOP r:0:b99"), "ERROR: calc_ev_line incorrect path\n");
    EXPECT_EQ(RunCommand("calc_eq_node IP r:0:c:c:2d"), "ERROR: calc_eq_node incorrect path\n");
}

TEST(QueryLines, NanSubstitutesAndTheLineBuffer) {
    std::vector<double> values(1326, 0.5);
    const int           on_board = HandIndex("AsKs"), off_board = HandIndex("3c3d");
    values[Combos().internal_of_hand[on_board]]  = std::nan("");
    values[Combos().internal_of_hand[off_board]] = std::nan("");
    std::istringstream words(EquityLine(values, "%.9g", *TryParseCards("As")));
    std::vector<std::string> texts;
    for (std::string word; words >> word;)
        texts.push_back(word);
    ASSERT_EQ(texts.size(), 1326u);
    EXPECT_EQ(texts[on_board], "nan");
    EXPECT_EQ(texts[off_board], "inf");
    EXPECT_EQ(texts[0], "0.5");
    const std::string line = ValueLine(values, "%.3f", "0");
    EXPECT_EQ(line.substr(0, 12), "0.500 0.500 ");
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 1325);
    // 1326 numbers of 60 characters do not fit 64 KiB.
    EXPECT_THROW(ValueLine(values, "%.58f", "0"), std::runtime_error);
    EXPECT_NO_THROW(ValueLine(values, "%.45f", "0"));
}

TEST(QueryLines, ListingIsStableAndStopsAtTheFirstMissingKey) {
    std::vector<double> keys(1326, std::nan(""));
    keys[Combos().internal_of_hand[10]] = 0.5;
    keys[Combos().internal_of_hand[3]]  = 0.5;
    keys[Combos().internal_of_hand[7]]  = 0.9;
    keys[Combos().internal_of_hand[1]]  = -1e300;
    EXPECT_EQ(ListingOrder(keys), (std::vector<int>{7, 3, 10, 1}));
}
