// Strategy, probability and frequency queries against what the printed strategies imply:
// strategy lines that sum to 1, show_probs at the first decision and at split points, and
// line and global frequencies equal to the products of printed frequencies along a line.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <regex>

#include "query_test_support.h"

namespace {

using namespace query_test;

const std::vector<std::string> kRiverBoard = {"Qs", "Jh", "2h", "8d", "3c"};
const std::vector<std::string> kTurnBoard  = {"Qs", "Jh", "2h", "8d"};

struct Spot {
    Weights oop, ip;
};

Spot RiverSpot(unsigned seed) {
    std::mt19937 rng(seed);
    Spot         spot{RandomCombos(rng, 14, kRiverBoard), RandomCombos(rng, 14, kRiverBoard)};
    BuildSpot({"set_board Qs Jh 2h 8d 3c", RangeCommand("OOP", spot.oop),
               RangeCommand("IP", spot.ip), "set_pot 0 0 100", "add_line 0 0", "add_line 0 50 50",
               "add_line 0 50 150 150", "add_line 50 50", "add_line 50 150 150",
               "add_line 100 100"});
    return spot;
}

Spot TurnSpot(unsigned seed) {
    std::mt19937 rng(seed);
    Spot         spot{RandomCombos(rng, 10, kTurnBoard), RandomCombos(rng, 10, kTurnBoard)};
    BuildSpot({"set_board Qs Jh 2h 8d", RangeCommand("OOP", spot.oop), RangeCommand("IP", spot.ip),
               "set_pot 0 0 60", "add_line 0 0 0 0", "add_line 0 0 30 30", "add_line 0 0 0 30 30",
               "add_line 30 30 30 30", "add_line 30 30 30 90 90", "add_line 0 40 40 40 40"});
    return spot;
}

std::string KindOf(const std::string& path) {
    const auto lines = Lines(RunCommand("show_node " + path));
    EXPECT_GE(lines.size(), 2u) << path;
    return lines.size() < 2 ? "" : lines[1];
}

std::vector<std::string> AllPaths() {
    std::vector<std::string> paths;
    for (const std::string& line : Lines(RunCommand("show_all_lines")))
        if (line != "END")
            paths.push_back(line);
    return paths;
}

// Every strategy line of the decision at 'path' sums to 1 for the actor's combos that
// the known cards leave possible, and prints 0 for every combo the actor does not hold
// (the opponent's included: a node keeps numbers for its actor's combos only).
void ExpectStrategySumsToOne(const std::string& path, const Spot& spot,
                             const std::vector<std::string>& known) {
    const std::string kind = KindOf(path);
    if (kind != "OOP_DEC" && kind != "IP_DEC")
        return;
    const auto rows  = ValueLines(RunCommand("show_strategy " + path));
    const auto actor = HandWeights(kind == "OOP_DEC" ? spot.oop : spot.ip);
    const auto other = HandWeights(kind == "OOP_DEC" ? spot.ip : spot.oop);
    ASSERT_GE(rows.size(), 1u) << path;
    for (int c = 0; c < 1326; ++c) {
        double sum = 0;
        for (const auto& row : rows)
            sum += row[c];
        if (actor[c] > 0 && !Blocked(c, known))
            EXPECT_NEAR(sum, 1.0, 1e-5) << path << " " << ComboText(c);
        if (actor[c] == 0)
            EXPECT_EQ(sum, 0.0) << path << " " << ComboText(c) << (other[c] > 0 ? " (opponent's)" : "");
    }
}

}  // namespace

TEST(QueryStrategy, RiverStrategyLinesSumToOneAtEveryDecision) {
    const Spot spot = RiverSpot(3);
    Iterate(*State().solver.engine, 30);
    for (const std::string& path : AllPaths())
        ExpectStrategySumsToOne(path, spot, kRiverBoard);
}

TEST(QueryStrategy, TurnTreeStrategyLinesSumToOneWithOpenAndNamedRivers) {
    const Spot spot = TurnSpot(5);
    Iterate(*State().solver.engine, 20);
    std::vector<std::string> known = kTurnBoard;
    for (const std::string& path : AllPaths())
        ExpectStrategySumsToOne(path, spot, known);  // river decisions combine all rivers
    known.push_back("Ac");
    for (const std::string& path : {"r:0:c:c:Ac", "r:0:c:c:Ac:c", "r:0:b30:c:Ac", "r:0:b30:c:Ac:c"})
        ExpectStrategySumsToOne(path, spot, known);
}

