// Showdown strength: the hand value a combo shows down with on a complete board.
//
// By the must-use-hole-cards rule (rules.must_use_hole_cards):
//   0  the best hand of the five board cards and both hole cards;
//   1  the best five-card hand of exactly one hole card and four board cards;
//   2  the best five-card hand of both hole cards and three board cards.
// Values follow the rules' short deck and type order, so a larger strength wins and
// equal strengths split.
#pragma once

#include <cstdint>
#include <span>

#include "cards/card.h"
#include "cards/combo_tables.h"
#include "cards/hand_rules.h"

// The strength of the combo of two hole cards on a board of exactly five cards. 'board'
// and the hole cards must be disjoint. About 10 ns in mode 0, ten evaluations in modes
// 1 and 2.
uint32_t ShowdownStrength(CardMask board, ComboCards hole, const HandRules& rules);

// Fills strengths[i] with the strength of combos[i] (internal indices, as LiveCombos
// gives them) on a five-card board; an entry kNoCombo gets kNoHandValue (0xFFFFFFFF).
// The caller owns both buffers; 'strengths' must be as long as 'combos'. Linear in the
// list; the board's part of each hand is packed once per call.
void ShowdownStrengths(CardMask board, std::span<const uint16_t> combos, const HandRules& rules,
                       std::span<uint32_t> strengths);
