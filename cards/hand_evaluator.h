// The hand evaluator: three to seven cards in, one 32-bit hand value out (layout in
// hand_value.h; larger is stronger).
//
// Pipeline of EvaluateHand:
//  1. pack the cards into the rank-by-suit word (card_word.h);
//  2. value the word by table lookups on 13-bit rank masks (hand_evaluator_kernel.h);
//  3. short deck (rules.low_card > 0): a hand holding the ace and the four lowest ranks
//     of the deck but not the fifth also holds the lowest straight A-L-L+1-L+2-L+3; it
//     becomes 0x04030000 when straight beats the hand's type, or 0x08030000 when the
//     hand is a flush whose suit holds those five ranks and straight flush beats flush;
//  4. custom type order: the top byte becomes the type's position in the order.
// Types are chosen by the usual precedence; the order changes only how they compare.
//
// The tables must exist (InitEvaluatorTables at start-up; EvaluatorTables() builds them
// on first use otherwise). All functions are thread-safe and allocate nothing.
#pragma once

#include <cstdint>

#include "cards/card_word.h"
#include "cards/hand_rules.h"

// The value of n = 3..7 distinct card ids under 'rules'; 0 for any other n. About
// 10 ns for seven cards (see bench/eval_bench.cpp).
uint32_t EvaluateHand(const int* cards, int n, const HandRules& rules);

// The same for a packed hand of n cards.
uint32_t EvaluateWord(CardWord word, int n, const HandRules& rules);

// The plain poker value of a packed hand of n = 3..7 cards: no short-deck straight, no
// custom order (the hand classifier's view). 0 for any other n.
uint32_t RawHandValue(CardWord word, int n);
