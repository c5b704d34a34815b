#include <gtest/gtest.h>

#include "cards/card_parser.h"
#include "cards_test_support.h"

namespace {

class SetBoard : public ::testing::Test {
protected:
    void SetUp() override {
        State().cards = CardState{};
        ASSERT_EQ(RunCommand("set_board Ks 7h 2d"), "set_board ok!\n");
    }
    const Board& LiveBoard() { return State().cards.board; }
    const Board  kStart{ParseCards("Ks7h2d"), 0, 0};
};

}  // namespace

TEST_F(SetBoard, BothFormsGiveTheSameBoard) {
    EXPECT_EQ(RunCommand("set_board qsjh2hTd9c"), "set_board ok!\n");
    Board one_string = LiveBoard();
    EXPECT_EQ(RunCommand("set_board Qs Jh 2h TD 9C"), "set_board ok!\n");
    EXPECT_EQ(LiveBoard(), one_string);
    EXPECT_EQ(LiveBoard().flop, ParseCards("QsJh2h"));
    EXPECT_EQ(LiveBoard().turn, ParseCards("Td"));
    EXPECT_EQ(LiveBoard().river, ParseCards("9c"));
    EXPECT_EQ(LiveBoard().StreetsDealt(), 3);
}

TEST_F(SetBoard, ANewBoardReplacesTurnAndRiver) {
    RunCommand("set_board QsJh2hTd9c");
    EXPECT_EQ(RunCommand("set_board AcAdAh"), "set_board ok!\n");
    EXPECT_EQ(LiveBoard(), (Board{ParseCards("AcAdAh"), 0, 0}));
    EXPECT_EQ(LiveBoard().StreetsDealt(), 1);
    EXPECT_EQ(RunCommand("set_board As Ks Qs 2c"), "set_board ok!\n");
    EXPECT_EQ(LiveBoard().StreetsDealt(), 2);
}

TEST_F(SetBoard, ArgumentErrorsKeepThePreviousBoard) {
    const std::string kArgumentError = "ERROR: set_board incorrect or missing argument\n";
    for (const char* line :
         {"set_board", "set_board Qs Jh", "set_board Qs Jh 2h Td 9c 8c", "set_board QsJh2",
          "set_board QsJh2hT", "set_board QsJh2hTd9c8c", "set_board QsQsJh",
          "set_board QsJh 2h Td", "set_board Qs Qs Jh", "set_board Qs Jh 2h TdTc",
          "set_board QsJh Td", "set_board Qs Jh 2h Td 9c8c"}) {
        EXPECT_EQ(RunCommand(line), kArgumentError) << line;
        EXPECT_EQ(LiveBoard(), kStart) << line;
    }
}

TEST_F(SetBoard, CardTextErrorsHaveNoCommandWord) {
    for (const char* line : {"set_board Qs Jh 2x", "set_board QsJh2x", "set_board Qs Jh 2h T",
                             "set_board QsJh 2 Td", "set_board QsQs Jh 2h"}) {
        EXPECT_EQ(RunCommand(line), "ERROR: invalid card\n") << line;
        EXPECT_EQ(LiveBoard(), kStart) << line;
    }
}

TEST_F(SetBoard, ErrorsAreCheckedInOrder) {
    // The flop count comes before a bad turn piece; a bad river piece before duplicates.
    EXPECT_EQ(RunCommand("set_board QsQsJh2x"), "ERROR: set_board incorrect or missing argument\n");
    EXPECT_EQ(RunCommand("set_board Qs Jh 2h Qs 2x"), "ERROR: invalid card\n");
    EXPECT_EQ(RunCommand("set_board Qs Jh 2h Qs TdTc"),
              "ERROR: set_board incorrect or missing argument\n");
    EXPECT_EQ(LiveBoard(), kStart);
}

TEST_F(SetBoard, DuplicateTurnOrRiverCards) {
    for (const char* line : {"set_board Qs Jh 2h Qs", "set_board QsJh2hJh", "set_board QsJh2hTdTd",
                             "set_board Qs Jh 2h Td 2h"}) {
        EXPECT_EQ(RunCommand(line), "ERROR: set_board duplicate cards\n") << line;
        EXPECT_EQ(LiveBoard(), kStart) << line;
    }
}

TEST_F(SetBoard, CardsBelowTheLowCardAreInvalid) {
    State().cards.rules.low_card = 4;  // six: the deck runs 6..A
    EXPECT_EQ(RunCommand("set_board 5s 6h 7d"), "ERROR: set_board invalid card\n");
    EXPECT_EQ(RunCommand("set_board 6s 7h 8d 5c"), "ERROR: set_board invalid card\n");
    EXPECT_EQ(LiveBoard(), kStart);
    // Duplicates are reported before ranks.
    EXPECT_EQ(RunCommand("set_board 6s7h8d5c5c"), "ERROR: set_board duplicate cards\n");
    EXPECT_EQ(RunCommand("set_board 6s 7h 8d"), "set_board ok!\n");
}

TEST_F(SetBoard, BoardCommandsLeaveRangesAlone) {
    State().cards.ranges[0] = Range(kComboCount, 0.5);
    RunCommand("set_board QsJh2h");
    EXPECT_EQ(State().cards.ranges[0], Range(kComboCount, 0.5));
}

TEST(ShowHandOrder, PrintsTheHandOrderTextsOnOneLine) {
    std::string out = RunCommand("show_hand_order");
    ASSERT_EQ(out.size(), 1326u * 5);
    EXPECT_EQ(out.substr(0, 30), "2d2c 2h2c 2h2d 2s2c 2s2d 2s2h ");
    EXPECT_EQ(out.substr(out.size() - 15), "AsAc AsAd AsAh\n");
    EXPECT_EQ(RunCommand("show_hand_order x"), "ERROR: show_hand_order incorrect or missing argument\n");
}
