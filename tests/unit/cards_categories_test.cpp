#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cards/eval_tables.h"
#include "cards/hand_categories.h"
#include "cards_test_support.h"

namespace {

// Categories of one board, looked up by combo text in any card order.
class Categories {
public:
    explicit Categories(const char* board) : board_(ParseCards(board)) {
        InitEvaluatorTables();
        EXPECT_TRUE(ClassifyHands(board_, *lists_));
    }
    int Made(const char* combo) const { return lists_->made[HandIndex(combo)]; }
    int Draw(const char* combo) const { return lists_->draw[HandIndex(combo)]; }
    const HandCategories& Lists() const { return *lists_; }
    CardMask              Board() const { return board_; }

private:
    static int HandIndex(const char* combo) {
        const ComboTables& t = Combos();
        return static_cast<int>(std::find(t.mask.begin(), t.mask.end(), ParseCards(combo)) - t.mask.begin());
    }
    CardMask                        board_;
    std::unique_ptr<HandCategories> lists_ = std::make_unique<HandCategories>();
};

constexpr int M(MadeHand made) { return static_cast<int>(made); }
constexpr int D(Draw draw) { return static_cast<int>(draw); }

}  // namespace

TEST(MadeHands, PairsAndHighCardsOnADryFlop) {
    Categories c("Ks 7h 2d");
    EXPECT_EQ(c.Made("AcAd"), M(MadeHand::kOverpair));
    EXPECT_EQ(c.Made("KcQc"), M(MadeHand::kTopPair));
    EXPECT_EQ(c.Made("QcQd"), M(MadeHand::kUnderpair));
    EXPECT_EQ(c.Made("7c6c"), M(MadeHand::kSecondPair));
    EXPECT_EQ(c.Made("8c8d"), M(MadeHand::kUnderpair));   // between the top and second rank: code 2
    EXPECT_EQ(c.Made("6c6d"), M(MadeHand::kThirdPair));   // below the second rank: code 4
    EXPECT_EQ(c.Made("5c5d"), M(MadeHand::kThirdPair));
    EXPECT_EQ(c.Made("2c3c"), M(MadeHand::kThirdPair));
    EXPECT_EQ(c.Made("AcQd"), M(MadeHand::kAceHigh));
    EXPECT_EQ(c.Made("QcJd"), M(MadeHand::kNothing));
    EXPECT_EQ(c.Made("KdKc"), M(MadeHand::kSet));
    EXPECT_EQ(c.Made("7d2c"), M(MadeHand::kTwoPair));
    for (int p = 0; p < kComboCount; ++p) {
        bool blocked = Combos().mask[p] & c.Board();
        EXPECT_EQ(c.Lists().made[p] == kBlockedCategory, blocked) << p;
        EXPECT_EQ(c.Lists().draw[p] == kBlockedCategory, blocked) << p;
    }
}

TEST(MadeHands, LowPairsOnAFourRankTurn) {
    Categories c("Ks Th 7d 4c");
    EXPECT_EQ(c.Made("4h3h"), M(MadeHand::kLowPair));   // pairs the fourth rank: code 7
    EXPECT_EQ(c.Made("3h3d"), M(MadeHand::kLowPair));   // below the fourth rank: code 8
    EXPECT_EQ(c.Made("5h5d"), M(MadeHand::kLowPair));   // between third and fourth: code 6
    EXPECT_EQ(c.Made("8h8d"), M(MadeHand::kThirdPair));
    EXPECT_EQ(c.Made("Ah7h"), M(MadeHand::kThirdPair));
    EXPECT_EQ(c.Made("KhTs"), M(MadeHand::kTwoPair));
    EXPECT_EQ(c.Made("AhQs"), M(MadeHand::kAceHigh));
    EXPECT_EQ(c.Made("QhJs"), M(MadeHand::kNothing));  // A queen beats the board's ten, not an ace or king
}

