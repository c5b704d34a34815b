// Cards and card sets.
//
// A card id is suit * 13 + rank, ranks 2..A = 0..12, suits c, d, h, s = 0..3, so the
// clubs are 0..12 and the spades 39..51. A CardMask is a 64-bit set of card ids
// (bit number = card id; bits 52..63 stay zero). Card text is the upper-case rank
// character followed by the lower-case suit character ("Qs").
#pragma once

#include <bit>
#include <cstdint>
#include <string>

using CardMask = uint64_t;

constexpr int kRankCount  = 13;
constexpr int kSuitCount  = 4;
constexpr int kCardCount  = 52;
constexpr int kComboCount = 1326;

constexpr char kRankChars[] = "23456789TJQKA";
constexpr char kSuitChars[] = "cdhs";

constexpr int RankOf(int card) { return card % kRankCount; }
constexpr int SuitOf(int card) { return card / kRankCount; }
constexpr int MakeCard(int rank, int suit) { return suit * kRankCount + rank; }

constexpr CardMask CardBit(int card) { return CardMask{1} << card; }
constexpr int      CardCountOf(CardMask mask) { return std::popcount(mask); }

// The lowest card id of a non-empty mask.
constexpr int LowestCard(CardMask mask) { return std::countr_zero(mask); }

// The cards of all four suits whose rank lies below 'rank' (the cards a short deck
// with lowest rank 'rank' leaves out). Empty for rank 0.
constexpr CardMask CardsBelowRank(int rank) {
    CardMask one_suit = (CardMask{1} << rank) - 1;
    return one_suit | one_suit << 13 | one_suit << 26 | one_suit << 39;
}

// "Qs" for card 49.
std::string CardText(int card);
