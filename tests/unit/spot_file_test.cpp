// Spot files: the standard spots, the lines their bet sizes stand for, and the messages
// for broken files.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "tools/spot/spot_file.h"
#include "tools/spot/spot_lines.h"
#include "tools/spot/spot_script.h"

namespace {

using nlohmann::json;

json RiverSpot() {
    return json::parse(R"({
        "name": "river_srp", "board": "Qs Jh 2h 8d 3c", "streets": "river", "pot": 182,
        "eff_stack": 912, "oop_range": "22-JJ", "ip_range": "AKs, QQ:0.5",
        "bets": {"river": {"bet": [0.33, 0.75, 1.5], "raise": [0.6]}},
        "allin": true, "allin_threshold": 0.67, "max_bets": 4, "donk": true,
        "targets_pct_pot": [0.5, 0.1]})");
}

std::string ErrorOf(const json& document) {
    try {
        SpotFromJson(document);
    } catch (const SpotError& error) {
        return error.what();
    }
    return "no error";
}

TEST(SpotFile, ReadsEveryKey) {
    Spot spot = SpotFromJson(RiverSpot());
    EXPECT_EQ(spot.name, "river_srp");
    EXPECT_EQ(spot.board, (std::vector<int>{49, 35, 26, 19, 1}));
    EXPECT_EQ(spot.first_street, 3);
    EXPECT_EQ(spot.pot, 182);
    EXPECT_EQ(spot.eff_stack, 912);
    EXPECT_EQ(std::accumulate(spot.ranges[0].begin(), spot.ranges[0].end(), 0.0), 60);
    EXPECT_EQ(std::accumulate(spot.ranges[1].begin(), spot.ranges[1].end(), 0.0), 4 + 3);
    EXPECT_EQ(spot.sizes[3].bet, (std::vector<double>{0.33, 0.75, 1.5}));
    EXPECT_TRUE(spot.sizes[1].bet.empty());
    EXPECT_EQ(spot.max_bets, 4);
    EXPECT_TRUE(spot.donk);
}

TEST(SpotFile, BrokenFilesNameTheKey) {
    auto with = [](const char* key, json value) {
        json document = RiverSpot();
        document[key] = std::move(value);
        return document;
    };
    auto without = [](const char* key) {
        json document = RiverSpot();
        document.erase(key);
        return document;
    };
    EXPECT_EQ(ErrorOf(without("board")), "board: missing");
    EXPECT_EQ(ErrorOf(without("ip_range")), "ip_range: missing");
    EXPECT_EQ(ErrorOf(without("max_bets")), "max_bets: missing");
    EXPECT_EQ(ErrorOf(with("board", "Qs Jh 2x 8d 3c")), "board: unknown card '2x'");
    EXPECT_EQ(ErrorOf(with("board", "Qs Qs 2h")), "board: card 'Qs' given twice");
    EXPECT_EQ(ErrorOf(with("board", "Qs Jh")), "board: needs three to five cards, has 2");
    EXPECT_EQ(ErrorOf(with("streets", "turn")),
              "streets: 'turn' does not match a board of 5 cards");
    EXPECT_EQ(ErrorOf(with("pot", -5)), "pot: must be at least 1");
    EXPECT_EQ(ErrorOf(with("pot", 10.5)), "pot: must be a whole number of chips");
    EXPECT_EQ(ErrorOf(with("eff_stack", "lots")), "eff_stack: must be a number");
    EXPECT_EQ(ErrorOf(with("oop_range", "22-JJ, QX")),
              "oop_range: bad range item 'QX': unknown rank");
    EXPECT_EQ(ErrorOf(with("bets", json::parse(R"({"river": {"bet": [0.5, -0.25]}})"))),
              "bets.river.bet: negative size -0.25");
    EXPECT_EQ(ErrorOf(with("bets", json::parse(R"({"preflop": {"bet": [0.5]}})"))),
              "bets.preflop: unknown street");
    EXPECT_EQ(ErrorOf(with("allin", 1)), "allin: must be true or false");
    EXPECT_EQ(ErrorOf(with("allin_threshold", -1)), "allin_threshold: must not be negative");
    EXPECT_EQ(ErrorOf(json::array()), "the spot file must hold one JSON object");
}

