// Node locking through the protocol and the written strategies in the storage layer: a
// locked node keeps its strategy while the opponent learns to exploit it, combo locks fix
// only their combos, locks apply to one runout, and written strategies survive a save.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "query_test_support.h"
#include "solver/regret_storage.h"

namespace {

using namespace query_test;

const std::vector<std::string> kBoard = {"Ks", "Th", "7h", "4d", "2c"};

// A river spot with narrow random ranges: OOP bets 60 or checks; IP calls, raises or folds.
void BuildRiverSpot(unsigned seed) {
    std::mt19937 rng(seed);
    BuildSpot({"set_board Ks Th 7h 4d 2c", RangeCommand("OOP", RandomCombos(rng, 20, kBoard)),
               RangeCommand("IP", RandomCombos(rng, 20, kBoard)), "set_pot 0 0 100",
               "add_line 0 0", "add_line 0 60 60", "add_line 60 60", "add_line 60 180 180"});
}

// 1326 copies of 'value' after the command's leading words.
std::string Repeated(const std::string& command, const std::string& value) {
    std::string text = command;
    for (int i = 0; i < 1326; ++i)
        text += " " + value;
    return text;
}

// The first OOP combo BuildRiverSpot(seed) puts in the range.
int FirstOopCombo(unsigned seed) {
    std::mt19937 rng(seed);
    return HandIndex(RandomCombos(rng, 20, kBoard)[0].first);
}

std::string FlagsOf(const std::string& path) {
    for (const std::string& line : Lines(RunCommand("show_node " + path)))
        if (line.rfind("flags:", 0) == 0)
            return line;
    return "";
}

}  // namespace

TEST(QueryLocks, LockedStrategyStaysWhileTheOpponentExploitsIt) {
    BuildRiverSpot(41);
    Iterate(*State().solver.engine, 150);
    RunCommand("calc_results");
    const double equilibrium_ip = Variable("solver_ev_ip");
    EXPECT_LT(Variable("solver_exploitability"), 2.0);

    // The same spot with OOP made to bet every hand.
    BuildRiverSpot(41);
    const std::string bet_always = Repeated("set_strategy r:0", "1") + Repeated("", "0");
    EXPECT_EQ(RunCommand(bet_always), "set_strategy ok!\n");
    EXPECT_EQ(RunCommand("lock_node r:0"), "lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: LOCKED");
    const std::string locked   = RunCommand("show_strategy r:0");
    const std::string ip_first = RunCommand("show_strategy r:0:b60");
    EXPECT_EQ(ValueLines(locked)[0][FirstOopCombo(41)], 1.0);
    Iterate(*State().solver.engine, 150);
    EXPECT_EQ(RunCommand("show_strategy r:0"), locked);
    EXPECT_NE(RunCommand("show_strategy r:0:b60"), ip_first);
    RunCommand("calc_results");
    EXPECT_GT(Variable("solver_ev_ip"), equilibrium_ip + 1.0);
    // IP's best response gains little over what IP now plays: it found the exploit.
    EXPECT_LT(Variable("solver_mes_ip") - Variable("solver_ev_ip"), 1.0);
}

TEST(QueryLocks, ComboLockFixesOnlyItsCombos) {
    std::mt19937  rng(43);
    const Weights oop = RandomCombos(rng, 20, kBoard);
    BuildSpot({"set_board Ks Th 7h 4d 2c", RangeCommand("OOP", oop),
               RangeCommand("IP", RandomCombos(rng, 20, kBoard)), "set_pot 0 0 100",
               "add_line 0 0", "add_line 0 60 60", "add_line 60 60", "add_line 60 180 180"});
    Iterate(*State().solver.engine, 5);
    const int fixed = HandIndex(oop[0].first), free = HandIndex(oop[1].first);
    std::vector<std::string> weights(1326, "0");
    weights[fixed] = "1";
    std::string command = "combo_lock_node r:0";
    for (const std::string& w : weights)
        command += " " + w;
    EXPECT_EQ(RunCommand(command), "combo_lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: COMBO_LOCKED");
    const auto lock_line = Lines(RunCommand("show_locked_combos r:0"));
    ASSERT_EQ(lock_line.size(), 1u);  // no END
    const auto lock_values = Numbers(lock_line[0]);
    EXPECT_EQ(lock_values[fixed], 1.0);
    EXPECT_EQ(lock_values[free], 0.0);
    EXPECT_TRUE(std::isnan(lock_values[HandIndex("KsKd")]));

    const auto before = ValueLines(RunCommand("show_strategy r:0"));
    Iterate(*State().solver.engine, 60);
    const auto after = ValueLines(RunCommand("show_strategy r:0"));
    EXPECT_EQ(after[0][fixed], before[0][fixed]);
    EXPECT_EQ(after[1][fixed], before[1][fixed]);
    EXPECT_NE(after[0][free], before[0][free]);

    EXPECT_EQ(RunCommand("lock_node r:0"), "lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: LOCKED");
    EXPECT_EQ(Numbers(RunCommand("show_locked_combos r:0"))[free], 1.0);
    EXPECT_EQ(RunCommand(command), "combo_lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: COMBO_LOCKED");
    EXPECT_EQ(RunCommand("unlock_node r:0"), "unlock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: ");
    EXPECT_EQ(RunCommand("unlock_node r:0"), "unlock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: ");
}

