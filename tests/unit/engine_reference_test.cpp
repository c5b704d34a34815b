// The engine's figures against an independent naive evaluation of the same strategies,
// and convergence of the solver on small spots.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "uniform_deck_afterwards.h"
#include "cli/solver_state.h"
#include "solver/solver_run_state.h"
#include "cards/card.h"
#include "cards/combo_tables.h"
#include "engine_test_support.h"
#include "query_test_support.h"
#include "solver/runout_lists.h"
#include "tree/built_tree.h"

namespace {

using query_test::BuildSpot;

constexpr double kTolerance = 2e-3;  // chips; float vectors against double sums

void ExpectFiguresMatch(const ResultFigures& engine, const ResultFigures& reference) {
    EXPECT_NEAR(engine.ev_oop, reference.ev_oop, kTolerance);
    EXPECT_NEAR(engine.ev_ip, reference.ev_ip, kTolerance);
    EXPECT_NEAR(engine.mes_oop, reference.mes_oop, kTolerance);
    EXPECT_NEAR(engine.mes_ip, reference.mes_ip, kTolerance);
}

void Iterate(CfrEngine& engine, int count) {
    for (int i = 0; i < count; ++i)
        engine.Iterate(2);
}

std::vector<std::string> RiverSpot(std::mt19937& rng, double density) {
    return {"set_board Qs Jh 2h 8d 3c",
            RandomRangeCommand("OOP", density, rng),
            RandomRangeCommand("IP", density, rng),
            "set_pot 0 0 100",
            "add_line 0 0",
            "add_line 0 50 150",
            "add_line 50 150",
            "add_line 100"};
}

}  // namespace

TEST(EngineReference, RiverFiguresMatchNaiveEvaluation) {
    std::mt19937 rng(11);
    CfrEngine&   engine = BuildSpot(RiverSpot(rng, 0.2));
    engine.SetAveragingDelay(5);
    ExpectFiguresMatch(engine.Evaluate(2), ReferenceFigures(engine));  // uniform strategies
    Iterate(engine, 40);
    engine.InvalidateResults();
    const ResultFigures figures = engine.Evaluate(2);
    ExpectFiguresMatch(figures, ReferenceFigures(engine));
    EXPECT_NEAR(figures.ev_oop + figures.ev_ip, 0.0, 1e-4);
    EXPECT_GE(figures.mes_oop, figures.ev_oop - 1e-4);
    EXPECT_GE(figures.mes_ip, figures.ev_ip - 1e-4);
}

TEST(EngineReference, TurnFiguresWithRakeMatchNaiveEvaluation) {
    std::mt19937 rng(5);
    CfrEngine&   engine = BuildSpot({"set_board Qs Jh 2h 8d",
                                     RandomRangeCommand("OOP", 0.08, rng),
                                     RandomRangeCommand("IP", 0.08, rng),
                                     "set_pot 0 0 60",
                                     "add_line 0 0 0 0",
                                     "add_line 0 0 30 30",
                                     "add_line 30 30 30 30",
                                     "add_line 30 90",
                                     "add_line 0 40 40 100"});
    EXPECT_EQ(RunCommand("set_rake 0.05 3"), "set_rake ok!\n");
    engine.SetAveragingDelay(3);
    Iterate(engine, 12);
    engine.InvalidateResults();
    const ResultFigures figures = engine.Evaluate(2);
    ExpectFiguresMatch(figures, ReferenceFigures(engine, 0.05f, 3.0f));
    EXPECT_LT(figures.ev_oop + figures.ev_ip, 0.0);  // the rake leaves the table
}