TEST(MadeHands, PairedBoards) {
    Categories c("Ks Kh 7d 2c");
    EXPECT_EQ(c.Made("AdQd"), M(MadeHand::kAceHigh));   // the pair is the board's
    EXPECT_EQ(c.Made("QdJd"), M(MadeHand::kNothing));
    EXPECT_EQ(c.Made("7h3h"), M(MadeHand::kSecondPair));  // two pair with the board's kings
    EXPECT_EQ(c.Made("Kd3h"), M(MadeHand::kTrips));
    EXPECT_EQ(c.Made("7h7s"), M(MadeHand::kFullHouse));

    Categories two_pair_board("Ks Kh 7d 7c 2s");
    EXPECT_EQ(two_pair_board.Made("Ac3d"), M(MadeHand::kAceHigh));  // kicker beats the deuce
    EXPECT_EQ(two_pair_board.Made("4c3d"), M(MadeHand::kNothing));
    EXPECT_EQ(two_pair_board.Made("9c9d"), M(MadeHand::kUnderpair));  // kings and nines
    EXPECT_EQ(two_pair_board.Made("Kd3c"), M(MadeHand::kFullHouse));

    Categories full_board("7s 7h 7d Ks Kh");
    EXPECT_EQ(full_board.Made("Kd2c"), M(MadeHand::kTopFullHouse));
    EXPECT_EQ(full_board.Made("AcAd"), M(MadeHand::kFullHouse));
    EXPECT_EQ(full_board.Made("QcQd"), M(MadeHand::kNothing));
    EXPECT_EQ(full_board.Made("7c2c"), M(MadeHand::kQuads));

    Categories trips_board("7s 7h 7d Kc 2s");
    EXPECT_EQ(trips_board.Made("Ac3d"), M(MadeHand::kAceHigh));
    EXPECT_EQ(trips_board.Made("Qc3d"), M(MadeHand::kNothing));

    Categories quads_board("7s 7h 7d 7c 2s");
    EXPECT_EQ(quads_board.Made("AcKd"), M(MadeHand::kAceHigh));
    EXPECT_EQ(quads_board.Made("KcQd"), M(MadeHand::kKingHigh));
}

TEST(MadeHands, StraightsAndFlushesOnTheBoard) {
    Categories straight_board("9s 8h 7d 6c 5s");
    EXPECT_EQ(straight_board.Made("Tc2d"), M(MadeHand::kStraight));
    EXPECT_EQ(straight_board.Made("Ac2d"), M(MadeHand::kNothing));
    Categories flush_board("As Ks 7s 5s 2s");
    EXPECT_EQ(flush_board.Made("Qs3c"), M(MadeHand::kNothing));
    EXPECT_EQ(flush_board.Made("Qc3c"), M(MadeHand::kNothing));
    Categories flop("9s 8s 7d");
    EXPECT_EQ(flop.Made("Ts6d"), M(MadeHand::kStraight));
    EXPECT_EQ(flop.Made("6s4s"), M(MadeHand::kNothing));
    Categories turn("9s 8s 7s 2d");
    EXPECT_EQ(turn.Made("As3s"), M(MadeHand::kFlush));
    EXPECT_EQ(turn.Made("Ts6s"), M(MadeHand::kStraightFlush));
    EXPECT_EQ(turn.Made("Ts6h"), M(MadeHand::kStraight));
}

TEST(MadeHands, ContradictoryValuesAreReported) {
    // Trips for the combo on a board that is two pair: only a faulty evaluator gives it.
    EXPECT_FALSE(MadeHandCategory(0x020B5000, 0x030B5000, 0).has_value());
    EXPECT_EQ(MadeHandCategory(0x000B5000, 0x030B5000, 1), MadeHand::kSet);
    EXPECT_EQ(MadeHandCategory(0x010B5000, 0x030B5000, 1), MadeHand::kTrips);
}