TEST(QueryLocks, WrittenStrategyIsReportedAndChildIndicesAreChecked) {
    BuildRiverSpot(47);
    Iterate(*State().solver.engine, 3);
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0 1", "0.25")), "set_strategy ok!\n");
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0 0", "0.75")), "set_strategy ok!\n");
    const auto rows = ValueLines(RunCommand("show_strategy r:0"));
    const int  combo = FirstOopCombo(47);
    EXPECT_EQ(rows[0][combo], 0.75);
    EXPECT_EQ(rows[1][combo], 0.25);
    EXPECT_EQ(rows[0][HandIndex("KsKd")], 0.0);  // on the board: not in any runout
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0 2", "0")),
              "ERROR: set_strategy invalid child index\n");
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0 -1", "0")),
              "ERROR: set_strategy invalid child index\n");
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0", "0")),
              "ERROR: set_strategy incorrect or missing argument\n");
    EXPECT_EQ(RunCommand("set_strategy r:0"),
              "ERROR: set_strategy incorrect or missing argument\n");
    EXPECT_EQ(RunCommand(Repeated("set_strategy r:0:c:c 0", "0")),
              "ERROR: set_strategy incorrect path\n");
    EXPECT_EQ(RunCommand("lock_node r:0:b60:f"), "ERROR: lock_node incorrect path\n");
    EXPECT_EQ(RunCommand("show_locked_combos r"), "ERROR: show_locked_combos incorrect path\n");
}

TEST(QueryLocks, RiverLocksOfATurnTreeApplyToTheNamedCard) {
    std::mt19937 rng(53);
    const std::vector<std::string> board = {"Ks", "Th", "7h", "4d"};
    BuildSpot({"set_board Ks Th 7h 4d", RangeCommand("OOP", RandomCombos(rng, 10, board)),
               RangeCommand("IP", RandomCombos(rng, 10, board)), "set_pot 0 0 60",
               "add_line 0 0 0 0", "add_line 0 0 30 30"});
    EXPECT_EQ(RunCommand("lock_node r:0:c:c:Ac"), "lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0:c:c:Ac"), "flags: LOCKED");
    EXPECT_EQ(FlagsOf("r:0:c:c:Ad"), "flags: ");
    EXPECT_EQ(FlagsOf("r:0"), "flags: ");
    const std::string locked = RunCommand("show_strategy r:0:c:c:Ac");
    const std::string open   = RunCommand("show_strategy r:0:c:c:Ad");
    Iterate(*State().solver.engine, 30);
    EXPECT_EQ(RunCommand("show_strategy r:0:c:c:Ac"), locked);
    EXPECT_NE(RunCommand("show_strategy r:0:c:c:Ad"), open);
    EXPECT_EQ(RunCommand("lock_node r:0:c:c"), "ERROR: lock_node incorrect path\n");
    EXPECT_EQ(RunCommand("lock_node r:0:c:c:c"), "ERROR: lock_node incorrect path\n");
}

TEST(LockRecords, WrittenStrategyAppliesWhileFreshOrLockedAndIsSaved) {
    const RunoutLayout  layout{2, 40, 3};
    RunoutRegretStorage store(layout);
    const size_t        stride = layout.RowStride();
    std::vector<float>  written(2 * stride, 0.0f);
    for (int i = 0; i < 40; ++i) {
        written[i]          = 0.8f;
        written[stride + i] = 0.2f;
    }
    const SolverKernels& kernels = KernelsFor(SimdPath::kScalar);
    std::vector<float>   played(2 * stride);
    store.Locks().WriteStrategy(1, 2, written.data(), stride);
    store.SeedStrategy(1, written.data(), stride);
    store.PlayedStrategy(1, kernels, played.data(), stride);
    EXPECT_EQ(played[5], 0.8f);  // fresh: exactly as written
    store.CurrentStrategy(1, kernels, played.data(), stride);
    EXPECT_NEAR(played[5], 0.8f, 1e-3);  // the seeded regrets give it back, rounded

    // A combo lock keeps the written strategy for its combos once the slot is updated.
    std::vector<float> weights(40, 0.0f);
    weights[3] = 1.0f;
    store.Locks().ComboLock(1, weights);
    std::vector<float>  win(40, 5.0f), lose(40, -5.0f), node(40, 0.0f);
    const float*        values[] = {lose.data(), win.data()};
    store.UpdateRegrets(1, kernels, values, node.data(), {.scale = 64.0, .iteration = 1});
    store.PlayedStrategy(1, kernels, played.data(), stride);
    EXPECT_EQ(played[3], 0.8f);
    EXPECT_LT(played[4], 0.8f);

    StorageWriter out;
    store.Write(out);
    RunoutRegretStorage restored(layout);
    StorageReader       in(out.bytes());
    ASSERT_EQ(restored.Read(in), StorageStatus::kOk);
    EXPECT_TRUE(in.AtEnd());
    std::vector<float> again(2 * stride);
    restored.PlayedStrategy(1, kernels, again.data(), stride);
    EXPECT_EQ(again, played);
    EXPECT_TRUE(restored.Locks().HasWrittenStrategy(1));
    EXPECT_FALSE(restored.Locks().HasWrittenStrategy(0));

    // Unlocked, the first update drops it.
    store.Locks().Unlock(1);
    store.UpdateRegrets(1, kernels, values, node.data(), {.scale = 64.0, .iteration = 2});
    EXPECT_FALSE(store.Locks().HasWrittenStrategy(1));
}
