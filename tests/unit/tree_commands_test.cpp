// The tree commands through the dispatcher, checking state that no command prints: rake,
// expected-value boosts, the copied ranges, the tree object kept by a failed build, and the
// hooks the solver installs.
#include <gtest/gtest.h>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"

namespace {

std::string Command(const std::string& line) {
    ExecuteCommand(SplitCommandLine(line));
    return State().output.Take();
}

std::string RangeCommand(const char* player, const char* weight) {
    std::string line = std::string("set_range ") + player;
    for (int i = 0; i < 1326; ++i)
        line += std::string(" ") + weight;
    return line;
}

class TreeCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Command("free_tree");
        Command("clear_lines");
        State().tree.params.pot_changed = nullptr;
        State().tree.solve_all_splits   = nullptr;
        Command("set_board Qs Jh 2h");
        Command(RangeCommand("OOP", "1"));
        Command(RangeCommand("IP", "1"));
        Command("set_pot 0 0 60");
        Command("add_line 0 10 10");
        ASSERT_EQ(Command("build_tree"), "build_tree ok!\n");
    }
    TreeState& Trees() { return State().tree; }
};

TEST_F(TreeCommandsTest, RakeIsEnabledOnlyWithBothValuesAndResetByABuild) {
    EXPECT_EQ(Command("set_rake 0.05 0"), "set_rake ok!\n");
    EXPECT_FLOAT_EQ(Trees().params.rake_fraction, 0.05f);
    EXPECT_FALSE(Trees().params.rake_enabled);
    Command("set_rake 0.05 3");
    EXPECT_TRUE(Trees().params.rake_enabled);
    EXPECT_FLOAT_EQ(Trees().params.rake_cap, 3);
    Command("build_tree");
    EXPECT_EQ(Trees().params.rake_fraction, 0);
    EXPECT_EQ(Trees().params.rake_cap, 0);
    EXPECT_FALSE(Trees().params.rake_enabled);
}

TEST_F(TreeCommandsTest, EvBoostLandsOnTheBuiltNodeAndABuildClearsIt) {
    EXPECT_EQ(Command("set_ev_boost r:0:c -0.99"), "set_ev_boost ok!\n");
    const SchematicNode* check = Trees().params.root->Child(0);
    EXPECT_FLOAT_EQ(Trees().Tree()->Node(check->built_index).ev_boost, -0.99f);
    EXPECT_EQ(Trees().Tree()->Node(0).ev_boost, 0);
    Command("build_tree");
    EXPECT_EQ(Trees().Tree()->Node(check->built_index).ev_boost, 0);
}

TEST_F(TreeCommandsTest, NodesAddedAfterTheBuildTakeNoBoost) {
    Command("add_line 0 0 0 5");
    EXPECT_EQ(Command("set_ev_boost r:0:c:c 0.5"),
              "ERROR: set_ev_boost incorrect or missing argument\n");
}

TEST_F(TreeCommandsTest, FailedBuildKeepsTheTreeObjectRakeAndStack) {
    Command("set_rake 0.1 2");
    BuiltTree* before = Trees().Tree();
    Command("add_line 0 0 0 0 0 0 500");
    EXPECT_EQ(Command("build_tree"), "ERROR: build_tree invalid line\n");
    EXPECT_EQ(Trees().Tree(), before);
    EXPECT_EQ(Trees().params.effective_stack, 10);
    EXPECT_FLOAT_EQ(Trees().params.rake_fraction, 0.1f);
    EXPECT_EQ(Trees().params.root->Child(0)->built_index, 1);
}

TEST_F(TreeCommandsTest, BoardCardsBelowTheLowestRankAreRefused) {
    BuiltTree* before                  = Trees().Tree();
    State().cards.rules.low_card       = 4;  // six: the 2h of the flop is out of the deck
    std::string reply                  = Command("build_tree");
    State().cards.rules.low_card       = 0;
    EXPECT_EQ(reply, "ERROR: build_tree invalid card\n");
    EXPECT_EQ(Trees().Tree(), before);
}