// Result passes asked for on another thread while the solver iterates (calc_results
// during a run) see one set of strategies: without rake the two EVs always add up to 0.
TEST(EngineReference, ResultsDuringIterationsComeFromOneIteration) {
    std::mt19937 rng(5);
    CfrEngine&   engine = BuildSpot(RiverSpot(rng, 0.4));
    engine.SetAveragingDelay(0);
    std::atomic<bool> done{false};
    std::thread       solver([&] {
        Iterate(engine, 1000);
        done = true;
    });
    int mixed = 0, checks = 0;
    for (; !done; ++checks) {
        engine.InvalidateResults();
        const ResultFigures figures = engine.Evaluate(1);
        mixed += std::fabs(figures.ev_oop + figures.ev_ip) > 1e-3;
    }
    solver.join();
    EXPECT_EQ(mixed, 0) << "of " << checks << " checks";
}

// Strategies written while the solver iterates and evaluates (set_strategy during a run)
// land between iterations and between evaluations, never between two passes of one.
TEST(EngineReference, StrategiesWrittenDuringARunLandBetweenPasses) {
    std::mt19937 rng(8);
    CfrEngine&   engine = BuildSpot(RiverSpot(rng, 0.4));
    engine.SetAveragingDelay(1000);  // results play the current strategies
    std::atomic<bool> done{false};
    int               mixed = 0;
    std::thread       solver([&] {
        for (int i = 0; i < 1500; ++i) {
            engine.Iterate(1);
            engine.InvalidateResults();
            const ResultFigures figures = engine.Evaluate(1);
            mixed += std::fabs(figures.ev_oop + figures.ev_ip) > 1e-3;
        }
        done = true;
    });
    std::uniform_real_distribution<double> share(0.0, 1.0);
    const int                              actions = engine.Tree().Node(0).child_count;
    std::vector<double>                    frequencies(actions * 1326, 0.0);  // the last two
    while (!done) {
        for (int c = 0; c < 1326; ++c) {
            frequencies[(actions - 2) * 1326 + c] = share(rng);
            frequencies[(actions - 1) * 1326 + c] = 1 - frequencies[(actions - 2) * 1326 + c];
        }
        engine.WriteStrategy(0, -1, -1, -1, frequencies);
    }
    solver.join();
    EXPECT_EQ(mixed, 0);
}

TEST(EngineConvergence, RiverSpotReachesOneThousandthOfThePot) {
    std::mt19937 rng(3);
    CfrEngine&   engine = BuildSpot(RiverSpot(rng, 0.3));
    Iterate(engine, 600);
    EXPECT_LT(engine.Evaluate(2).Exploitability(), 0.001 * 100);
}

namespace {

std::vector<std::string> FlopSpot(const std::string& board) {
    return {"set_board " + board,
            ClassRangeCommand("OOP", {"AA", "KK", "AK", "A5s", "76s", "QJo", "T9s"}),
            ClassRangeCommand("IP", {"QQ", "JJ", "AQ", "KJs", "98s", "65s", "A4o"}),
            "set_pot 0 0 40",
            "add_line 0 0 0 0 0 0",
            "add_line 0 0 0 0 20 20",
            "add_line 10 10 10 10 10 10",
            "add_line 10 10 20 20 40 40",
            "add_line 0 0 15 15 15 15"};
}

ResultFigures SolveFlop(const std::string& board, bool isomorphism, int iterations) {
    RunCommand(isomorphism ? "set_isomorphism 1 1" : "set_isomorphism 0 0");
    CfrEngine& engine = BuildSpot(FlopSpot(board));
    EXPECT_EQ(engine.Runouts().Isomorphic(), isomorphism);
    engine.SetAveragingDelay(2);
    Iterate(engine, iterations);
    engine.InvalidateResults();
    return engine.Evaluate(2);
}

}  // namespace

TEST(EngineIsomorphism, TwoToneAndMonotoneFlopsGiveTheSameFigures) {
    for (const std::string board : {"Qs Jh 2h", "Ah Kh Th"}) {
        SCOPED_TRACE(board);
        const ResultFigures merged = SolveFlop(board, true, 6);
        const ResultFigures full   = SolveFlop(board, false, 6);
        EXPECT_NEAR(merged.ev_oop, full.ev_oop, 1e-3);
        EXPECT_NEAR(merged.ev_ip, full.ev_ip, 1e-3);
        EXPECT_NEAR(merged.mes_oop, full.mes_oop, 1e-3);
        EXPECT_NEAR(merged.mes_ip, full.mes_ip, 1e-3);
    }
}

