// Suit relabelling for isomorphic boards.
//
// Suits have no rank, so boards that differ only by a renaming of suits have the same
// solution. RelabelSuits renames the suits of a board into one canonical labelling
// (monotone flop suit first, then the two-card suit of a two-tone flop, ...); the other
// helpers carry cards, combos, ranges and deck weights across any such renaming.
#pragma once

#include <array>
#include <cstdint>

#include "cards/card.h"
#include "cards/range.h"

// The new suit of each old suit (a permutation of 0..3).
using SuitPermutation = std::array<uint8_t, kSuitCount>;

constexpr SuitPermutation kIdentitySuits = {0, 1, 2, 3};

// Computes the canonical relabelling of a board and rewrites its masks in place:
//  1. a monotone flop's suit gets label 0; a two-tone flop's two-card suit 0 and its
//     one-card suit 1; a rainbow flop's suits 0, 1, 2 in ascending suit order;
//  2. the turn card's suit, then the river card's, if still unlabelled, the next label;
//  3. the remaining suits the next labels in the order c, d, h, s.
// Example: Qs Jh 2h gives h -> c, s -> d, c -> h, d -> s, so the flop becomes Jc 2c Qd.
SuitPermutation RelabelSuits(CardMask& flop, CardMask& turn, CardMask& river);

// The permutation that undoes 'permutation'.
SuitPermutation InverseSuits(const SuitPermutation& permutation);

constexpr int PermuteCard(int card, const SuitPermutation& permutation) {
    return MakeCard(RankOf(card), permutation[SuitOf(card)]);
}

// Moves the 13 bits of each old suit s to the 13 bits of suit permutation[s].
CardMask PermuteSuits(CardMask mask, const SuitPermutation& permutation);

// The internal index of the combo whose cards are those of 'internal' with their suits
// renamed.
int PermuteCombo(int internal, const SuitPermutation& permutation);

// A range (internal order) with every combo's weight moved to its renamed combo.
Range PermuteRange(const Range& range, const SuitPermutation& permutation);

// Deck weights (card id order) with each old suit's 13 weights moved to its new suit.
std::array<double, kCardCount> PermuteDeckWeights(const std::array<double, kCardCount>& weights,
                                                  const SuitPermutation& permutation);

// For each suit, the lowest suit holding exactly the same ranks among 'cards'. Suits
// mapped to the same representative cannot be told apart by those cards: for a flop
// with no hearts and no spades, hearts and spades both map to hearts.
SuitPermutation AlikeSuits(CardMask cards);