TEST(QueryStrategy, ShowProbsStartsAtOneAndSplitPointsListNoChildren) {
    TurnSpot(7);
    Iterate(*State().solver.engine, 10);
    const std::string first = RunCommand("show_probs r:0");
    std::smatch       match;
    ASSERT_TRUE(std::regex_match(first, match, std::regex("OOP 1 IP 1 b30 (\\S+) c (\\S+)\n")))
        << first;
    EXPECT_NEAR(std::stod(match[1]) + std::stod(match[2]), 1.0, 1e-6);  // float frequencies
    for (const std::string path : {"r:0:c:c", "r:0:b30:c", "r:0:c:c:c:c"})
        EXPECT_TRUE(std::regex_match(RunCommand("show_probs " + path),
                                     std::regex("OOP \\S+ IP \\S+ \n")))
            << path;
    // IP acts after a check: the children are IP's, and OOP's share is its check frequency.
    const std::string after_check = RunCommand("show_probs r:0:c");
    EXPECT_TRUE(std::regex_match(after_check, match,
                                 std::regex("OOP (\\S+) IP 1 b40 \\S+ c \\S+\n")))
        << after_check;
    EXPECT_NEAR(std::stod(match[1]), std::stod(std::regex_replace(
                                         first, std::regex(".* c (\\S+)\n"), "$1")),
                1e-9);
}

TEST(QueryStrategy, FrequenciesAreProductsOfThePrintedStrategies) {
    const Spot spot = RiverSpot(11);
    Iterate(*State().solver.engine, 40);
    const auto check = ValueLines(RunCommand("show_strategy r:0"));      // b100 b50 c
    const auto bet   = ValueLines(RunCommand("show_strategy r:0:c"));    // b50 c
    const auto call  = ValueLines(RunCommand("show_strategy r:0:c:b50")); // b150 c f
    const auto oop   = HandWeights(spot.oop);
    const auto ip    = HandWeights(spot.ip);
    double pairs = 0, line = 0;
    for (int o = 0; o < 1326; ++o)
        for (int i = 0; i < 1326; ++i) {
            if (oop[o] == 0 || ip[i] == 0 || Overlap(o, i))
                continue;
            pairs += oop[o] * ip[i];
            line += oop[o] * ip[i] * check[2][o] * bet[0][i] * call[1][o];
        }
    const double expected = line / pairs;
    EXPECT_GT(expected, 1e-4);
    EXPECT_NEAR(std::stod(RunCommand("calc_line_freq r:0:c:b50:c")), expected, 1e-6);
    EXPECT_NEAR(std::stod(RunCommand("calc_global_freq r:0:c:b50:c")), expected, 1e-6);
    EXPECT_EQ(RunCommand("calc_line_freq r"), "1\n");
    EXPECT_EQ(RunCommand("calc_global_freq r:0"), "1\n");
}

TEST(QueryStrategy, LineFrequencyOfAnOpenRiverSumsTheNamedRivers) {
    TurnSpot(13);
    Iterate(*State().solver.engine, 15);
    const double open  = std::stod(RunCommand("calc_line_freq r:0:c:c:c"));
    double       named = 0;
    for (const char rank : std::string("23456789TJQKA"))
        for (const char suit : std::string("cdhs")) {
            const std::string card = {rank, suit};
            if (std::find(kTurnBoard.begin(), kTurnBoard.end(), card) != kTurnBoard.end())
                continue;
            const double line   = std::stod(RunCommand("calc_line_freq r:0:c:c:" + card + ":c"));
            const double global = std::stod(RunCommand("calc_global_freq r:0:c:c:" + card + ":c"));
            EXPECT_NEAR(line, global / 44, 1e-9) << card;  // 44 unseen cards for a pair of hands
            named += line;
        }
    EXPECT_GT(open, 0.01);
    EXPECT_NEAR(named, open, 1e-6);
    EXPECT_NEAR(std::stod(RunCommand("calc_global_freq r:0:c:c:c")), open, 1e-6);
}

TEST(QueryStrategy, ForgottenRiversAreResolvedForNamedRiversOnly) {
    const Spot spot = TurnSpot(19);
    Iterate(*State().solver.engine, 10);
    EXPECT_EQ(RunCommand("set_accuracy 20"), "set_accuracy ok!\n");  // a quick re-solve
    EXPECT_EQ(RunCommand("forget rivers"), "forget ok!\n");
    std::vector<std::string> known = kTurnBoard;
    known.push_back("Ac");
    ExpectStrategySumsToOne("r:0:c:c:Ac", spot, known);  // re-solved for this river
    EXPECT_GT(std::stod(RunCommand("calc_line_freq r:0:c:c:Ac:c")), 0.0);
    EXPECT_EQ(RunCommand("show_strategy r:0:c:c:c"), "ERROR: show_strategy incomplete tree\n");
    EXPECT_EQ(RunCommand("calc_ev OOP r"), "ERROR: calc_ev incomplete tree\n");
    EXPECT_EQ(RunCommand("show_stats"), "ERROR: show_stats incomplete tree\n");
    // The turn's strategies are still there: nothing to re-solve.
    EXPECT_EQ(ValueLines(RunCommand("show_strategy r:0:c")).size(), 2u);
    EXPECT_EQ(RunCommand("show_probs r:0:c:c").substr(0, 4), "OOP ");
    // Rebuilt and solved on, the rivers answer for open cards again.
    EXPECT_EQ(RunCommand("rebuild_forgotten_streets"), "rebuild_forgotten_streets ok!\n");
    Iterate(*State().solver.engine, 5);
    ExpectStrategySumsToOne("r:0:c:c:c", spot, kTurnBoard);
    EXPECT_EQ(ValueLines(RunCommand("calc_ev OOP r")).size(), 2u);
    EXPECT_EQ(RunCommand("show_stats").find("ERROR"), std::string::npos);
    RunCommand("set_accuracy 0");
}