TEST(EngineIsomorphism, MergedTurnsAreReportedInTheUsersSuits) {
    RunCommand("set_isomorphism 1 1");
    CfrEngine& engine = BuildSpot(FlopSpot("Qs Jh 2h"));
    EXPECT_EQ(engine.Runouts().TurnDeals().size(), 36u);  // clubs stand for diamonds
    engine.SetAveragingDelay(2);
    Iterate(engine, 4);
    engine.InvalidateResults();
    ExpectFiguresMatch(engine.Evaluate(2), ReferenceFigures(engine));
}

// A turn can make two suits look alike that the flop told apart: after Qs Jh 2h Qc spades
// and clubs each hold a queen, but the flop's play treated the spade and club combos
// differently, so the river cards of those suits are solved apart. Clubs still stand for
// diamonds where the turn keeps them alike.
TEST(EngineIsomorphism, RiverCardsMergeOnlySuitsTheWholeBoardHistoryTreatsAlike) {
    RunCommand("set_isomorphism 1 1");
    CfrEngine&         engine  = BuildSpot({"set_board Qs Jh 2h",
                                            ClassRangeCommand("OOP", {"AA", "KK", "AK", "KQs", "JTs", "22"}),
                                            ClassRangeCommand("IP", {"AA", "QQ", "JJ", "AQs", "T9s", "65s"}),
                                            "set_pot 0 0 100", "add_line 0 0 0 0 0 0",
                                            "add_line 0 0 0 50 50 50 50", "add_line 0 50 50 50 50 50 50",
                                            "add_line 0 50 50 50 150 150 150 150",
                                            "add_line 50 50 50 50 50 50", "add_line 50 50 50 150 150 150 150"});
    const RunoutLists& runouts = engine.Runouts();
    auto images_after = [&](const std::string& turn) {
        size_t images = 0;
        for (const DealtCard& deal : runouts.TurnDeals())
            if (CardText(deal.card) == turn)
                for (const DealtCard& river : runouts.RiverDeals(deal.slot))
                    images += river.images.size();
        return images;
    };
    EXPECT_EQ(images_after("Qc"), 0u);
    EXPECT_EQ(images_after("5s"), 13u);  // every club stands for its diamond
    engine.SetAveragingDelay(2);
    Iterate(engine, 30);
    engine.InvalidateResults();
    ExpectFiguresMatch(engine.Evaluate(2), ReferenceFigures(engine));
}

TEST(EngineSubgames, ForgottenRiversAreResolvedForPartialFigures) {
    std::mt19937 rng(9);
    CfrEngine&   engine = BuildSpot({"set_board Qs Jh 2h 8d",
                                     RandomRangeCommand("OOP", 0.1, rng),
                                     RandomRangeCommand("IP", 0.1, rng),
                                     "set_pot 0 0 60",
                                     "add_line 0 0 0 0",
                                     "add_line 0 0 30 30",
                                     "add_line 30 30 30 30",
                                     "add_line 30 30 60 60"});
    Iterate(engine, 60);
    EXPECT_EQ(RunCommand("explo_partial r:0:c:c:As:c"), "0\n");  // nothing forgotten yet
    EXPECT_EQ(RunCommand("forget rivers"), "forget ok!\n");
    EXPECT_EQ(RunCommand("explo_partial r:0:c:c"), "0\n");  // a turn node
    EXPECT_EQ(RunCommand("explo_partial r:0:c:c:c"), "0\n");  // a river node, no river card
    const double figure = std::stod(RunCommand("explo_partial r:0:c:c:As:c"));
    EXPECT_GT(figure, 0.0);
    EXPECT_LT(figure, 0.001 * 60 + 1e-9);  // re-solved to the default target
    EXPECT_EQ(RunCommand("solve_partial r:0:b30:c:Ad:b60"), "solve_partial ok!\n");
    EXPECT_EQ(RunCommand("rebuild_forgotten_streets"), "rebuild_forgotten_streets ok!\n");
    EXPECT_EQ(RunCommand("solve_all_splits rivers"), "solve_all_splits ok!\n");
    engine.InvalidateResults();
    EXPECT_LT(engine.Evaluate(2).Exploitability(), 0.02 * 60);
}

