// The betting lines a spot stands for, as add_line amounts.
//
// Amounts are the running totals each player has put in beyond the starting pot. At
// every decision, with 'mine' the acting player's total, 'high' the largest total so far,
// 'pot' the starting pot plus both totals and 'bets' the bets and raises of this street:
//   1. the passive action is always there: check when no bet is open (a second check
//      closes the street), call (high) when one is;
//   2. aggressive actions only while high < eff_stack and bets < max_bets: a bet of
//      fraction f goes to mine + round(f x pot); a raise of fraction f to
//      high + round(f x (pot + high - mine)); a size whose increment (total - mine)
//      exceeds allin_threshold x (eff_stack - mine), or that reaches eff_stack, becomes
//      all-in; with 'allin' all-in is always offered; equal totals merge and only totals
//      above high count. round() rounds half away from zero;
//   3. without 'donk', OOP may not bet first on the turn or river after it called a bet
//      to close the previous street;
//   4. a call of all-in and the close of the river end a line. Folds are not written:
//      every bet gets its fold answer automatically.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/spot/spot.h"

using SpotLine = std::vector<int64_t>;

// Every path from the root to an end, passive actions before aggressive ones and sizes
// in ascending order. Exponential in max_bets like the tree it describes.
std::vector<SpotLine> SpotLines(const Spot& spot);