TEST(CardCodes, CountHigherBoardRanksAndPairing) {
    CardMask board = ParseCards("Ks 7h 2d");
    EXPECT_EQ(CardCode(board, MakeCard(12, 0)), 0);
    EXPECT_EQ(CardCode(board, MakeCard(11, 0)), 1);
    EXPECT_EQ(CardCode(board, MakeCard(10, 0)), 2);
    EXPECT_EQ(CardCode(board, MakeCard(5, 0)), 3);
    EXPECT_EQ(CardCode(board, MakeCard(3, 0)), 4);
    EXPECT_EQ(CardCode(board, MakeCard(0, 0)), 5);
    // 3c (code 4, even) defers to 2c (code 5).
    EXPECT_EQ(PairPosition(board, MakeCard(1, 0), MakeCard(0, 0)), 5);
}

TEST(Draws, StraightAndFlushOuts) {
    EXPECT_EQ(Categories("Ks 7h 2d").Draw("6c5c"), D(Draw::kNone));
    EXPECT_EQ(Categories("8s 7h 2d").Draw("6c5c"), D(Draw::kEightOutStraight));
    EXPECT_EQ(Categories("Ks 7h 2h").Draw("Ah9h"), D(Draw::kFlush));
    Categories gutshot("Ks 9h 2d");
    EXPECT_EQ(gutshot.Draw("JcTc"), D(Draw::kFourOutStraight));
    EXPECT_EQ(gutshot.Draw("QcJc"), D(Draw::kFourOutStraight));  // the ten
    EXPECT_EQ(gutshot.Draw("AcQc"), D(Draw::kNone));             // needs two cards
    EXPECT_EQ(gutshot.Draw("AcAd"), D(Draw::kNone));
    // Qh makes a flush, not a straight: three straight outs and nine flush outs.
    EXPECT_EQ(Categories("Ks 9h 2h").Draw("JhTh"), D(Draw::kCombo));
    // A made straight has no straight outs; a flush has no outs at all.
    Categories turn("9s 8s 7d 2c");
    EXPECT_EQ(turn.Draw("Ts6d"), D(Draw::kNone));
    EXPECT_EQ(turn.Draw("Ts6s"), D(Draw::kFlush));
    EXPECT_EQ(turn.Draw("AsKs"), D(Draw::kFlush));
    EXPECT_EQ(turn.Draw("Td5d"), D(Draw::kEightOutStraight));  // a six or a jack
}

TEST(Draws, CardsThatOnlyImproveTheBoardAreNoOuts) {
    Categories four_straight("8s 7h 6d 5c");
    EXPECT_EQ(four_straight.Draw("AcAd"), D(Draw::kNone));
    EXPECT_EQ(four_straight.Made("9c2d"), M(MadeHand::kStraight));
}

TEST(Draws, RiverBoardsHaveNone) {
    Categories river("Ks 7h 2d 9c 4s");
    for (int p = 0; p < kComboCount; ++p)
        EXPECT_EQ(river.Lists().draw[p], 0) << p;
    EXPECT_EQ(river.Made("KsQs"), kBlockedCategory);
}

TEST(CategoryCommands, LinesNamesAndErrors) {
    std::string names = RunCommand("show_category_names");
    EXPECT_EQ(names,
              "nothing king_high ace_high low_pair third_pair second_pair underpair top_pair "
              "top_pair_tp overpair two_pair trips set straight flush fullhouse top_fullhouse quads "
              "straight_flush \nno_draw 4out_straight_draw 8out_straight_draw flush_draw combo_draw "
              "\nEND\n");
    std::string lists = RunCommand("show_categories Ks7h 2D");
    Categories  c("Ks 7h 2d");
    std::string expected;
    for (const auto* list : {&c.Lists().made, &c.Lists().draw}) {
        for (int8_t category : *list)
            expected += std::to_string(category) + " ";
        expected += "\n";
    }
    EXPECT_EQ(lists, expected + "END\n");
    EXPECT_EQ(RunCommand("show_categories Ks 7h"), "ERROR: show_categories invalid board\n");
    EXPECT_EQ(RunCommand("show_categories Ks 7h 2d 9c 4s 3s"), "ERROR: show_categories invalid board\n");
    EXPECT_EQ(RunCommand("show_categories Ks 7x 2d"), "ERROR: invalid card\n");
}
