// show_stats keeps each player's figures for the strategies the tree reports now: asking
// again (or for both players after each one) answers what a fresh walk of the tree
// answers, and any change of the strategies or of the conditions makes the next answer a
// new count (a walk, or the result passes of a run) that follows the change.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cards/combo_tables.h"
#include "cli/solver_state.h"
#include "query_test_support.h"
#include "solver/query_support.h"
#include "solver/strategy_stats.h"

namespace {

using namespace query_test;

void ExpectSameStats(const StrategyStats& a, const StrategyStats& b, const std::string& what) {
    EXPECT_EQ(a.decision_nodes, b.decision_nodes) << what;
    EXPECT_EQ(a.canonical_decisions, b.canonical_decisions) << what;
    EXPECT_EQ(a.infosets, b.infosets) << what;
    EXPECT_EQ(a.infoset_actions, b.infoset_actions) << what;
    const StreetColumns<double> StrategyStats::*rows[] = {
        &StrategyStats::infosets_per_decision, &StrategyStats::reachable,
        &StrategyStats::pure,                  &StrategyStats::reachable_pure,
        &StrategyStats::weighted_pure,         &StrategyStats::dominated,
        &StrategyStats::reachable_dominated,   &StrategyStats::weighted_dominated};
    for (auto row : rows)
        EXPECT_EQ(a.*row, b.*row) << what;
}

StrategyStats Kept(CfrEngine& engine, double epsilon, int player) {
    return UnderTreeMutex(engine, [&] { return ComputeStrategyStats(engine, epsilon, player); });
}

StrategyStats Walked(CfrEngine& engine, double epsilon, int player) {
    return UnderTreeMutex(engine, [&] { return WalkStrategyStats(engine, epsilon, player); });
}

bool IsKept(CfrEngine& engine, int player) {
    return UnderTreeMutex(engine, [&] { return StrategyStatsKept(engine, player); });
}

const char* const kPlayers[] = {"OOP", "IP"};

}  // namespace

TEST(StrategyStatsKept, KeptFiguresAnswerAsAFreshWalkForEachPlayerAndThreshold) {
    CfrEngine& engine = BuildSmallFlopSpot();
    Iterate(engine, 6);
    for (const double epsilon : {0.0, 0.05}) {
        const std::string threshold = epsilon == 0 ? "0" : "0.05";
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(IsKept(engine, p), epsilon > 0) << "counts answer every threshold";
            const std::string command = "show_stats " + threshold + " " + kPlayers[p];
            const std::string first   = RunCommand(command);
            ASSERT_EQ(first.substr(0, 8), "epsilon ") << first;
            EXPECT_TRUE(IsKept(engine, p));
            EXPECT_EQ(RunCommand(command), first);
            ExpectSameStats(Kept(engine, epsilon, p), Walked(engine, epsilon, p),
                            command + " kept against walked");
        }
        // Both players from the two kept answers.
        const std::string both = RunCommand("show_stats " + threshold);
        EXPECT_NE(both.find("| OOP+IP"), std::string::npos);
        ExpectSameStats(Kept(engine, epsilon, -1), Walked(engine, epsilon, -1),
                        "both players at " + threshold);
    }
    // The answers are figures that distinguish pure and dominated strategies at the two
    // thresholds.
    const StrategyStats at_zero = Kept(engine, 0, -1), at_five = Kept(engine, 0.05, -1);
    EXPECT_GE(at_five.pure[3], at_zero.pure[3]);
    EXPECT_GT(at_zero.infosets[3], 0);
    EXPECT_GT(at_zero.pure[3], 0.0);
    EXPECT_LT(at_zero.pure[3], 100.0);
    EXPECT_GT(at_zero.dominated[3], 0.0);
    EXPECT_GT(at_zero.dominated[3], at_five.dominated[3]);
}

TEST(StrategyStatsKept, ChangesOfTheStrategiesOrConditionsMakeTheKeptFiguresStale) {
    CfrEngine& engine = BuildSmallFlopSpot();
    engine.SetStatsCountingFloor(0);  // so small a tree is walked under the default floor
    RunCommand("set_info_freq 100");
    RunCommand("go 2 steps block");
    const std::string before = RunCommand("show_stats 0.05");
    EXPECT_TRUE(IsKept(engine, 0) && IsKept(engine, 1));

    // The run ends with result passes, which count the new strategies.
    RunCommand("go 4 steps block");
    EXPECT_EQ(engine.IterationCount(), 6);
    EXPECT_TRUE(IsKept(engine, 0) && IsKept(engine, 1));
    const std::string after = RunCommand("show_stats 0.05");
    EXPECT_NE(after, before);
    ExpectSameStats(Kept(engine, 0.05, -1), Walked(engine, 0.05, -1), "after a further go");

    // OOP always checks at the first decision.
    std::string command = "set_strategy r:0 0";
    for (int c = 0; c < 1326; ++c)
        command += " 1";
    ASSERT_EQ(RunCommand(command), "set_strategy ok!\n");
    EXPECT_FALSE(IsKept(engine, 0));
    const std::string written = RunCommand("show_stats 0.05 OOP");
    ExpectSameStats(Kept(engine, 0.05, 0), Walked(engine, 0.05, 0), "after set_strategy");
    EXPECT_NE(written, RunCommand("show_stats 0.05 IP"));

    ASSERT_EQ(RunCommand("set_rake 0.05 3"), "set_rake ok!\n");
    EXPECT_FALSE(IsKept(engine, 0));
    ExpectSameStats(Kept(engine, 0.05, -1), Walked(engine, 0.05, -1), "with rake");
    ASSERT_EQ(RunCommand("set_rake 0 0"), "set_rake ok!\n");

    // Figures kept before a street's storage is dropped are not answered for it.
    RunCommand("show_stats");
    EXPECT_TRUE(IsKept(engine, 0) && IsKept(engine, 1));
    ASSERT_EQ(RunCommand("forget rivers"), "forget ok!\n");
    EXPECT_EQ(RunCommand("show_stats"), "ERROR: show_stats incomplete tree\n");

    ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");  // a new tree: nothing kept
    EXPECT_FALSE(IsKept(*State().solver.engine, 0));
}