TEST(QueryStrategy, CombosOnlyTheOpponentHoldsPlayNothingOnAFlopTree) {
    BuildSmallFlopSpot();  // OOP: A K Q 5; IP: A Q J 9
    Iterate(*State().solver.engine, 4);
    const auto oop = ValueLines(RunCommand("show_strategy r:0"));
    const auto ip  = ValueLines(RunCommand("show_strategy r:0:b30"));  // IP facing the bet
    ASSERT_GE(oop.size(), 2u);
    ASSERT_GE(ip.size(), 2u);
    auto sum = [](const std::vector<std::vector<double>>& rows, const std::string& combo) {
        double total = 0;
        for (const auto& row : rows)
            total += row[HandIndex(combo)];
        return total;
    };
    EXPECT_EQ(sum(oop, "JcJd"), 0.0);  // IP's only
    EXPECT_EQ(sum(oop, "9c9d"), 0.0);
    EXPECT_NEAR(sum(oop, "AcAd"), 1.0, 1e-5);  // both hold aces
    EXPECT_NEAR(sum(oop, "KcKd"), 1.0, 1e-5);
    EXPECT_EQ(sum(ip, "KcKd"), 0.0);  // OOP's only
    EXPECT_EQ(sum(ip, "5c5d"), 0.0);
    EXPECT_NEAR(sum(ip, "JcJd"), 1.0, 1e-5);
    EXPECT_NEAR(sum(ip, "AcAd"), 1.0, 1e-5);
    // On a turn and a river too.
    const auto turn = ValueLines(RunCommand("show_strategy r:0:c:c:7c"));
    ASSERT_GE(turn.size(), 2u);
    EXPECT_EQ(sum(turn, "JcJd"), 0.0);
    EXPECT_NEAR(sum(turn, "KcKd"), 1.0, 1e-5);
}

// A negative range weight is kept as set until the player acts on the path; where the
// player acts, the combo's frequencies are 0 and so is its weight. Blocked combos are 0.
TEST(QueryStrategy, ShowRangeKeepsNegativeWeightsUntilThePlayerActs) {
    BuildSpot({"set_board Qs Jh 2h 8d 3c", RangeCommand("OOP", {{"AsAd", 1}, {"KsKd", 1}}),
               RangeCommand("IP", {{"TsTd", 1}, {"9s9d", -3}, {"QdQc", -2}, {"8d7c", -1}}),
               "set_pot 0 0 100", "add_line 0 0", "add_line 0 50 50"});
    RunCommand("go 5 steps block");
    for (const std::string path : {"r", "r:0", "r:0:c"}) {
        const auto range = Numbers(RunCommand("show_range IP " + path));
        ASSERT_EQ(range.size(), 1326u) << path;
        EXPECT_EQ(range[HandIndex("9s9d")], -3) << path;
        EXPECT_EQ(range[HandIndex("QdQc")], -2) << path;
        EXPECT_EQ(range[HandIndex("8d7c")], 0) << path << ": blocked by the board";
        EXPECT_EQ(range[HandIndex("TsTd")], 1) << path;
    }
    const auto after = Numbers(RunCommand("show_range IP r:0:c:c"));
    ASSERT_EQ(after.size(), 1326u);
    EXPECT_EQ(after[HandIndex("9s9d")], 0);
}

// Lines removed after the build leave the lines' children fewer than the built node's
// actions: the remaining children keep their own actions' figures.
TEST(QueryStrategy, RemovedLinesLeaveTheOtherChildrensFigures) {
    RiverSpot(23);
    Iterate(*State().solver.engine, 20);
    const std::string before = RunCommand("show_probs r:0:b50");
    ASSERT_TRUE(std::regex_match(before, std::regex("OOP \\S+ IP 1 b150 \\S+ c \\S+ f \\S+\n")))
        << before;
    const std::string fold_freq = RunCommand("calc_line_freq r:0:b50:f");
    EXPECT_EQ(RunCommand("remove_line 50 50"), "remove_line ok!\n");
    EXPECT_EQ(RunCommand("show_probs r:0:b50"), std::regex_replace(before, std::regex(" c \\S+"), ""));
    EXPECT_EQ(RunCommand("calc_line_freq r:0:b50:f"), fold_freq);
    RunCommand("add_line 50 50");
}
