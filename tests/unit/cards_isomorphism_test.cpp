#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cards/suit_isomorphism.h"
#include "cards_test_support.h"

namespace {

struct Relabelled {
    SuitPermutation permutation;
    Board           board;
};

Relabelled Relabel(const char* flop, const char* turn = "", const char* river = "") {
    Board board{ParseCards(flop), ParseCards(turn), ParseCards(river)};
    SuitPermutation permutation = RelabelSuits(board.flop, board.turn, board.river);
    return {permutation, board};
}

int InternalOf(const char* combo) {
    CardMask mask = ParseCards(combo);
    int      low  = LowestCard(mask);
    return InternalIndexOf(LowestCard(mask & ~CardBit(low)), low);
}

}  // namespace

TEST(RelabelSuits, TwoToneFlop) {
    Relabelled r = Relabel("Qs Jh 2h");
    EXPECT_EQ(r.permutation, (SuitPermutation{2, 3, 0, 1}));
    EXPECT_EQ(r.board.flop, ParseCards("Jc 2c Qd"));
}

TEST(RelabelSuits, RainbowFlopTakesSuitsInAscendingOrder) {
    Relabelled r = Relabel("Ks 7h 2d");
    EXPECT_EQ(r.permutation, (SuitPermutation{3, 0, 1, 2}));
    EXPECT_EQ(r.board.flop, ParseCards("2c 7d Kh"));
}

TEST(RelabelSuits, TurnAndRiverSuitsComeNext) {
    Relabelled r = Relabel("Ah Kh Th", "2s");
    EXPECT_EQ(r.permutation, (SuitPermutation{2, 3, 0, 1}));  // h -> c, s -> d, c -> h, d -> s
    EXPECT_EQ(r.board.flop, ParseCards("Ac Kc Tc"));
    EXPECT_EQ(r.board.turn, ParseCards("2d"));

    r = Relabel("Ah Kh Th", "2h", "3d");  // the turn adds no suit, the river does
    EXPECT_EQ(r.permutation, (SuitPermutation{2, 1, 0, 3}));
    EXPECT_EQ(r.board.turn, ParseCards("2c"));
    EXPECT_EQ(r.board.river, ParseCards("3d"));

    r = Relabel("Ks 7h 2d", "9c", "4h");
    EXPECT_EQ(r.permutation, (SuitPermutation{3, 0, 1, 2}));
    EXPECT_EQ(r.board.turn, ParseCards("9s"));
    EXPECT_EQ(r.board.river, ParseCards("4d"));
}

TEST(RelabelSuits, CanonicalFlopShapes) {
    std::mt19937 rng(515);
    for (int test = 0; test < 2000; ++test) {
        CardMask flop = 0;
        while (CardCountOf(flop) < 3)
            flop |= CardBit(static_cast<int>(rng() % kCardCount));
        CardMask turn = 0, river = 0, original = flop;
        SuitPermutation permutation = RelabelSuits(flop, turn, river);
        ASSERT_EQ(PermuteSuits(flop, InverseSuits(permutation)), original);
        std::array<int, 4> per_suit{};
        for (CardMask m = flop; m; m &= m - 1)
            ++per_suit[SuitOf(LowestCard(m))];
        // Canonical flops use clubs first, then diamonds, then hearts, the busiest suit first.
        EXPECT_TRUE(std::is_sorted(per_suit.rbegin(), per_suit.rend())) << FormatCardMask(original);
        EXPECT_EQ(per_suit[3], 0);
    }
}

TEST(SuitPermutations, CarryCombosRangesAndDeckWeights) {
    SuitPermutation hearts_to_clubs = {2, 3, 0, 1};
    EXPECT_EQ(PermuteCard(MakeCard(12, 2), hearts_to_clubs), MakeCard(12, 0));
    EXPECT_EQ(PermuteCombo(InternalOf("AhKh"), hearts_to_clubs), InternalOf("AcKc"));
    EXPECT_EQ(PermuteCombo(InternalOf("AsKc"), hearts_to_clubs), InternalOf("AdKh"));

    Range range(kComboCount, 0.0);
    range[InternalOf("AhKh")] = 1.0;
    range[InternalOf("7s2d")] = 0.5;
    Range moved = PermuteRange(range, hearts_to_clubs);
    EXPECT_EQ(moved[InternalOf("AcKc")], 1.0);
    EXPECT_EQ(moved[InternalOf("7d2s")], 0.5);
    EXPECT_EQ(std::count(moved.begin(), moved.end(), 0.0), 1324);
    EXPECT_EQ(PermuteRange(moved, InverseSuits(hearts_to_clubs)), range);

    std::array<double, kCardCount> weights{};
    weights[MakeCard(5, 2)] = 3.0;
    EXPECT_EQ(PermuteDeckWeights(weights, hearts_to_clubs)[MakeCard(5, 0)], 3.0);
}

TEST(SuitPermutations, AlikeSuitsAreThoseTheCardsCannotTellApart) {
    EXPECT_EQ(AlikeSuits(ParseCards("Qs Jh 2h")), (SuitPermutation{0, 0, 2, 3}));
    EXPECT_EQ(AlikeSuits(ParseCards("Ks 7h 2d")), (SuitPermutation{0, 1, 2, 3}));
    EXPECT_EQ(AlikeSuits(ParseCards("Ah Kh Th")), (SuitPermutation{0, 0, 2, 0}));
    EXPECT_EQ(AlikeSuits(ParseCards("Ac Ad Ah")), (SuitPermutation{0, 0, 0, 3}));
    EXPECT_EQ(AlikeSuits(0), (SuitPermutation{0, 0, 0, 0}));
}

TEST(SetIsomorphismCommand, OnlyTheTextZeroTurnsASwitchOff) {
    State().cards = CardState{};
    EXPECT_TRUE(State().cards.IsomorphismFor(1));
    EXPECT_FALSE(State().cards.IsomorphismFor(2));
    EXPECT_FALSE(State().cards.IsomorphismFor(3));
    EXPECT_EQ(RunCommand("set_isomorphism 0 1"), "set_isomorphism ok!\n");
    EXPECT_FALSE(State().cards.IsomorphismFor(1));
    EXPECT_TRUE(State().cards.IsomorphismFor(2));
    EXPECT_EQ(RunCommand("set_isomorphism off on"), "set_isomorphism ok!\n");
    EXPECT_TRUE(State().cards.IsomorphismFor(1));
    EXPECT_TRUE(State().cards.IsomorphismFor(2));
    EXPECT_EQ(RunCommand("set_isomorphism 00 0"), "set_isomorphism ok!\n");
    EXPECT_TRUE(State().cards.IsomorphismFor(1));
    EXPECT_FALSE(State().cards.IsomorphismFor(2));
    EXPECT_EQ(RunCommand("set_isomorphism 0"), "ERROR: set_isomorphism incorrect or missing argument\n");
    EXPECT_TRUE(State().cards.IsomorphismFor(1));
    EXPECT_FALSE(State().cards.IsomorphismFor(3));
}
