// Tree files written by dump_tree and read by load_tree in the same process: everything
// the solver holds comes back bit for bit (stores with their locks, the tree header and
// the engine's state), the lines and settings are the file's, and solving continues as if
// the tree had never left memory. Older format versions leave out what they lack.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "cli/solver_state.h"
#include "engine_test_support.h"
#include "solver/node_stores.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"

namespace {

// Every node's saved stores and per-runout tables, for comparisons.
std::vector<std::vector<uint8_t>> SavedStores() {
    std::vector<std::vector<uint8_t>> saved;
    const BuiltTree&                  tree = *State().tree.Tree();
    for (uint32_t i = 0; i < tree.Size(); ++i)
        for (NodeStorage* storage : {tree.Node(i).strategy.get(), tree.Node(i).second.get()}) {
            StorageWriter out;
            if (storage)
                StoreOf(storage)->Write(out);
            saved.push_back(out.bytes());
        }
    return saved;
}

std::string Queries() {
    std::string out;
    for (const char* line : {"calc_results", "show_node r:0", "show_node r:0:c", "show_all_lines",
                             "show_tree_params", "show_effective_stack", "get_actual_compression",
                             "show_tree_info", "node_count"})
        out += RunCommand(line);
    return out;
}

class TreeFileRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        InstallSolverHooks();
        path_ = (std::filesystem::temp_directory_path() /
                 ("quillane_roundtrip_" + std::to_string(::getpid()) + ".tree"))
                    .string();
        RunCommand("set_compression auto");
        RunCommand("set_isomorphism 1 0");
        RunCommand("set_low_card 2");
        RunCommand("set_must_use_hole_cards 0");
        RunCommand("enable_ui_notifications 0");
        RunCommand("reset_tree_info");
    }
    void TearDown() override { std::remove(path_.c_str()); }

    void BuildTurnSpot() {
        std::mt19937 rng(21);
        RunCommand("clear_lines");
        for (const std::string& line :
             {std::string("set_board Qs Jh 2h 8d"), RandomRangeCommand("OOP", 0.15, rng),
              RandomRangeCommand("IP", 0.15, rng), std::string("set_pot 0 0 100"),
              std::string("add_line 0 0 0 0"), std::string("add_line 0 0 50 50"),
              std::string("add_line 50 50 50 50"), std::string("add_line 50 150 150 150 150"),
              std::string("add_line 0 0 100 300")})
            ASSERT_EQ(RunCommand(line).find("ERROR"), std::string::npos) << line.substr(0, 60);
        ASSERT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
    }

    CfrEngine& Engine() { return *State().solver.engine; }

    std::string path_;
};

}  // namespace

TEST_F(TreeFileRoundTrip, SolvedTurnTreeComesBackBitForBitAndContinuesTheSame) {
    BuildTurnSpot();
    RunCommand("set_rake 0.05 3");
    RunCommand("add_info_line solved_for_the_test");
    ASSERT_EQ(RunCommand("lock_node r:0:c"), "lock_node ok!\n");  // a lock with its strategy
    Engine().SetAveragingDelay(5);
    for (int i = 0; i < 12; ++i)
        Engine().Iterate(2);
    Engine().Evaluate(2);
    const auto        stores    = SavedStores();
    const std::string queries   = Queries();
    const auto        strategy  = Engine().StrategyAt(1, -1, -1);
    const int         iteration = Engine().IterationCount();
    ASSERT_EQ(RunCommand("dump_tree " + path_), "dump_tree ok!\n");

    // Continue the original for a few iterations.
    for (int i = 0; i < 4; ++i)
        Engine().Iterate(2);
    const ResultFigures continued = Engine().Evaluate(2);

    RunCommand("free_tree");
    RunCommand("clear_lines");
    RunCommand("set_board As Ks Kd");
    RunCommand("set_low_card 4");
    ASSERT_EQ(RunCommand("load_tree " + path_), "load_tree ok!\n");
    // The stores keep the acting player's combos only, fewer than the list's.
    const RunoutLayout& layout = Engine().RegretStore(0)->Layout();
    EXPECT_LT(layout.RowCombos(), layout.combos);
    EXPECT_EQ(SavedStores(), stores);
    EXPECT_EQ(Queries(), queries);
    EXPECT_EQ(Engine().StrategyAt(1, -1, -1), strategy);
    EXPECT_EQ(Engine().IterationCount(), iteration);
    EXPECT_EQ(State().cards.rules.low_card, 0);
    EXPECT_FLOAT_EQ(State().tree.params.rake_fraction, 0.05f);

    for (int i = 0; i < 4; ++i)
        Engine().Iterate(2);
    const ResultFigures resumed = Engine().Evaluate(2);
    EXPECT_EQ(resumed.ev_oop, continued.ev_oop);
    EXPECT_EQ(resumed.ev_ip, continued.ev_ip);
    EXPECT_EQ(resumed.mes_oop, continued.mes_oop);
    EXPECT_EQ(resumed.mes_ip, continued.mes_ip);
}
