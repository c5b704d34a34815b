// The engine's speed settings change nothing but speed: evaluation modes, SIMD levels,
// the AVX-512 switch, the evaluation flag, NUMA and prefetch modes all give the same
// figures and strategies; and the batch counters see the batches the settings ask for.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cli/solver_state.h"
#include "engine_test_support.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"

namespace {

// Every setting these tests touch, back to the start-up values.
const std::vector<std::string> kDefaults = {
    "set_simd_level 16",    "set_eval_mode 3",   "set_eval_cap 72",
    "set_eval_flag alt1 0", "enable_avx512 1",   "enable_numa 0",
    "set_prefetch_mode 0",  "enable_perf_counters 0", "set_isomorphism 1 0"};

class SpeedSettings : public testing::Test {
protected:
    void SetUp() override { Apply(kDefaults); }
    void TearDown() override { Apply(kDefaults); }

    static void Apply(const std::vector<std::string>& commands) {
        for (const auto& line : commands)
            ASSERT_EQ(RunCommand(line).rfind("ERROR", 0), std::string::npos) << line;
    }
};

struct Outcome {
    ResultFigures      figures;
    std::vector<float> root_strategy;
    std::vector<float> river_strategy;
};

std::vector<std::string> RiverSpot() {
    std::mt19937 rng(17);
    return {"set_board Qs Jh 2h 8d 3c",
            RandomRangeCommand("OOP", 0.3, rng),
            RandomRangeCommand("IP", 0.3, rng),
            "set_pot 0 0 100",
            "add_line 0 0",
            "add_line 0 50 150",
            "add_line 50 150",
            "add_line 100"};
}

std::vector<std::string> TurnSpot() {
    std::mt19937 rng(23);
    return {"set_board Qs Jh 2h 8d",
            RandomRangeCommand("OOP", 0.03, rng),
            RandomRangeCommand("IP", 0.03, rng),
            "set_pot 0 0 60",
            "add_line 0 0 0 0",
            "add_line 0 0 30 30",
            "add_line 30 30 30 30"};
}

// Three all-in calls on the turn (the largest amount, 90, is the stack): showdowns that
// deal the river, evaluated per river card together.
std::vector<std::string> TurnAllInSpot() {
    std::mt19937 rng(29);
    return {"set_board Qs Jh 2h 8d",
            RandomRangeCommand("OOP", 0.03, rng),
            RandomRangeCommand("IP", 0.03, rng),
            "set_pot 0 0 60",
            "add_line 0 0 0 0",
            "add_line 30 30 30 30",
            "add_line 90 90",
            "add_line 0 90 90",
            "add_line 30 90 90"};
}

// A flop tree with suit-symmetric ranges: turn and river cards stand for their suit
// images, and every turn line reaches the river.
std::vector<std::string> FlopSpot() {
    return {"set_board Qs Jh 2h",
            "set_isomorphism 1 1",
            ClassRangeCommand("OOP", {"AA", "QQ", "JTs", "T9s", "A5s", "87o", "KQo"}),
            ClassRangeCommand("IP", {"KK", "22", "AQs", "98s", "QTo", "65s"}),
            "set_pot 0 0 40",
            "add_line 0 0 0 0 0 0",
            "add_line 0 0 0 0 20 20",
            "add_line 0 0 10 10 10 10",
            "add_line 0 0 10 10 30 30",
            "add_line 10 10 10 10 10 10",
            "add_line 10 10 30 30 30 30"};
}

// The first river decision node of the tree.
uint32_t FirstRiverDecision(const BuiltTree& tree) {
    for (uint32_t i = 0; i < tree.Size(); ++i)
        if (tree.Node(i).kind == kDecisionNode && tree.Node(i).street == 3)
            return i;
    return 0;
}

Outcome Solve(const std::vector<std::string>& spot, const std::vector<std::string>& settings,
              bool rake, int iterations, int threads = 2,
              int buffers_per_thread = CfrEngine::kBuffersPerThread) {
    for (const auto& line : settings)
        EXPECT_EQ(RunCommand(line).rfind("ERROR", 0), std::string::npos) << line;
    InstallSolverHooks();
    RunCommand("clear_lines");
    for (const auto& line : spot)
        EXPECT_EQ(RunCommand(line).rfind("ERROR", 0), std::string::npos) << line.substr(0, 60);
    EXPECT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
    CfrEngine& engine = *State().solver.engine;
    RunCommand(rake ? "set_rake 0.05 3" : "set_rake 0 0");
    engine.SetAveragingDelay(5);
    engine.SetBuffersPerThread(buffers_per_thread);
    for (int i = 0; i < iterations; ++i)
        engine.Iterate(threads);
    engine.InvalidateResults();
    Outcome outcome;
    outcome.figures       = engine.Evaluate(threads);
    outcome.root_strategy = engine.StrategyAt(0, -1, -1);
    const int base = engine.Tree().BaseStreet();
    outcome.river_strategy = engine.StrategyAt(FirstRiverDecision(engine.Tree()),
                                               base == 1 ? 1 /* 2d */ : -1,
                                               base == 3 ? -1 : 0 /* 2c */);
    return outcome;
}

void ExpectSameOutcome(const Outcome& got, const Outcome& want, double tolerance) {
    EXPECT_NEAR(got.figures.ev_oop, want.figures.ev_oop, tolerance);
    EXPECT_NEAR(got.figures.ev_ip, want.figures.ev_ip, tolerance);
    EXPECT_NEAR(got.figures.mes_oop, want.figures.mes_oop, tolerance);
    EXPECT_NEAR(got.figures.mes_ip, want.figures.mes_ip, tolerance);
    EXPECT_NEAR(got.figures.Exploitability(), want.figures.Exploitability(), tolerance);
    ASSERT_EQ(got.root_strategy.size(), want.root_strategy.size());
    ASSERT_EQ(got.river_strategy.size(), want.river_strategy.size());
    ASSERT_FALSE(want.river_strategy.empty());
    double worst = 0;
    for (size_t i = 0; i < got.root_strategy.size(); ++i)
        worst = std::max(worst, double(std::fabs(got.root_strategy[i] - want.root_strategy[i])));
    for (size_t i = 0; i < got.river_strategy.size(); ++i)
        worst = std::max(worst, double(std::fabs(got.river_strategy[i] - want.river_strategy[i])));
    EXPECT_LE(worst, 1e-3);
}

// Settings that must reproduce the direct sweep's answers (bit for bit in the sweep;
// the figures are compared to float tolerance).
const std::vector<std::vector<std::string>> kEquivalentSettings = {
    {"set_eval_mode 3"},
    {"set_eval_mode 1"},
    {"set_eval_mode 0"},
    {"set_eval_mode 3", "set_simd_level 1"},
    {"set_eval_mode 3", "set_simd_level 1", "set_eval_flag alt1 1"},
    {"set_eval_mode 2", "set_eval_flag alt1 1"},
    {"set_eval_mode 3", "set_simd_level 4"},
    {"set_eval_mode 3", "set_simd_level 8", "set_eval_cap 5"},
    {"set_eval_mode 3", "enable_numa fake", "set_prefetch_mode 1"},
    {"set_eval_mode 0", "enable_numa fake", "set_prefetch_mode 2"},
};

void ExpectAllSettingsAgree(const std::vector<std::string>& spot, bool rake, int iterations) {
    const Outcome direct = Solve(spot, {"set_eval_mode 2"}, rake, iterations);
    for (const auto& settings : kEquivalentSettings) {
        SCOPED_TRACE(testing::Message() << settings.front() << " " << settings.back());
        ExpectSameOutcome(Solve(spot, settings, rake, iterations), direct, 1e-4);
    }
}

}  // namespace

