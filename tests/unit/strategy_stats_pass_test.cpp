// The strategy statistics the result passes count: they equal what a walk of the tree
// counts (per player and street, at every threshold, on turn and flop trees, with and
// without suit isomorphism, with locked decisions), they answer show_stats after a run
// at any threshold, and a change of the strategies after the passes sends show_stats
// back to a walk.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "cli/solver_state.h"
#include "query_test_support.h"
#include "solver/query_support.h"
#include "solver/strategy_stats.h"

namespace {

using namespace query_test;

// The tallies kept for 'player' at 'epsilon' under the present strategies, if any.
std::optional<StatsTallies> Kept(CfrEngine& engine, double epsilon, int player) {
    return UnderTreeMutex(engine, [&]() -> std::optional<StatsTallies> {
        const PlayerCounts* kept = engine.StatsAnswers().Find(player, StatsStamp(engine));
        return kept ? std::optional(kept->At(epsilon)) : std::nullopt;
    });
}

// The tallies a fresh walk counts (the walk keeps them in place of the kept ones).
StatsTallies Walked(CfrEngine& engine, double epsilon, int player) {
    UnderTreeMutex(engine, [&] { return WalkStrategyStats(engine, epsilon, player); });
    return Kept(engine, epsilon, player).value_or(StatsTallies{});
}

// Counts and weights are integers added in any order: the figures are equal.
void ExpectSameTallies(const StatsTallies& counted, const StatsTallies& walked,
                       const std::string& what) {
    for (int s = 0; s < 4; ++s)
        EXPECT_TRUE(counted[s] == walked[s]) << what << ", column " << s;
}

// Runs the result passes and compares what they counted with fresh walks, for both
// players, at threshold 0 and at 'epsilon'.
void ExpectPassesCountAsTheWalk(CfrEngine& engine, double epsilon, const std::string& what) {
    RunCommand("calc_results");
    for (const double e : {0.0, epsilon})
        for (int p = 0; p < 2; ++p) {
            const std::string where =
                what + ", player " + std::to_string(p) + " at " + std::to_string(e);
            const auto counted = Kept(engine, e, p);
            ASSERT_TRUE(counted.has_value()) << where;
            EXPECT_GT((*counted)[3].infosets, 0) << where;
            ExpectSameTallies(*counted, Walked(engine, e, p), where);
        }
}

// These trees are far below the storage floor under which the passes leave the counting
// to a walk; the tests lower it so that their passes count.
CfrEngine& Counting(CfrEngine& engine) {
    engine.SetStatsCountingFloor(0);
    return engine;
}

// A flop tree with bets and calls on every street (amounts are each player's totals).
CfrEngine& BuildFlopSpot() {
    return Counting(BuildSpot({"set_board Qs Jh 2h", RangeCommand("OOP", AllCombosOf("AKQ5")),
                               RangeCommand("IP", AllCombosOf("AQJ9")), "set_pot 0 0 60",
                               "add_line 0 0 0 0 0 0", "add_line 0 0 0 0 30 30",
                               "add_line 30 30 30 30 30 30", "add_line 0 0 30 30 30 30",
                               "add_line 0 30 30 30 30 30 30", "add_line 0 0 0 0 0 30 30",
                               "add_line 0 0 30 30 30 90 90"}));
}

CfrEngine& BuildTurnSpot() {
    return Counting(BuildSpot({"set_board Qs Jh 2h 8c", RangeCommand("OOP", AllCombosOf("AK54")),
                               RangeCommand("IP", AllCombosOf("AQ93")), "set_pot 0 0 60",
                               "add_line 0 0 0 0", "add_line 0 0 30 30",
                               "add_line 0 0 0 30 30"}));
}

std::string Repeated(const std::string& command, const char* value) {
    std::string line = command;
    for (int c = 0; c < 1326; ++c)
        line += std::string(" ") + value;
    return line;
}

// set_strategy of every action of a decision: every combo takes 'action'.
std::string PureStrategy(const std::string& path, int action) {
    const size_t actions = ValueLines(RunCommand("show_strategy " + path)).size();
    EXPECT_GT(actions, size_t(action)) << path;
    std::string line = "set_strategy " + path;
    for (size_t a = 0; a < actions; ++a)
        line = Repeated(line, int(a) == action ? "1" : "0");
    return line;
}

}  // namespace

TEST(StrategyStatsPass, ResultPassesCountAsTheWalkOnATurnTree) {
    for (const char* isomorphism : {"set_isomorphism 1 1", "set_isomorphism 0 0"}) {
        RunCommand(isomorphism);
        CfrEngine& engine = BuildTurnSpot();
        Iterate(engine, 8);
        ExpectPassesCountAsTheWalk(engine, 0.05, isomorphism);
    }
    RunCommand("set_isomorphism 1 0");
}

TEST(StrategyStatsPass, ResultPassesCountAsTheWalkOnAFlopTree) {
    for (const char* isomorphism : {"set_isomorphism 1 1", "set_isomorphism 0 0"}) {
        RunCommand(isomorphism);
        CfrEngine& engine = BuildFlopSpot();
        Iterate(engine, 6);
        ExpectPassesCountAsTheWalk(engine, 0.03, isomorphism);
    }
    RunCommand("set_isomorphism 1 0");
}

