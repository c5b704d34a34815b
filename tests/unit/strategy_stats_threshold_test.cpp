// show_stats at any threshold: the threshold grid, and the pure and dominated rows of a
// river decision recomputed here from the printed strategies and action values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "query_test_support.h"
#include "solver/threshold_grid.h"

namespace {

using namespace query_test;

constexpr double kTolerance = 1e-5;
constexpr double kPot       = 60;

TEST(ThresholdGrid, EveryThresholdCountsAsTheLeastGridPointAtOrAboveIt) {
    EXPECT_EQ(ThresholdBin(0), 0);
    EXPECT_EQ(ThresholdBin(-3), 0);
    EXPECT_EQ(ThresholdBin(NAN), 0);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(1e-9)), 1e-5);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(0.2)), 0.2);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(0.3)), 0.3);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(0.0125)), 0.0125);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(0.01234)), 0.0124);
    EXPECT_EQ(ThresholdGridPoint(ThresholdBin(999.5)), 1000.0);
    EXPECT_EQ(ThresholdBin(1000.001), kThresholdBins - 1);
    EXPECT_EQ(ThresholdBin(INFINITY), kThresholdBins - 1);
    for (int bin = 1; bin <= kGridPoints; ++bin) {
        const double point = ThresholdGridPoint(bin);
        ASSERT_GT(point, ThresholdGridPoint(bin - 1));
        ASSERT_EQ(ThresholdBin(point), bin) << point;
        ASSERT_EQ(ThresholdBin(std::nextafter(point, 0.0)), bin) << point;
        ASSERT_EQ(ThresholdBin(std::nextafter(point, INFINITY)), bin + 1) << point;
    }
    // Counting bins floats with a table: the same bins, across the whole range and beyond.
    const ThresholdTables grid = ThresholdGrid::Get().Tables();
    std::mt19937         random(7);
    std::uniform_real_distribution<float> exponent(-25, 15);
    for (int k = 0; k < 200000; ++k) {
        const float t = std::exp2(exponent(random));
        ASSERT_EQ(grid.FloatBin(t), ThresholdBin(t)) << t;
        ASSERT_EQ(grid.FloatBin(-t), 0);
    }
    for (int bin = 1; bin <= kGridPoints; ++bin) {
        const float below = std::nextafter(static_cast<float>(ThresholdGridPoint(bin)), 0.0f);
        const float above = std::nextafter(static_cast<float>(ThresholdGridPoint(bin)), INFINITY);
        ASSERT_EQ(grid.FloatBin(below), ThresholdBin(below)) << below;
        ASSERT_EQ(grid.FloatBin(above), ThresholdBin(above)) << above;
    }
    EXPECT_EQ(grid.FloatBin(0.0f), 0);
    EXPECT_EQ(grid.FloatBin(NAN), 0);
    EXPECT_EQ(grid.FloatBin(INFINITY), kThresholdBins - 1);
    EXPECT_EQ(grid.FloatBin(1e-30f), 1);
}

// OOP decides once, at the root of a river tree (action 0: bet 30 into 60, which IP calls
// or folds; action 1: check), and is made to bet 30 % and check 70 % with every combo:
// both actions have values for every combo, and every strategy is pure exactly from
// threshold 0.3 on.
void BuildOneDecisionRiver() {
    BuildSpot({"set_board Qs Jh 2h 8d 3c", RangeCommand("OOP", AllCombosOf("AKQJ2")),
               RangeCommand("IP", AllCombosOf("AKQ98")), "set_pot 0 0 60", "add_line 0 0",
               "add_line 30 30"});
    State().solver.engine->SetStatsCountingFloor(0);  // the result passes count on this tree
    Iterate(*State().solver.engine, 12);
    std::string written = "set_strategy r:0";
    for (const char* frequency : {" 0.3", " 0.7"})
        for (int c = 0; c < 1326; ++c)
            written += frequency;
    ASSERT_EQ(RunCommand(written), "set_strategy ok!\n");
    ASSERT_EQ(RunCommand("lock_node r:0"), "lock_node ok!\n");
}

