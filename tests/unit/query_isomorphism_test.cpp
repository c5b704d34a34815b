// Queries and locks in the user's suits while suit isomorphism merges rivers: a river
// card that the solver keeps only through its representative answers like any other,
// written strategies land in the user's suits, and sums over the rivers a card stands
// for match the named rivers one by one.
#include <gtest/gtest.h>

#include <cmath>

#include "query_test_support.h"

namespace {

using namespace query_test;

// Clubs and diamonds are alike on this board: the river 5d is solved as the 5c.
CfrEngine& BuildIsomorphicTurnSpot() {
    RunCommand("set_isomorphism 1 1");
    CfrEngine& engine =
        BuildSpot({"set_board Qs Jh 2h 8h", RangeCommand("OOP", AllCombosOf("AK54")),
                   RangeCommand("IP", AllCombosOf("AQ93")), "set_pot 0 0 60", "add_line 0 0 0 0",
                   "add_line 0 0 30 30", "add_line 0 0 0 30 30"});
    RunCommand("set_isomorphism 1 0");
    return engine;
}

}  // namespace

TEST(QueryIsomorphism, MergedRiversAnswerInTheUsersSuits) {
    CfrEngine& engine = BuildIsomorphicTurnSpot();
    ASSERT_TRUE(engine.Runouts().Isomorphic());
    Iterate(engine, 20);
    RunCommand("calc_results");
    const auto values = ValueLines(RunCommand("calc_ev OOP r"));
    double     ev     = 0;
    for (int c = 0; c < 1326; ++c)
        if (!std::isnan(values[0][c]))
            ev += values[0][c] * values[1][c];
    EXPECT_NEAR(ev, Variable("solver_ev_oop"), 1e-3);

    // The open river (solver rivers and their images) against the named rivers.
    const double open  = std::stod(RunCommand("calc_line_freq r:0:c:c:c"));
    double       named = 0;
    for (int card = 0; card < 52; ++card) {
        const std::string text = query_test::CardText(card);
        if (text == "Qs" || text == "Jh" || text == "2h" || text == "8h")
            continue;
        named += std::stod(RunCommand("calc_line_freq r:0:c:c:" + text + ":c"));
    }
    EXPECT_NEAR(named, open, 1e-6);

    // A merged river's strategy is its representative's with clubs and diamonds exchanged.
    const auto clubs    = ValueLines(RunCommand("show_strategy r:0:c:c:5c"));
    const auto diamonds = ValueLines(RunCommand("show_strategy r:0:c:c:5d"));
    ASSERT_EQ(clubs.size(), 2u);
    const std::pair<const char*, const char*> swaps[] = {
        {"AcKc", "AdKd"}, {"AdKh", "AcKh"}, {"4c4h", "4d4h"}};
    for (const auto& [combo, swapped] : swaps)
        for (int a = 0; a < 2; ++a)
            EXPECT_EQ(diamonds[a][HandIndex(swapped)], clubs[a][HandIndex(combo)]) << combo;
}

TEST(QueryIsomorphism, StrategiesWrittenOnAMergedRiverStayInTheUsersSuits) {
    BuildIsomorphicTurnSpot();
    std::vector<std::string> bet(1326, "0"), check(1326, "1");
    bet[HandIndex("AdKd")]   = "1";
    check[HandIndex("AdKd")] = "0";
    std::string command = "set_strategy r:0:c:c:5d";
    for (const auto* row : {&bet, &check})
        for (const std::string& value : *row)
            command += " " + value;
    EXPECT_EQ(RunCommand(command), "set_strategy ok!\n");
    EXPECT_EQ(RunCommand("lock_node r:0:c:c:5d"), "lock_node ok!\n");
    const auto diamonds = ValueLines(RunCommand("show_strategy r:0:c:c:5d"));
    EXPECT_EQ(diamonds[0][HandIndex("AdKd")], 1.0);
    EXPECT_EQ(diamonds[0][HandIndex("AcKc")], 0.0);
    // The lock covers the river's class: the 5c is the same runout with suits exchanged.
    const auto clubs = ValueLines(RunCommand("show_strategy r:0:c:c:5c"));
    EXPECT_EQ(clubs[0][HandIndex("AcKc")], 1.0);
    EXPECT_EQ(clubs[0][HandIndex("AdKd")], 0.0);
    const auto locks = Numbers(RunCommand("show_locked_combos r:0:c:c:5d"));
    EXPECT_EQ(locks[HandIndex("AdKd")], 1.0);
    EXPECT_TRUE(std::isnan(locks[HandIndex("5d4d")]));  // holds the river card
    EXPECT_EQ(Lines(RunCommand("show_node r:0:c:c:5c"))[5], "flags: LOCKED");
    EXPECT_EQ(Lines(RunCommand("show_node r:0:c:c:5s"))[5], "flags: ");
}

TEST(QueryIsomorphism, ValuesOverAnOpenRiverCombineTheNamedRivers) {
    CfrEngine& engine = BuildIsomorphicTurnSpot();
    Iterate(engine, 15);
    for (const char* player : {"OOP", "IP"}) {
        const auto open = ValueLines(RunCommand(std::string("calc_ev ") + player + " r:0:c:c"));
        std::vector<double> weighted(1326, 0.0), weight(1326, 0.0);
        for (int card = 0; card < 52; ++card) {
            const std::string text = query_test::CardText(card);
            if (text == "Qs" || text == "Jh" || text == "2h" || text == "8h")
                continue;
            const auto named =
                ValueLines(RunCommand(std::string("calc_ev ") + player + " r:0:c:c:" + text));
            for (int c = 0; c < 1326; ++c)
                if (!std::isnan(named[0][c])) {
                    weighted[c] += named[0][c] * named[1][c];
                    weight[c] += named[1][c];
                }
        }
        int compared = 0;
        for (int c = 0; c < 1326; ++c) {
            if (std::isnan(open[0][c]) || !(weight[c] > 0))
                continue;
            EXPECT_NEAR(open[0][c], weighted[c] / weight[c], 1e-4) << player << ComboText(c);
            EXPECT_NEAR(open[1][c], weight[c], 1e-9) << player << ComboText(c);
            ++compared;
        }
        EXPECT_GT(compared, 50) << player;
    }
}
