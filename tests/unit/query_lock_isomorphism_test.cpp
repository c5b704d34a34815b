// Locks and written strategies on a tree whose later cards suit isomorphism merges: the
// solver takes the 5d turn as the 5c one with clubs and diamonds exchanged, which is only
// right while the decisions before it treat exchanged combos alike. An edit that tells
// them apart is refused and changes nothing; where no later card is merged through the
// exchange (the river, a turn that separates the suits, a tree built without
// isomorphism) the same edit is taken.
#include <gtest/gtest.h>

#include <cmath>

#include "query_test_support.h"

namespace {

using namespace query_test;

// Clubs and diamonds are alike on Qs Jh 2h (and still on a heart or spade turn).
CfrEngine& BuildFlopSpot(bool isomorphism) {
    RunCommand(isomorphism ? "set_isomorphism 1 1" : "set_isomorphism 0 0");
    CfrEngine& engine =
        BuildSpot({"set_board Qs Jh 2h", RangeCommand("OOP", AllCombosOf("AKQ5")),
                   RangeCommand("IP", AllCombosOf("AQJ9")), "set_pot 0 0 60",
                   "add_line 0 0 0 0 0 0", "add_line 0 0 0 0 30 30", "add_line 30 30 30 30 30 30"});
    RunCommand("set_isomorphism 1 1");
    return engine;
}

// 1326 values: 'value' for 'combo', 'others' elsewhere, after the command's words.
std::string WithOne(const std::string& command, const std::string& combo, const char* value,
                    const char* others) {
    std::string text  = command;
    const int   index = HandIndex(combo);
    for (int c = 0; c < 1326; ++c)
        text += std::string(" ") + (c == index ? value : others);
    return text;
}

std::string FlagsOf(const std::string& path) { return Lines(RunCommand("show_node " + path))[5]; }

void ExpectRefused(const std::string& answer, const std::string& command, const char* what) {
    EXPECT_EQ(answer.rfind("ERROR: " + command + " inconsistent " + what + ": ", 0), 0u) << answer;
    EXPECT_NE(answer.find("AcKc 1"), std::string::npos) << answer;
    EXPECT_NE(answer.find("AdKd 0"), std::string::npos) << answer;
    EXPECT_NE(answer.find("use 'set_isomorphism 0 0' if intended\n"), std::string::npos);
}

}  // namespace

TEST(QueryLockIsomorphism, EditsThatSeparateMergedSuitsAreRefusedAndChangeNothing) {
    CfrEngine& engine = BuildFlopSpot(true);
    ASSERT_TRUE(engine.Runouts().Isomorphic());
    Iterate(engine, 3);
    const std::string strategy = RunCommand("show_strategy r:0");

    ExpectRefused(RunCommand(WithOne("combo_lock_node r:0", "AcKc", "1", "0")),
                  "combo_lock_node", "lock");
    EXPECT_EQ(FlagsOf("r:0"), "flags: ");
    ExpectRefused(RunCommand(WithOne("set_strategy r:0 0", "AcKc", "1", "0")), "set_strategy",
                  "strategy");
    EXPECT_EQ(RunCommand("show_strategy r:0"), strategy);
    // A heart turn leaves clubs and diamonds alike for the river.
    ExpectRefused(RunCommand(WithOne("combo_lock_node r:0:c:c:5h", "AcKc", "1", "0")),
                  "combo_lock_node", "lock");
    EXPECT_EQ(FlagsOf("r:0:c:c:5h"), "flags: ");

    // Alike weights, a turn that separates the suits, and the river are taken.
    std::string both = WithOne("combo_lock_node r:0", "AcKc", "1", "0");
    both.replace(both.size() - 2 * (1326 - HandIndex("AdKd")) + 1, 1, "1");
    EXPECT_EQ(RunCommand(both), "combo_lock_node ok!\n");
    EXPECT_EQ(FlagsOf("r:0"), "flags: COMBO_LOCKED");
    EXPECT_EQ(RunCommand(WithOne("combo_lock_node r:0:c:c:5c", "AcKc", "1", "0")),
              "combo_lock_node ok!\n");
    EXPECT_EQ(RunCommand(WithOne("set_strategy r:0:c:c:5h:c:c:8c 0", "AcKc", "1", "0")),
              "set_strategy ok!\n");
    EXPECT_EQ(RunCommand("lock_node r:0:c:c:5h"), "lock_node ok!\n");
}

TEST(QueryLockIsomorphism, WithoutIsomorphismEveryEditIsTaken) {
    CfrEngine& engine = BuildFlopSpot(false);
    ASSERT_FALSE(engine.Runouts().Isomorphic());
    EXPECT_EQ(RunCommand(WithOne("combo_lock_node r:0", "AcKc", "1", "0")),
              "combo_lock_node ok!\n");
    EXPECT_EQ(RunCommand(WithOne("set_strategy r:0 0", "AcKc", "1", "0")), "set_strategy ok!\n");
    EXPECT_EQ(ValueLines(RunCommand("show_strategy r:0"))[0][HandIndex("AcKc")], 1.0);
}
