// Storage levels on a solved flop tree through the commands: the lossless compressed
// levels solve exactly as level none, the fast level closely, all in less memory; a level
// change on a present tree keeps the solution; the level constants reach the engine, and
// the automatic level never picks none.
#include <gtest/gtest.h>

#include <map>

#include "cli/solver_state.h"
#include "engine_test_support.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"
#include "tree/storage_level.h"

namespace {

constexpr int kIterations = 6;

void BuildSmallFlop(const std::string& level) {
    InstallSolverHooks();
    RunCommand("set_isomorphism 1 0");
    RunCommand("enable_river_strategy 1");
    RunCommand("set_compression " + level);
    RunCommand("clear_lines");
    for (const std::string line :
         {"set_board Qs Jh 2h", "set_pot 0 0 40", "add_line 0 0 0 0 0 0",
          "add_line 0 0 0 0 20 20", "add_line 10 10 0 0 0 0", "add_line 10 10 20 20 40 40",
          "add_line 0 0 15 15 0 0"})
        RunCommand(line);
    RunCommand(ClassRangeCommand("OOP", {"AA", "KK", "AK", "A5s", "76s", "QJo", "T9s"}));
    RunCommand(ClassRangeCommand("IP", {"QQ", "JJ", "AQ", "KJs", "98s", "65s", "A4o"}));
    ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
}

CfrEngine& Engine() { return *State().solver.engine; }

uint64_t StorageBytes(int street) {
    uint64_t         bytes = 0;
    const BuiltTree& tree  = *State().tree.Tree();
    for (const BuiltNode& node : tree.Nodes())
        if (node.IsDecision() && node.street == street)
            for (const NodeStorage* s : {node.strategy.get(), node.second.get()})
                bytes += s ? s->SizeBytes() : 0;
    return bytes;
}

struct Solved {
    ResultFigures figures;
    uint64_t      river_bytes = 0;
};

Solved SolveAt(const std::string& level) {
    BuildSmallFlop(level);
    Engine().SetAveragingDelay(2);
    for (int i = 0; i < kIterations; ++i)
        Engine().Iterate(2);
    return {Engine().Evaluate(2), StorageBytes(3)};
}

}  // namespace

TEST(StorageLevels, CompressedLevelsSolveExactlyAsNoneInLessMemory) {
    const Solved none = SolveAt("none");
    EXPECT_EQ(RunCommand("get_actual_compression"), "compression 0\n");
    std::map<std::string, uint64_t> bytes;
    for (const char* level : {"low", "medium", "high", "max"}) {
        SCOPED_TRACE(level);
        const Solved packed = SolveAt(level);
        EXPECT_EQ(packed.figures.ev_oop, none.figures.ev_oop);
        EXPECT_EQ(packed.figures.mes_oop, none.figures.mes_oop);
        EXPECT_EQ(packed.figures.mes_ip, none.figures.mes_ip);
        // low packs the averages only; the others the regrets too. (This spot's slots hold
        // few combos, so per-slot records weigh more than on real spots.)
        const double bound = std::string(level) == "low" ? 0.85 : 0.65;
        EXPECT_LT(packed.river_bytes, none.river_bytes * bound);
        bytes[level] = packed.river_bytes;
        EXPECT_EQ(Engine().EarlyGrouping(), std::string(level) == "max" ? 30 : 0);
        EXPECT_EQ(Engine().IterationCap(), 9000);
    }
    EXPECT_LT(bytes["max"], bytes["medium"]);

    const Solved fast = SolveAt("fast");
    EXPECT_NEAR(fast.figures.Exploitability(), none.figures.Exploitability(),
                0.02 * none.figures.Exploitability());
    EXPECT_LT(fast.river_bytes, none.river_bytes * 0.8);
    EXPECT_EQ(Engine().IterationCap(), 2200);
    EXPECT_EQ(Engine().EarlyGrouping(), 0);
}

TEST(StorageLevels, ChangingTheLevelOfASolvedTreeKeepsTheSolution) {
    const Solved none = SolveAt("none");
    const int    at   = Engine().IterationCount();
    for (const char* level : {"max", "low", "none"}) {
        SCOPED_TRACE(level);
        ASSERT_EQ(RunCommand(std::string("set_compression ") + level), "set_compression ok!\n");
        EXPECT_EQ(Engine().IterationCount(), at);
        Engine().InvalidateResults();
        const ResultFigures again = Engine().Evaluate(2);
        EXPECT_EQ(again.mes_oop, none.figures.mes_oop);
        EXPECT_EQ(again.mes_ip, none.figures.mes_ip);
    }
    EXPECT_EQ(RunCommand("get_actual_compression"), "compression 0\n");
}

TEST(StorageLevels, LevelsOnlyApplyToFlopTreesAndAutoNeverPicksNone) {
    BuildSmallFlop("auto");
    EXPECT_NE(State().tree.actual_level, 0);
    RunCommand("set_compression max");
    RunCommand("set_board Qs Jh 2h 8d 3c");
    RunCommand("clear_lines");
    RunCommand("add_line 0 0");
    RunCommand("add_line 10 10");
    ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
    EXPECT_EQ(RunCommand("get_actual_compression"), "compression 4\n");
    // A river tree keeps the pair (0, 0): plain stores and the default constants.
    EXPECT_EQ(Engine().EarlyGrouping(), 0);
    const BuiltTree& tree = *State().tree.Tree();
    for (uint32_t i = 0; i < tree.Size(); ++i)
        if (StrategyStore* regrets = Engine().RegretStore(i))
            EXPECT_EQ(regrets->Kind(), StoreKind::kRunoutRegrets) << "node " << i;
}
