// Values that flop and turn queries read from the last result passes: they answer what a
// walk of the subtree under the present strategies answers, and a change of the
// strategies (further iterations, a written strategy) or of the rake makes the next
// answer follow it rather than repeat the old one.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "cards/combo_tables.h"
#include "cli/solver_state.h"
#include "query_test_support.h"
#include "solver/node_values.h"
#include "solver/query_support.h"

namespace {

using namespace query_test;

const char* const kPaths[] = {"r:0", "r:0:c", "r:0:c:c", "r:0:c:c:5c", "r:0:c:c:c", "r:0:b30"};

// The values line of calc_ev, and the same values walked over the subtree afresh (the
// engine keeping none for the present strategies).
struct Answers {
    std::vector<double> printed, walked;
};

Answers AnswersAt(CfrEngine& engine, const std::string& player, const std::string& path) {
    const QueryPoint point = PointOf(RequireQueryPath(path, true));
    Answers          answers;
    const ComboFigures walked = UnderTreeMutex(
        engine, [&] { return ValuesAtPoint(engine, point, player == "OOP" ? 0 : 1); });
    for (int p = 0; p < 1326; ++p)  // printed in hand order
        answers.walked.push_back(walked.figure[Combos().internal_of_hand[p]] + HalfPot());
    answers.printed = ValueLines(RunCommand("calc_ev " + player + " " + path))[0];
    return answers;
}

void ExpectSameFigures(const std::vector<double>& a, const std::vector<double>& b,
                       const std::string& what) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t c = 0; c < a.size(); ++c) {
        ASSERT_EQ(std::isnan(a[c]), std::isnan(b[c])) << what << " " << ComboText(c);
        if (!std::isnan(a[c]))
            EXPECT_NEAR(a[c], b[c], 1e-4 * std::max(1.0, std::abs(b[c])))
                << what << " " << ComboText(c);
    }
}

bool AnyDifferent(const std::vector<double>& a, const std::vector<double>& b) {
    for (size_t c = 0; c < a.size(); ++c)
        if (!std::isnan(a[c]) && std::abs(a[c] - b[c]) > 1e-3)
            return true;
    return false;
}

// Every point's kept answer against a fresh walk; returns the printed answers.
std::vector<std::vector<double>> ExpectKeptAnswersFresh(CfrEngine& engine,
                                                        const std::string& when) {
    std::vector<std::vector<double>> printed;
    for (const char* player : {"OOP", "IP"})
        for (const char* path : kPaths) {
            const Answers answers = AnswersAt(engine, player, path);
            EXPECT_TRUE(engine.KeptValuesComplete()) << when;
            ExpectSameFigures(answers.printed, answers.walked,
                              when + " " + player + " " + path);
            printed.push_back(answers.printed);
        }
    return printed;
}

void ExpectAllChanged(const std::vector<std::vector<double>>& before,
                      const std::vector<std::vector<double>>& after, const std::string& when) {
    ASSERT_EQ(before.size(), after.size());
    int changed = 0;
    for (size_t k = 0; k < before.size(); ++k)
        changed += AnyDifferent(before[k], after[k]);
    EXPECT_GE(changed, static_cast<int>(before.size()) / 2) << when;
}

}  // namespace

TEST(QueryKeptValues, AnswersFollowEveryChangeOfTheStrategiesAndTheRake) {
    CfrEngine& engine = BuildSmallFlopSpot();
    ASSERT_TRUE(engine.Runouts().Isomorphic());
    Iterate(engine, 4);
    EXPECT_FALSE(engine.KeptValuesComplete());
    const auto first = ExpectKeptAnswersFresh(engine, "after 4 iterations");

    Iterate(engine, 3);
    EXPECT_FALSE(engine.KeptValuesComplete());
    const auto later = ExpectKeptAnswersFresh(engine, "after 7 iterations");
    ExpectAllChanged(first, later, "further iterations");

    // OOP always checks at the first decision: every value below it moves.
    std::string command = "set_strategy r:0 0";
    for (int c = 0; c < 1326; ++c)
        command += " 1";
    ASSERT_EQ(RunCommand(command), "set_strategy ok!\n");
    const auto written = ExpectKeptAnswersFresh(engine, "after set_strategy");
    EXPECT_TRUE(AnyDifferent(later[0], written[0]));

    ASSERT_EQ(RunCommand("set_rake 0.05 3"), "set_rake ok!\n");
    const auto raked = ExpectKeptAnswersFresh(engine, "with rake");
    EXPECT_TRUE(AnyDifferent(written[0], raked[0]));
    ASSERT_EQ(RunCommand("set_rake 0 0"), "set_rake ok!\n");
}

TEST(QueryKeptValues, ResultsKeepTheValuesAndQueriesDoNotChangeTheFigures) {
    CfrEngine& engine = BuildSmallFlopSpot();
    Iterate(engine, 5);
    RunCommand("calc_results");
    const double ev_oop = Variable("solver_ev_oop");
    EXPECT_TRUE(engine.KeptValuesComplete());
    // Values and their weights add up to the solver's figure at the root.
    const auto rows = ValueLines(RunCommand("calc_ev OOP r"));
    double     ev   = 0;
    for (int c = 0; c < 1326; ++c)
        if (!std::isnan(rows[0][c]))
            ev += rows[0][c] * rows[1][c];
    EXPECT_NEAR(ev, ev_oop, 1e-3);
    RunCommand("calc_results");
    EXPECT_EQ(Variable("solver_ev_oop"), ev_oop);
}

TEST(QueryKeptValues, ARunLeavesTheValuesOfItsLastStrategiesKept) {
    CfrEngine& engine = BuildSmallFlopSpot();
    RunCommand("set_info_freq 4");
    RunCommand("go 3 steps block");  // stops between two checks
    EXPECT_EQ(engine.IterationCount(), 3);
    EXPECT_TRUE(engine.KeptValuesComplete());
    const QueryPoint point = PointOf(RequireQueryPath("r:0:c:c:c", true));
    const std::optional<Runout> turn = engine.RunoutOf(2, 3, -1);  // the 5c turn (card 3)
    ASSERT_TRUE(turn);
    EXPECT_NE(UnderTreeMutex(engine, [&] { return engine.KeptValues(0, point.node, *turn); }),
              nullptr);
}