// Nuts and air against a bluff-catcher, one bet of the pot: at equilibrium bluffs make up
// bet / (pot + 2 bet) of the betting range and the bluff-catcher calls pot / (pot + bet)
// of the time (the indifference conditions of the classic river game).
TEST(EngineConvergence, PolarisedRiverGameReachesTheClosedFormEquilibrium) {
    CfrEngine& engine = BuildSpot({"set_board Kd Qc 7h 4s 2d",
                                   ClassRangeCommand("OOP", {"KK", "65s", "65o"}),
                                   ClassRangeCommand("IP", {"JJ"}), "set_pot 0 0 100",
                                   "add_line 0 0", "add_line 100"});
    engine.SetAveragingDelay(20);
    Iterate(engine, 3000);
    EXPECT_LT(engine.Evaluate(2).Exploitability(), 0.002 * 100);

    const BuiltTree& tree     = engine.Tree();
    const uint32_t   bet_node = tree.Children(0)[0];  // largest amount first: the bet
    ASSERT_EQ(tree.Node(bet_node).player, 1);
    const std::vector<float> oop = engine.StrategyAt(0, -1, -1);
    const std::vector<float> ip  = engine.StrategyAt(bet_node, -1, -1);
    double nuts = 0, bluffs = 0, calls = 0, catchers = 0;
    const auto& range_oop = tree.Range(0);
    const auto& range_ip  = tree.Range(1);
    for (int c = 0; c < kComboCount; ++c) {
        const int rank = RankOf(Combos().cards_of_internal[c].high);
        if (range_oop[c] > 0)
            (rank == 11 ? nuts : bluffs) += oop[c];  // kings are rank 11; the bet is row 0
        if (range_ip[c] > 0) {
            calls += ip[c];  // the call is row 0 below the bet
            catchers += 1;
        }
    }
    EXPECT_NEAR(nuts, 3.0, 0.05);  // every king bets
    EXPECT_NEAR(bluffs / (nuts + bluffs), 100.0 / (100 + 2 * 100), 0.03);
    EXPECT_NEAR(calls / catchers, 100.0 / (100 + 100), 0.05);
}

TEST(EngineReference, ShortDeckTurnFiguresMatchNaiveEvaluation) {
    std::mt19937 rng(21);
    RunCommand("set_low_card 6");  // sixes and up: 36 cards
    CfrEngine& engine = BuildSpot({"set_board Qs Jh 6h 8d", RandomRangeCommand("OOP", 0.15, rng),
                                   RandomRangeCommand("IP", 0.15, rng), "set_pot 0 0 50",
                                   "add_line 0 0 0 0", "add_line 0 0 25 25", "add_line 25 75"});
    EXPECT_EQ(engine.Runouts().RiverDeals(0).size(), 32u);
    engine.SetAveragingDelay(3);
    Iterate(engine, 10);
    engine.InvalidateResults();
    ExpectFiguresMatch(engine.Evaluate(2), ReferenceFigures(engine));
    RunCommand("set_low_card 2");
}