// The row of 'name' in a show_stats answer: flop, turn, river, total.
std::vector<double> Row(const std::string& answer, const std::string& name) {
    for (const std::string& line : Lines(answer))
        if (line.find(name) != std::string::npos) {
            std::string numbers = line.substr(line.find(name) + name.size());
            std::replace(numbers.begin(), numbers.end(), '%', ' ');
            return Numbers(numbers);
        }
    ADD_FAILURE() << name;
    return {};
}

struct Expected {
    double pure = 0, dominated = 0;
};

// Pure and dominated shares of OOP's infosets at 'epsilon', from show_strategy and the
// values per matchup of each action (calc_ev at the children).
Expected Recomputed(double epsilon) {
    const auto strategy = ValueLines(RunCommand("show_strategy r:0"));
    const auto bet      = ValueLines(RunCommand("calc_ev OOP r:0:b30"));
    const auto check    = ValueLines(RunCommand("calc_ev OOP r:0:c"));
    EXPECT_EQ(strategy.size(), 2u);
    int infosets = 0, pure = 0, dominated = 0;
    for (int c = 0; c < 1326; ++c) {
        const double sum = strategy[0][c] + strategy[1][c];
        if (sum < 0.5)
            continue;  // not in OOP's range, or blocked by the board
        ++infosets;
        pure += std::max(strategy[0][c], strategy[1][c]) >= 1 - epsilon - kTolerance;
        const double best   = std::max(check[0][c], bet[0][c]);
        const double played = strategy[0][c] * bet[0][c] + strategy[1][c] * check[0][c];
        EXPECT_FALSE(std::isnan(best)) << c;
        dominated += best - played > (epsilon + kTolerance) * kPot;
    }
    EXPECT_GT(infosets, 50);
    return {100.0 * pure / infosets, 100.0 * dominated / infosets};
}

// show_stats of OOP at the thresholds, walked (after the written strategy) or counted by
// the result passes, against the recomputation.
void ExpectRowsAsRecomputed(const std::string& what) {
    double last_dominated = 101;
    for (const double epsilon : {0.0, 0.001, 0.01, 0.03, 0.05, 0.1, 0.2, 0.4, 2.0}) {
        const std::string answer    = RunCommand("show_stats " + std::to_string(epsilon) + " OOP");
        const Expected    expected  = Recomputed(epsilon);
        const double      dominated = Row(answer, "dominated strategies")[2];
        EXPECT_EQ(Row(answer, "pure strategies")[2], epsilon < 0.3 ? 0.0 : 100.0) << epsilon;
        // Printed with one decimal; values printed with nine digits may sit on a limit.
        EXPECT_NEAR(dominated, expected.dominated, 0.2) << what << " at " << epsilon;
        EXPECT_LE(dominated, last_dominated) << what << " at " << epsilon;
        last_dominated = dominated;
    }
    EXPECT_GT(Row(RunCommand("show_stats 0 OOP"), "dominated strategies")[2], 20.0) << what;
    // Pure from 0.3 on, to the last digit; 0.2999 counts as 0.3.
    EXPECT_EQ(Row(RunCommand("show_stats 0.3 OOP"), "pure strategies")[2], 100.0) << what;
    EXPECT_EQ(Row(RunCommand("show_stats 0.2999 OOP"), "pure strategies")[2], 100.0) << what;
    EXPECT_EQ(Row(RunCommand("show_stats 0.2989 OOP"), "pure strategies")[2], 0.0) << what;
}

TEST(StrategyStatsThreshold, PureAndDominatedRowsFollowThePrintedStrategiesAtEveryThreshold) {
    BuildOneDecisionRiver();
    ExpectRowsAsRecomputed("walked");
    RunCommand("calc_results");
    ExpectRowsAsRecomputed("counted by the result passes");

    const std::string beyond = RunCommand("show_stats 5000 OOP");
    EXPECT_EQ(Row(beyond, "pure strategies")[2], 100.0);
    EXPECT_EQ(Row(beyond, "dominated strategies")[2], 0.0);
    const auto table = [](const std::string& answer) { return answer.substr(answer.find('\n')); };
    EXPECT_EQ(table(RunCommand("show_stats -0.5 OOP")), table(RunCommand("show_stats 0 OOP")));
}

}  // namespace