TEST_F(SpeedSettings, RiverAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(RiverSpot(), false, 44);
}

TEST_F(SpeedSettings, RakedRiverAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(RiverSpot(), true, 44);
}

TEST_F(SpeedSettings, TurnAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(TurnSpot(), false, 42);
}

TEST_F(SpeedSettings, RakedTurnAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(TurnSpot(), true, 12);
}

// Flop trees sweep each turn card's subtree with the river subtrees of all its lines
// grouped by river card when batching is always on, line by line otherwise.
TEST_F(SpeedSettings, FlopAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(FlopSpot(), false, 14);
    ExpectAllSettingsAgree(FlopSpot(), true, 8);
}

TEST_F(SpeedSettings, TurnAllInAnswersDoNotDependOnEvaluationSettings) {
    ExpectAllSettingsAgree(TurnAllInSpot(), false, 30);
    ExpectAllSettingsAgree(TurnAllInSpot(), true, 12);
}

// The all-in showdowns of one river card go as one batch (every river subtree of this tree
// has a single showdown, so wider batches come from the all-ins); the direct mode
// evaluates them one by one, uncounted.
TEST_F(SpeedSettings, TurnAllInShowdownsOfOneRiverCardShareABatch) {
    for (int mode : {3, 2}) {
        State().solver.batch_counters.Reset();
        Solve(TurnAllInSpot(), {"enable_perf_counters 1", "set_eval_mode " + std::to_string(mode)},
              false, 1);
        uint64_t wide = 0;
        for (int width = 2; width <= BatchCounters::kWidths; ++width)
            wide += State().solver.batch_counters.Batches(BatchCategory::kShowdown, width);
        if (mode == 3)
            EXPECT_GE(wide, 2u * 44u);  // at least 44 river cards, in each pass
        else
            EXPECT_EQ(wide, 0u);
    }
}