TEST(SpotFile, UnreadableAndInvalidFiles) {
    EXPECT_THROW(LoadSpotFile("/nonexistent/spot.json"), SpotError);
    std::string path = ::testing::TempDir() + "spot_file_test_bad.json";
    std::ofstream(path) << "{ \"board\": ";
    EXPECT_THROW(LoadSpotFile(path), SpotError);
}

TEST(SpotLines, RiverSpotLines) {
    std::vector<SpotLine> lines = SpotLines(SpotFromJson(RiverSpot()));
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines.front(), (SpotLine{0, 0}));
    // A third of 182 is 60; a 0.6 raise of it: 60 + round(0.6 x (242 + 60)) = 241.
    EXPECT_NE(std::find(lines.begin(), lines.end(), SpotLine{0, 60, 241, 241}), lines.end());
    // 1.5 pot (273) stays below the all-in threshold; its raise (>= 0.67 x room) is all-in.
    EXPECT_NE(std::find(lines.begin(), lines.end(), SpotLine{273, 912, 912}), lines.end());
    EXPECT_EQ(lines.back(), (SpotLine{912, 912}));
}

TEST(SpotLines, MaxBetsAndAllInLimitTheTree) {
    json document          = RiverSpot();
    document["max_bets"]   = 0;
    EXPECT_EQ(SpotLines(SpotFromJson(document)), (std::vector<SpotLine>{{0, 0}}));
    document["max_bets"]   = 1;
    document["allin"]      = false;
    document["bets"]       = json::parse(R"({"river": {"bet": [0.5]}})");
    EXPECT_EQ(SpotLines(SpotFromJson(document)),
              (std::vector<SpotLine>{{0, 0}, {0, 91, 91}, {91, 91}}));
}

TEST(SpotLines, NoDonkBetsAfterCallingToCloseAStreet) {
    json document = json::parse(R"({
        "board": "Qs Jh 2h 8d", "streets": "turn", "pot": 100, "eff_stack": 1000,
        "oop_range": "AA", "ip_range": "KK", "allin": false, "allin_threshold": 1,
        "max_bets": 1, "donk": false,
        "bets": {"turn": {"bet": [0.5]}, "river": {"bet": [0.5]}}})");
    std::vector<SpotLine> lines = SpotLines(SpotFromJson(document));
    // After OOP calls the turn bet OOP may only check the river; after IP calls, OOP bets.
    EXPECT_EQ(lines, (std::vector<SpotLine>{{0, 0, 0, 0},
                                            {0, 0, 0, 50, 50},
                                            {0, 0, 50, 50},
                                            {0, 50, 50, 50, 50},
                                            {0, 50, 50, 50, 150, 150},
                                            {50, 50, 50, 50},
                                            {50, 50, 50, 150, 150},
                                            {50, 50, 150, 150}}));
    document["donk"] = true;
    std::vector<SpotLine> donk_lines = SpotLines(SpotFromJson(document));
    EXPECT_EQ(donk_lines.size(), 9u);
    EXPECT_NE(std::find(donk_lines.begin(), donk_lines.end(), SpotLine{0, 50, 50, 150, 150}),
              donk_lines.end());
}

TEST(SpotScript, WritesTheSetUpAndSolveCommands) {
    Spot        spot   = SpotFromJson(RiverSpot());
    std::string script = SpotScript(spot);
    EXPECT_EQ(script.rfind("set_board Qs Jh 2h 8d 3c\nset_range OOP ", 0), 0u);
    EXPECT_NE(script.find("\nset_pot 0 0 182\nclear_lines\nadd_line 0 0\n"), std::string::npos);
    EXPECT_TRUE(script.ends_with("add_line 912 912\nbuild_tree\n"));
    EXPECT_EQ(SolveScript(spot, {}), "set_accuracy 0.0050000000000000001 fraction\ngo\nwait_for_solver\n");
    SolveOptions options;
    options.threads        = 2;
    options.accuracy_chips = 1.5;
    options.steps          = 100;
    EXPECT_EQ(SolveScript(spot, options),
              "set_threads 2\nset_accuracy 1.5\ngo 100 steps\nwait_for_solver\n");
}

}  // namespace