TEST_F(TreeCommandsTest, InconsistentRangesUnderIsomorphismKeepThePreviousTree) {
    BuiltTree*  before = Trees().Tree();
    std::string line   = RangeCommand("IP", "1");
    line.replace(line.size() - 1, 1, "0.5");  // AsAh, the last combo in hand order
    Command(line);
    std::string reply = Command("build_tree");
    EXPECT_EQ(reply.rfind("ERROR: build_tree inconsistent range: IP", 0), 0u) << reply;
    EXPECT_EQ(Trees().Tree(), before);
    State().cards.SetIsomorphism(/*flop=*/false, /*turn=*/false);
    EXPECT_EQ(Command("build_tree"), "build_tree ok!\n");
    EXPECT_FALSE(Trees().Tree()->flags & kIsomorphismOn);
    State().cards.SetIsomorphism(/*flop=*/true, /*turn=*/false);
}

TEST_F(TreeCommandsTest, TheTreeKeepsItsOwnCopyOfBoardAndRanges) {
    Command(RangeCommand("IP", "0.5"));
    Command("set_board Ks Kh 2c");
    EXPECT_EQ(Trees().Tree()->Range(1)[0], 1);
    EXPECT_NE(Trees().Tree()->Board().flop, State().cards.board.flop);
    Command("build_tree");
    EXPECT_EQ(Trees().Tree()->Range(1)[0], 0.5);
    EXPECT_EQ(Trees().Tree()->Board().flop, State().cards.board.flop);
}

TEST_F(TreeCommandsTest, TheNodeArrayMatchesTheRecordsAndIsContiguous) {
    const BuiltTree& tree = *Trees().Tree();
    ASSERT_EQ(tree.Size(), 6u);  // root, check, bet, call, fold, check behind
    EXPECT_EQ(tree.DecisionCount(), 3u);
    EXPECT_EQ(tree.ShowdownCount(), 2u);
    EXPECT_EQ(tree.FoldCount(), 1u);
    for (uint32_t i = 0; i < tree.Size(); ++i)
        EXPECT_EQ(&tree.Node(i), tree.Nodes().data() + i);
    EXPECT_TRUE(tree.flags & kNewTree);
    EXPECT_TRUE(tree.flags & kIsomorphismOn);
    EXPECT_EQ(tree.first_forgotten_street, -1);
}

TEST_F(TreeCommandsTest, ForgetAndRebuildSetTheFlagsTheSolverReads) {
    EXPECT_EQ(Command("forget rivers"), "forget ok!\n");
    EXPECT_TRUE(Trees().Tree()->flags & kIncompleteTree);
    EXPECT_FALSE(Trees().Tree()->flags & kNewTree);
    EXPECT_EQ(Trees().Tree()->first_forgotten_street, kRiver);
    EXPECT_EQ(Command("show_node r"), "r\nROOT\n2h Jh Qs\n0 0 60\n1 children\n"
                                  "flags: INCOMPLETE_TREE ISOMORPHISM_ON\nEND\n");
    EXPECT_EQ(Command("rebuild_forgotten_streets"), "rebuild_forgotten_streets ok!\n");
    EXPECT_FALSE(Trees().Tree()->flags & kIncompleteTree);
    EXPECT_EQ(Command("forget flops"), "ERROR: forget incorrect or missing argument\n");
}

TEST_F(TreeCommandsTest, SolverHooksAreCalled) {
    Trees().params.pot_changed = [](double pot) { return AccuracyForms{pot / 100, 0.01}; };
    State().interp.verbosity   = 1;
    EXPECT_EQ(Command("set_pot 0 0 200"), "[accuracy 2 (0.01 fraction)]\nset_pot ok!\n");
    State().interp.verbosity = 0;
    int street               = 0;
    Trees().solve_all_splits = [&](int s) { street = s; };
    EXPECT_EQ(Command("solve_all_splits turns"), "solve_all_splits ok!\n");
    EXPECT_EQ(street, kTurn);
    EXPECT_EQ(Command("solve_all_splits flops"),
              "ERROR: solve_all_splits incorrect or missing argument\n");
}

TEST_F(TreeCommandsTest, FreeTreeDropsTheTreeButKeepsLinesAndPot) {
    Trees().values_unavailable = true;
    EXPECT_EQ(Command("free_tree"), "free_tree ok!\n");
    EXPECT_EQ(Trees().built, nullptr);
    EXPECT_FALSE(Trees().present);
    EXPECT_FALSE(Trees().values_unavailable);
    EXPECT_FALSE(Trees().params.root->IsEnd());
    EXPECT_EQ(Trees().params.StartingPot(), 60);
}

}  // namespace