// Every river card of TurnSpot has two river subtrees, one with two showdown ends (after a
// checked turn) and one with one (after a called bet): batching puts the three ends of
// one card in one batch, in each pass and for every river card that is reached.
TEST_F(SpeedSettings, RiverSubtreesOfOneRiverCardShareTheirBatches) {
    State().solver.batch_counters.Reset();
    Solve(TurnSpot(), {"enable_perf_counters 1", "set_eval_mode 3"}, false, 1);
    const BatchCounters& counters = State().solver.batch_counters;
    EXPECT_GE(counters.Batches(BatchCategory::kShowdown, 3), 2u * 40u);
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 2), 0u);
    for (int width = 4; width <= BatchCounters::kWidths; ++width)
        EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, width), 0u) << width;
}

namespace {

// A river tree with 37 showdown ends: check-check, 18 bets of OOP and 18 bets of IP after
// a check, each answered by a call (showdown) or a fold.
std::vector<std::string> ManyShowdowns() {
    std::mt19937             rng(5);
    std::vector<std::string> spot = {"set_board Qs Jh 2h 8d 3c", RandomRangeCommand("OOP", 0.3, rng),
                                     RandomRangeCommand("IP", 0.3, rng), "set_pot 0 0 100",
                                     "add_line 0 0"};
    for (int k = 1; k <= 18; ++k) {
        spot.push_back("add_line " + std::to_string(10 * k));
        spot.push_back("add_line 0 " + std::to_string(10 * k));
    }
    return spot;
}

}  // namespace

