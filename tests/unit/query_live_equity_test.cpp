// Equities on the live board and ranges keep the runout lists between queries: every
// change of the board, the ranges or the deck weights makes the next answer the one lists
// built afresh give, and going back gives the first answer again.
#include <gtest/gtest.h>

#include <random>

#include "uniform_deck_afterwards.h"
#include "cards/combo_tables.h"
#include "cli/solver_state.h"
#include "query_test_support.h"
#include "solver/live_equity.h"

namespace {

using namespace query_test;

// calc_eq's equity line against one computed with lists of its own.
void ExpectFreshAnswer(const std::string& when) {
    const std::vector<double> printed = ValueLines(RunCommand("calc_eq OOP"))[0];
    LiveLists          own;
    const ComboFigures fresh = LiveScores(State().cards, 0, own);
    for (int p = 0; p < 1326; ++p) {
        const double score = fresh.figure[Combos().internal_of_hand[p]];
        if (std::isnan(score))
            continue;
        EXPECT_NEAR(printed[p], 0.5 * score + 0.5, 1e-9) << when << " " << ComboText(p);
    }
}

}  // namespace

TEST(QueryLiveEquity, AnswersFollowTheBoardRangesAndDeckWeights) {
    UniformDeckAfterwards uniform_deck;
    std::mt19937 rng(5);
    RunCommand("set_board Qs Jh 2h");
    RunCommand(RangeCommand("OOP", RandomCombos(rng, 40, {"Qs", "Jh", "2h"})));
    RunCommand(RangeCommand("IP", RandomCombos(rng, 40, {"Qs", "Jh", "2h"})));
    const std::string first = RunCommand("calc_eq OOP");
    ExpectFreshAnswer("first");

    RunCommand(RangeCommand("IP", RandomCombos(rng, 40, {"Qs", "Jh", "2h"})));
    EXPECT_NE(RunCommand("calc_eq OOP"), first);
    ExpectFreshAnswer("new IP range");

    RunCommand("set_board Qs Jh 3h");
    ExpectFreshAnswer("new board");

    std::string weights = "set_deck_distribution";
    for (int card = 0; card < 52; ++card)
        weights += card % 13 == 12 ? " 0.25" : " 1";  // fewer aces to come
    ASSERT_EQ(RunCommand(weights), "set_deck_distribution ok!\n");
    ExpectFreshAnswer("deck weights");
}
