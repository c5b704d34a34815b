// Storage levels on a solved flop tree through the commands and the engine: levels
// whose stores hold the same numbers solve identically (low and fast: plain regrets, the
// same 8-bit averages, the same river-average schedule), the levels that round their
// numbers (medium, high, max) stay close, all in less memory; river averages follow the schedule of
// every seventh iteration; the early grouping makes equal-strength combos share their
// regrets; a level change on a present tree keeps the solution; the level constants
// reach the engine, and the automatic level never picks none.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "solver/compressed_regret_storage.h"

#include "cli/solver_state.h"
#include "engine_test_support.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"
#include "tree/storage_level.h"

namespace {

constexpr int kIterations = 12;  // with delay 2: past the first seven river averages

void BuildSmallFlop(const std::string& level) {
    InstallSolverHooks();
    RunCommand("set_isomorphism 1 0");
    RunCommand("enable_river_strategy 1");
    RunCommand("set_compression " + level);
    RunCommand("clear_lines");
    for (const std::string line :
         {"set_board Qs Jh 2h", "set_pot 0 0 40", "add_line 0 0 0 0 0 0",
          "add_line 0 0 0 0 20 20", "add_line 10 10 10 10 10 10", "add_line 10 10 20 20 40 40",
          "add_line 0 0 15 15 15 15"})
        ASSERT_EQ(RunCommand(line).find("ERROR"), std::string::npos) << line;
    RunCommand(ClassRangeCommand("OOP", {"AA", "KK", "AK", "A5s", "76s", "QJo", "T9s"}));
    RunCommand(ClassRangeCommand("IP", {"QQ", "JJ", "AQ", "KJs", "98s", "65s", "A4o"}));
    ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
}

CfrEngine& Engine() { return *State().solver.engine; }

// The configured level is process-wide: every test here gives it back, so that tests of
// other files running later in the same process build at the default level.
struct RestoreAutoLevel {
    ~RestoreAutoLevel() {
        RunCommand("free_tree");
        RunCommand("set_compression auto");
    }
};

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

TEST(StorageLevels, LosslessLevelsSolveAlikeRoundedOnesCloseInLessMemory) {
    RestoreAutoLevel restore;
    const Solved none = SolveAt("none");
    EXPECT_EQ(RunCommand("get_actual_compression"), "compression 0\n");
    const Solved low = SolveAt("low");
    std::map<std::string, uint64_t> bytes{{"none", none.river_bytes}, {"low", low.river_bytes}};
    std::map<std::string, Solved>   solved;
    for (const char* level : {"medium", "high", "max", "fast"}) {
        SCOPED_TRACE(level);
        solved[level] = SolveAt(level);
        bytes[level]  = solved[level].river_bytes;
        EXPECT_EQ(Engine().EarlyGrouping(), std::string(level) == "max" ? 30 : 0);
        EXPECT_EQ(Engine().IterationCap(), std::string(level) == "fast" ? 2200 : 9000);
    }
    // low and fast keep plain regrets and the same 8-bit averages: identical solves.
    EXPECT_EQ(solved["fast"].figures.ev_oop, low.figures.ev_oop);
    EXPECT_EQ(solved["fast"].figures.mes_oop, low.figures.mes_oop);
    EXPECT_EQ(solved["fast"].figures.mes_ip, low.figures.mes_ip);
    // medium, high and max round their regrets (and high and max their averages): they
    // solve differently, and after a few iterations land near the plain level's
    // exploitability, as the 8-bit averages of low do.
    for (const char* level : {"medium", "high", "max"}) {
        SCOPED_TRACE(level);
        EXPECT_NE(solved[level].figures.mes_oop, low.figures.mes_oop);
        EXPECT_NEAR(solved[level].figures.Exploitability(), none.figures.Exploitability(),
                    0.15 * none.figures.Exploitability());
    }
    EXPECT_NEAR(low.figures.Exploitability(), none.figures.Exploitability(),
                0.15 * none.figures.Exploitability());
    // Every level below none, the rounded ones far below low. This spot's slots
    // hold few combos (its ranges barely overlap, and each store keeps its actor's combos
    // only), so per-slot records and the arena's 16-byte units weigh more than on real
    // spots.
    EXPECT_LT(bytes["fast"], bytes["none"] * 0.8);
    EXPECT_LT(bytes["low"], bytes["none"] * 0.85);
    EXPECT_LT(bytes["medium"], bytes["low"] * 0.7);
    EXPECT_LT(bytes["high"], bytes["medium"]);
    // max's early grouping (its first 30 iterations) replaces rounded regrets by group
    // means that are not rounded: here it is compared with low only.
    EXPECT_LT(bytes["max"], bytes["low"] * 0.7);
}

namespace {

// Iterations until the small flop's exploitability is at most 'target' chips, checked
// every 10 iterations (at most 400).
int IterationsTo(const std::string& level, double target) {
    BuildSmallFlop(level);
    Engine().SetAveragingDelay(10);
    for (int done = 10; done <= 400; done += 10) {
        for (int i = 0; i < 10; ++i)
            Engine().Iterate(2);
        if (Engine().Evaluate(2).Exploitability() <= target)
            return done;
    }
    return 1000;
}

}  // namespace

// Rounded and 8-bit numbers cost iterations, not the target: every level gets to what
// none reaches (about 20 iterations here) within 1.3 times its iterations and one check.
TEST(StorageLevels, EveryLevelReachesTheTargetOfNoneInFewMoreIterations) {
    RestoreAutoLevel restore;
    const double target = 0.0005 * 40;  // 0.05 % of the pot
    const int    none   = IterationsTo("none", target);
    ASSERT_LT(none, 400);
    for (const char* level : {"low", "medium", "high", "max", "fast"}) {
        SCOPED_TRACE(level);
        EXPECT_LE(IterationsTo(level, target), none * 13 / 10 + 10);
    }
}

namespace {

std::vector<std::vector<uint8_t>> SavedStores(int street, bool averages) {
    std::vector<std::vector<uint8_t>> saved;
    const BuiltTree&                  tree = *State().tree.Tree();
    for (uint32_t i = 0; i < tree.Size(); ++i)
        if (StrategyStore* store = averages ? Engine().AverageStore(i) : Engine().RegretStore(i);
            store && tree.Node(i).street == street) {
            StorageWriter out;
            store->Write(out);
            saved.push_back(out.bytes());
        }
    return saved;
}

}  // namespace

TEST(StorageLevels, RiverAveragesFollowTheSevenIterationRhythm) {
    RestoreAutoLevel restore;
    for (const char* level : {"none", "low", "fast"}) {
        SCOPED_TRACE(level);
        BuildSmallFlop(level);
        Engine().SetAveragingDelay(0);
        for (int i = 0; i < 9; ++i)  // t = 0 .. 8: t = 8 is the first of every seventh
            Engine().Iterate(2);
        const auto river = SavedStores(3, true), turn = SavedStores(2, true);
        ASSERT_FALSE(river.empty());
        Engine().Iterate(2);  // t = 9
        EXPECT_NE(SavedStores(2, true), turn);
        const bool scheduled = std::string(level) != "none";
        EXPECT_EQ(SavedStores(3, true) == river, scheduled);
        for (int i = 0; i < 5; ++i)  // t = 10 .. 14: none of them add
            Engine().Iterate(2);
        EXPECT_EQ(SavedStores(3, true) == river, scheduled);
        Engine().Iterate(2);  // t = 15 adds
        EXPECT_NE(SavedStores(3, true), river);
    }
}

TEST(StorageLevels, EarlyGroupingSharesRegretsAmongEqualStrengthCombos) {
    RestoreAutoLevel restore;
    for (const char* level : {"max", "high"}) {
        SCOPED_TRACE(level);
        BuildSmallFlop(level);
        for (int i = 0; i < 4; ++i)
            Engine().Iterate(2);
        const RunoutLists& runouts = Engine().Runouts();
        const BuiltTree&   tree    = *State().tree.Tree();
        int                shared = 0, split = 0;
        for (uint32_t node = 0; node < tree.Size(); ++node) {
            auto* store = dynamic_cast<CompressedRegretStorage*>(Engine().RegretStore(node));
            if (!store)
                continue;
            const RunoutLayout& layout = store->Layout();
            for (int t = 0; t < RunoutLists::kTurnSlotCount; ++t)
                for (int r = 0; r < RunoutLists::kRiverSlotCount; ++r) {
                    const int slot = runouts.RiverStorageSlot(t, r);
                    if (slot < 0)
                        continue;
                    const StrengthGroups& groups  = runouts.Strength(t, r);
                    const auto            regrets = store->SlotRegrets(slot);
                    const ComboSpan       span    = layout.Span(slot);
                    for (int g = 0; g < groups.GroupCount(); ++g) {
                        // The group's members the store keeps, as stored positions.
                        std::vector<int> kept;
                        for (int m = 0; m < groups.group_sizes[g]; ++m) {
                            const int position = groups.order[groups.group_starts[g] + m];
                            if (position >= span.first && position < span.End())
                                kept.push_back(position - span.first);
                        }
                        if (kept.size() < 2)
                            continue;
                        for (int a = 0; a < layout.actions; ++a) {
                            const uint16_t* row   = regrets.data() + a * layout.StoredStride();
                            const uint16_t  first = row[kept[0]];
                            bool            equal = true;
                            for (int k : kept)
                                equal &= row[k] == first;
                            (equal ? shared : split) += first != 0 || !equal;
                        }
                    }
                }
        }
        if (std::string(level) == "max") {
            EXPECT_GT(shared, 100);
            EXPECT_EQ(split, 0);
        } else {
            EXPECT_GT(split, 100);
        }
    }
}

TEST(StorageLevels, ChangingTheLevelOfASolvedTreeKeepsTheSolution) {
    RestoreAutoLevel restore;
    const Solved none = SolveAt("none");
    const int    at   = Engine().IterationCount();
    // Into max the river averages narrow to 8 bits: close. Between the packed levels and
    // back to none nothing more changes: exact.
    ResultFigures packed;
    for (const char* level : {"max", "low", "none"}) {
        SCOPED_TRACE(level);
        ASSERT_EQ(RunCommand(std::string("set_compression ") + level), "set_compression ok!\n");
        EXPECT_EQ(Engine().IterationCount(), at);
        Engine().InvalidateResults();
        const ResultFigures again = Engine().Evaluate(2);
        EXPECT_NEAR(again.mes_oop, none.figures.mes_oop, 1e-3 * std::fabs(none.figures.mes_oop));
        EXPECT_NEAR(again.mes_ip, none.figures.mes_ip, 1e-3 * std::fabs(none.figures.mes_ip));
        if (std::string(level) == "max") {
            packed = again;
        } else {
            EXPECT_EQ(again.mes_oop, packed.mes_oop);
            EXPECT_EQ(again.mes_ip, packed.mes_ip);
        }
    }
    EXPECT_EQ(RunCommand("get_actual_compression"), "compression 0\n");
}

TEST(StorageLevels, LevelsOnlyApplyToFlopTreesAndAutoNeverPicksNone) {
    RestoreAutoLevel restore;
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