// Threads share out the subgame tasks and the sums over dealt cards, never the terms of
// one sum: any number of them gives the same bits, also when they wait for task buffers
// (0 per thread: every task waits until the earlier ones are done), in the order of the
// pass or split over NUMA nodes by runout slot. River trees over the
// evaluation cap share out the subtrees below their first decisions, in groups whose ends
// are batched together.
TEST_F(SpeedSettings, FiguresDoNotDependOnTheThreadCount) {
    for (const auto& spot : {RiverSpot(), ManyShowdowns(), TurnSpot(), TurnAllInSpot(), FlopSpot()}) {
        const Outcome one = Solve(spot, {}, true, 12, 1);
        struct Run {
            int         threads, buffers;
            std::string numa;
        };
        const Run runs[] = {{2, CfrEngine::kBuffersPerThread, "enable_numa 0"},
                            {3, CfrEngine::kBuffersPerThread, "enable_numa 0"},
                            {3, 0, "enable_numa 0"},
                            {2, 0, "enable_numa fake"},
                            {3, 1, "enable_numa fake"}};
        for (const auto& [threads, buffers, numa] : runs) {
            SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(buffers) +
                         " buffers per thread, " + numa);
            const Outcome many = Solve(spot, {numa}, true, 12, threads, buffers);
            EXPECT_EQ(many.figures.ev_oop, one.figures.ev_oop);
            EXPECT_EQ(many.figures.ev_ip, one.figures.ev_ip);
            EXPECT_EQ(many.figures.mes_oop, one.figures.mes_oop);
            EXPECT_EQ(many.figures.mes_ip, one.figures.mes_ip);
            EXPECT_EQ(many.root_strategy, one.root_strategy);
            EXPECT_EQ(many.river_strategy, one.river_strategy);
        }
    }
}

// The AVX2 kernels divide through a coarser reciprocal estimate, so the strategies drift
// apart by float rounding only: the figures agree to a small fraction of a chip.
TEST_F(SpeedSettings, Avx2KernelsGiveTheSameFigures) {
    for (bool rake : {false, true}) {
        for (const auto& spot : {RiverSpot(), TurnSpot()}) {
            const Outcome wide   = Solve(spot, {"enable_avx512 1"}, rake, 20);
            const Outcome narrow = Solve(spot, {"enable_avx512 0"}, rake, 20);
            EXPECT_NEAR(narrow.figures.ev_oop, wide.figures.ev_oop, 2e-2);
            EXPECT_NEAR(narrow.figures.ev_ip, wide.figures.ev_ip, 2e-2);
            EXPECT_NEAR(narrow.figures.Exploitability(), wide.figures.Exploitability(), 2e-2);
        }
    }
}


namespace {

// Builds the spot and runs one result pass pair under the uniform first strategies, so
// that every terminal end is reached: two passes.
void EvaluateOnce(const std::vector<std::string>& settings, bool rake, int threads = 2) {
    State().solver.batch_counters.Reset();
    for (const auto& line : settings)
        EXPECT_EQ(RunCommand(line).rfind("ERROR", 0), std::string::npos) << line;
    InstallSolverHooks();
    RunCommand("clear_lines");
    for (const auto& line : ManyShowdowns())
        RunCommand(line);
    ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
    RunCommand(rake ? "set_rake 0.05 3" : "set_rake 0 0");
    ASSERT_EQ(State().solver.engine->Tree().ShowdownCount(), 37u);
    ASSERT_EQ(State().solver.engine->Tree().FoldCount(), 36u);
    State().solver.engine->Evaluate(threads);
}

}  // namespace

TEST_F(SpeedSettings, ThirtySevenShowdownsRunAsTwoBatchesOfSixteenAndOneOfFive) {
    EvaluateOnce({"set_eval_cap 4096", "enable_perf_counters 1"}, false);
    const BatchCounters& counters = State().solver.batch_counters;
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 16), 4u);
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 5), 2u);
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 1), 0u);
    EXPECT_EQ(counters.Batches(BatchCategory::kFold, 16), 4u);  // 36 = 16 + 16 + 4
    EXPECT_EQ(counters.Batches(BatchCategory::kFold, 4), 2u);

    const std::string report = RunCommand("show_perf_counters");
    const std::string head   = std::string("Batcheval usage: 100.00%\n \n") + "Showdown    \n" +
                             "Width       " + "       5" + "      16\n";
    EXPECT_EQ(report.rfind(head, 0), 0u) << report;
    const std::string histogram = std::string("\nShowdown    ") + "    0.0%" + "    0.0%" +
                                  "    0.0%" + "    0.0%" + "   33.3%" + "    0.0%";
    EXPECT_NE(report.find(histogram), std::string::npos) << report;
    EXPECT_NE(report.find("   66.7%\nWWOSD       "), std::string::npos) << report;
    EXPECT_EQ(report.substr(report.size() - 4), "END\n");
}