TEST(StrategyStatsPass, ResultPassesCountLockedAndWrittenDecisionsAsTheWalk) {
    CfrEngine& engine = BuildFlopSpot();
    Iterate(engine, 4);
    // OOP always bets the flop and is locked there (IP's decisions after a check are
    // reached by nobody); OOP's decision on one turn is locked as it stands; OOP always
    // checks one river.
    ASSERT_EQ(RunCommand(PureStrategy("r:0", 0)), "set_strategy ok!\n");
    ASSERT_EQ(RunCommand("lock_node r:0"), "lock_node ok!\n");
    ASSERT_EQ(RunCommand("lock_node r:0:c:c:5c"), "lock_node ok!\n");
    ASSERT_EQ(RunCommand(PureStrategy("r:0:c:c:5c:c:c:8d", 1)), "set_strategy ok!\n");
    Iterate(engine, 3);
    ExpectPassesCountAsTheWalk(engine, 0.1, "locked");
}

TEST(StrategyStatsPass, FiguresDoNotDependOnTheThreadCount) {
    CfrEngine& engine = Counting(BuildSmallFlopSpot());
    Iterate(engine, 5);
    RunCommand("show_stats 0.02 OOP");
    RunCommand("set_threads 1");
    RunCommand("calc_results");
    const std::optional<StatsTallies> one[2] = {Kept(engine, 0, 1), Kept(engine, 0.02, 0)};
    RunCommand("set_threads 2");
    RunCommand("calc_results");
    const std::optional<StatsTallies> two[2] = {Kept(engine, 0, 1), Kept(engine, 0.02, 0)};
    for (int k = 0; k < 2; ++k) {
        ASSERT_TRUE(one[k].has_value() && two[k].has_value());
        EXPECT_TRUE(*one[k] == *two[k]) << "figure " << k;
    }
}

TEST(StrategyStatsPass, ARunLeavesCountsThatAnswerEveryThreshold) {
    CfrEngine& engine = Counting(BuildSmallFlopSpot());
    RunCommand("set_info_freq 100");
    RunCommand("go 2 steps block");
    EXPECT_TRUE(Kept(engine, 0, 0) && Kept(engine, 0, 1));
    const std::string at_zero = RunCommand("show_stats");
    for (const double epsilon : {0.0, 0.004, 0.05, 0.37})
        for (int p = 0; p < 2; ++p)
            ExpectSameTallies(*Kept(engine, epsilon, p), Walked(engine, epsilon, p),
                              "after a run, player " + std::to_string(p) + " at " +
                                  std::to_string(epsilon));
    EXPECT_EQ(RunCommand("show_stats"), at_zero);

    RunCommand("go 3 steps block");
    const StatsTallies counted = *Kept(engine, 0.05, 1);
    const std::string  answer  = RunCommand("show_stats 0.05 IP");
    ExpectSameTallies(counted, Walked(engine, 0.05, 1), "after a second run, IP at 0.05");
    EXPECT_EQ(RunCommand("show_stats 0.05 IP"), answer);
    EXPECT_NE(RunCommand("show_stats"), at_zero);
    RunCommand("set_info_freq 25");
}

TEST(StrategyStatsPass, AnEditAfterThePassesIsAnsweredByAWalk) {
    CfrEngine& engine = Counting(BuildSmallFlopSpot());
    RunCommand("set_info_freq 100");
    RunCommand("go 4 steps block");
    const std::string  counted = RunCommand("show_stats 0 OOP");
    const StatsTallies before  = *Kept(engine, 0, 0);

    // OOP bets everything at the first decision: the kept figures are stale.
    ASSERT_EQ(RunCommand(PureStrategy("r:0", 1)), "set_strategy ok!\n");
    ASSERT_EQ(RunCommand("lock_node r:0"), "lock_node ok!\n");
    EXPECT_FALSE(Kept(engine, 0, 0) || Kept(engine, 0, 1));
    const std::string edited = RunCommand("show_stats 0 OOP");
    EXPECT_NE(edited, counted);
    const StatsTallies walked = *Kept(engine, 0, 0);
    EXPECT_GT(walked[0].pure, before[0].pure) << "the first decision is pure now";
    ExpectSameTallies(walked, Walked(engine, 0, 0), "after the edit");

    // The next result passes count the edited strategies as the walk did.
    RunCommand("calc_results");
    ExpectSameTallies(*Kept(engine, 0, 0), walked, "result passes after the edit");
    EXPECT_EQ(RunCommand("show_stats 0 OOP"), edited);
    RunCommand("set_info_freq 25");
}

TEST(StrategyStatsPass, PassesOfATreeBelowTheStorageFloorLeaveTheCountsToAWalk) {
    CfrEngine&     engine  = BuildSmallFlopSpot();
    const uint64_t storage = engine.Tree().StorageTotal();
    ASSERT_LT(storage, CfrEngine::kStatsCountingFloor);
    Iterate(engine, 4);
    RunCommand("calc_results");
    EXPECT_FALSE(Kept(engine, 0, 0) || Kept(engine, 0, 1)) << "the default floor";
    const std::string walked = RunCommand("show_stats 0.05");
    EXPECT_TRUE(Kept(engine, 0.05, 0) && Kept(engine, 0.05, 1)) << "the walk keeps its counts";

    Iterate(engine, 1);  // new strategies: the walked counts are stale
    engine.SetStatsCountingFloor(storage + 1);
    RunCommand("calc_results");
    EXPECT_FALSE(Kept(engine, 0, 0) || Kept(engine, 0, 1)) << "one byte short of the floor";
    engine.SetStatsCountingFloor(storage);
    RunCommand("calc_results");
    ASSERT_TRUE(Kept(engine, 0, 0) && Kept(engine, 0, 1)) << "at the floor";
    const std::string counted = RunCommand("show_stats 0.05");
    EXPECT_NE(counted, walked) << "the strategies of one more iteration";
    for (int p = 0; p < 2; ++p)
        ExpectSameTallies(*Kept(engine, 0.05, p), Walked(engine, 0.05, p), "at the floor");
}
