#include <gtest/gtest.h>

#include <stdexcept>

#include "cards/card_parser.h"

TEST(CardIds, SuitMajorNumberingAndText) {
    EXPECT_EQ(MakeCard(0, 2), 26);  // 2h
    EXPECT_EQ(MakeCard(9, 2), 35);  // Jh
    EXPECT_EQ(MakeCard(10, 3), 49);  // Qs
    EXPECT_EQ(CardText(49), "Qs");
    EXPECT_EQ(CardText(8), "Tc");
    EXPECT_EQ(CardText(0), "2c");
    EXPECT_EQ(CardText(51), "As");
}

TEST(ParseCards, AcceptsBackToBackAndBlankSeparatedCardsInAnyCase) {
    CardMask expected = CardBit(49) | CardBit(35) | CardBit(26);
    EXPECT_EQ(ParseCards("QsJh2h"), expected);
    EXPECT_EQ(ParseCards("Qs Jh 2h"), expected);
    EXPECT_EQ(ParseCards("qsjh2H"), expected);
    EXPECT_EQ(ParseCards("Qs   Jh2h  "), expected);
    EXPECT_EQ(ParseCards(""), 0u);
    EXPECT_EQ(ParseCards("tD"), CardBit(MakeCard(8, 1)));
}

TEST(ParseCards, RefusesMalformedText) {
    for (const char* bad : {" Qs", "Q s", "Qx", "1s", "Q", "QsJ", "QsQs", "Qs,Jh", "10s", "Qs\tJh"}) {
        EXPECT_FALSE(TryParseCards(bad).has_value()) << bad;
        try {
            ParseCards(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "ERROR: invalid card\n");
        }
    }
}

TEST(ParseCards, LengthLimit) {
    std::string blanks_after_card = "As" + std::string(kMaxCardText - 2, ' ');
    EXPECT_EQ(TryParseCards(blanks_after_card), CardBit(51));
    EXPECT_FALSE(TryParseCards(blanks_after_card + " ").has_value());
}

TEST(FormatCardMask, AscendingCardIdsSeparatedByBlanks) {
    EXPECT_EQ(FormatCardMask(ParseCards("AsAh")), "Ah As");
    EXPECT_EQ(FormatCardMask(ParseCards("Ks7h2d2c")), "2c 2d 7h Ks");
    EXPECT_EQ(FormatCardMask(0), "");
    EXPECT_EQ(ParseCards(FormatCardMask(0x000F'FFFF'FFFF'FFFFull)), 0x000F'FFFF'FFFF'FFFFull);
}

TEST(CardsBelowRank, RemovesLowRanksOfAllSuits) {
    EXPECT_EQ(CardsBelowRank(0), 0u);
    EXPECT_EQ(CardsBelowRank(4), ParseCards("2c3c4c5c2d3d4d5d2h3h4h5h2s3s4s5s"));
    EXPECT_EQ(CardCountOf(~CardsBelowRank(4) & ((CardMask{1} << 52) - 1)), 36);
}