TEST(EngineReference, UniformDeckWeightsChangeNothing) {
    UniformDeckAfterwards uniform_deck;
    std::mt19937            rng(4);
    std::vector<std::string> spot = {"set_board Qs Jh 2h 8d", RandomRangeCommand("OOP", 0.1, rng),
                                     RandomRangeCommand("IP", 0.1, rng), "set_pot 0 0 50",
                                     "add_line 0 0 0 0", "add_line 0 0 25 25", "add_line 25 25 25 25"};
    CfrEngine& plain = BuildSpot(spot);
    Iterate(plain, 8);
    const ResultFigures without = plain.Evaluate(2);
    std::string deck = "set_deck_distribution";
    for (int card = 0; card < kCardCount; ++card)
        deck += " 0.5";
    EXPECT_EQ(RunCommand(deck), "set_deck_distribution ok!\n");
    CfrEngine& weighted = BuildSpot(spot);
    Iterate(weighted, 8);
    const ResultFigures with = weighted.Evaluate(2);
    EXPECT_NEAR(with.ev_oop, without.ev_oop, 1e-4);
    EXPECT_NEAR(with.mes_ip, without.mes_ip, 1e-4);
}

TEST(EngineConvergence, TurnSpotReachesThreeThousandthsOfThePot) {
    CfrEngine& engine = BuildSpot(
        {"set_board Qs Jh 2h 8d",
         ClassRangeCommand("OOP", {"AA", "KK", "QQ", "JJ", "TT", "99", "AK", "AQ", "KQ", "QJs",
                                   "JTs", "T9s", "98s", "A5s", "76s", "KJo", "Q9s"}),
         ClassRangeCommand("IP", {"AA", "QQ", "88", "22", "AK", "AJ", "KJs", "QTs", "T9o",
                                  "97s", "65s", "A4s", "KQo", "J9s", "T8s"}),
         "set_pot 0 0 60", "add_line 0 0 0 0", "add_line 0 0 0 40 40", "add_line 0 0 40 40",
         "add_line 0 40 40 40 40", "add_line 0 40 40 40 40", "add_line 30 30 30 30",
         "add_line 30 90 90 90 90", "add_line 0 30 90 90 90 90", "add_line 30 30 60 60"});
    Iterate(engine, 400);
    EXPECT_LT(engine.Evaluate(2).Exploitability(), 0.003 * 60);
}

// Ranges that share only their aces: every store keeps its actor's combos alone, and a
// combo lock of a combo in the middle of OOP's span holds through the solve.
TEST(EngineReference, TurnWithFewSharedCombosAndAComboLockMatchesNaiveEvaluation) {
    CfrEngine& engine = BuildSpot({"set_board Qs Jh 2h 8d",
                                   ClassRangeCommand("OOP", {"AA", "KK", "JJ", "88", "AKs", "A5s", "76s"}),
                                   ClassRangeCommand("IP", {"AA", "QQ", "T9s", "97s", "KJs", "AQs"}),
                                   "set_pot 0 0 60", "add_line 0 0 0 0", "add_line 0 0 30 30",
                                   "add_line 30 30 30 30", "add_line 30 90"});
    const RunoutCombos& root = engine.Runouts().Root();
    EXPECT_GT(root.span[1].first, 0);
    EXPECT_LT(root.span[0].End(), root.Size());
    engine.SetAveragingDelay(3);
    Iterate(engine, 3);
    const int   locked = query_test::HandIndex("7c6c");
    std::string lock   = "combo_lock_node r:0";
    for (int c = 0; c < kComboCount; ++c)
        lock += c == locked ? " 1" : " 0";
    ASSERT_EQ(RunCommand(lock), "combo_lock_node ok!\n");
    const auto before = query_test::ValueLines(RunCommand("show_strategy r:0"));
    Iterate(engine, 12);
    engine.InvalidateResults();
    ExpectFiguresMatch(engine.Evaluate(2), ReferenceFigures(engine));
    const auto after = query_test::ValueLines(RunCommand("show_strategy r:0"));
    ASSERT_EQ(after.size(), before.size());
    for (size_t a = 0; a < after.size(); ++a) {
        EXPECT_EQ(after[a][locked], before[a][locked]);
        EXPECT_EQ(after[a][query_test::HandIndex("9hTh")], 0.0);  // IP's only
    }
    EXPECT_NE(after, before);  // the other combos went on learning
}