TEST_F(SpeedSettings, RakeLimitsShowdownBatchesToFourLanes) {
    EvaluateOnce({"set_eval_cap 4096", "enable_perf_counters 1"}, true);
    const BatchCounters& counters = State().solver.batch_counters;
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 4), 2u * 9u);  // 37 = 9 x 4 + 1
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 1), 2u);
    EXPECT_EQ(counters.Batches(BatchCategory::kFold, 16), 4u);  // folds keep 16 lanes
}

TEST_F(SpeedSettings, SimdLevelAndCapShapeTheBatches) {
    EvaluateOnce({"set_eval_cap 4096", "enable_perf_counters 1", "set_simd_level 8"}, false);
    EXPECT_EQ(State().solver.batch_counters.Batches(BatchCategory::kShowdown, 8), 2u * 4u);
    EXPECT_EQ(State().solver.batch_counters.Batches(BatchCategory::kShowdown, 5), 2u);
    // The default cap (72) is below the tree's 73 ends: one thread sweeps the root
    // directly, and the subtrees below it in sets of at most 72 ends, each set's ends
    // batched together: the 18 bets (a showdown and a fold each), then the check (19
    // showdowns, 18 folds).
    EvaluateOnce({"set_eval_cap 72", "set_simd_level 16", "enable_perf_counters 1"}, false, 1);
    const BatchCounters& counters = State().solver.batch_counters;
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 16), 2u * 2u);
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 2), 2u);
    EXPECT_EQ(counters.Batches(BatchCategory::kShowdown, 3), 2u);
    EXPECT_EQ(counters.Batches(BatchCategory::kFold, 2), 2u * 2u);
}

// A team deals the subtrees below the first decisions of a river tree over the cap to its
// threads, and each thread batches the ends of its share together: every end is evaluated
// once per pass, and each share (18 or 19 showdowns) fills a batch.
TEST_F(SpeedSettings, TeamsBatchTheEndsOfTheirShareOfARiverTree) {
    EvaluateOnce({"enable_perf_counters 1"}, false, 2);
    const BatchCounters& counters = State().solver.batch_counters;
    uint64_t             lanes[2] = {};
    for (int width = 1; width <= BatchCounters::kWidths; ++width) {
        lanes[0] += width * counters.Batches(BatchCategory::kShowdown, width);
        lanes[1] += width * counters.Batches(BatchCategory::kFold, width);
    }
    EXPECT_EQ(lanes[0], 2u * 37u);
    EXPECT_EQ(lanes[1], 2u * 36u);
    EXPECT_GE(counters.Batches(BatchCategory::kShowdown, 16), 2u);
}

TEST_F(SpeedSettings, CountersStayStillWhileDisabledAndDirectModeNeverBatches) {
    EvaluateOnce({"set_eval_cap 4096"}, false);
    EXPECT_EQ(State().solver.batch_counters.Batches(BatchCategory::kShowdown, 16), 0u);
    EvaluateOnce({"set_eval_cap 4096", "enable_perf_counters 1", "set_eval_mode 2"}, false);
    for (int width = 1; width <= BatchCounters::kWidths; ++width)
        EXPECT_EQ(State().solver.batch_counters.Batches(BatchCategory::kShowdown, width), 0u) << width;
    EXPECT_EQ(RunCommand("show_perf_counters").rfind("Batcheval usage: 0.00%\n", 0), 0u);
}
