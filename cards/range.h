// Ranges: a player's starting weight for each of the 1326 combos, stored in internal
// combo order. A range that was never set is empty.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cards/card.h"

using Range = std::vector<double>;

constexpr int kPlayerCount = 2;  // 0 = OOP, 1 = IP

constexpr const char* kPlayerNames[kPlayerCount] = {"OOP", "IP"};

// Weights below this (and above zero) are rounded to zero when a range is set.
constexpr double kRoundToZeroBelow = 0.00001;

// What AdjustRange did and found.
struct RangeSummary {
    double min             = 0;
    double max             = 0;
    int    nonzero         = 0;  // weights above zero after adjustment
    int    rounded_to_zero = 0;  // weights in (0, kRoundToZeroBelow) set to zero
};

// Makes a range from 1326 weights given in hand order.
Range RangeFromHandOrder(std::span<const double, kComboCount> hand_order_weights);

// Rounds weights in (0, kRoundToZeroBelow) to zero (counting them), then zeroes every
// combo holding a card of rank below 'low_card' (not counted). Negative weights and
// weights above one stay as they are. Returns min, max and counts over all 1326 entries
// after adjustment. 'range' must hold 1326 weights.
RangeSummary AdjustRange(Range& range, int low_card);

// The protocol line of a range: the 1326 weights in hand order, each "%.12g" (NaN
// printed as "0"), separated by single blanks, with a newline. Combos sharing a card
// with 'blocked' are printed as 0; pass 0 to print the range as stored. 'range' holds
// 1326 weights in internal order (the caller applies any strategy frequencies first).
std::string FormatRangeLine(std::span<const double> range, CardMask blocked);

// The 13 x 13 grid of a range: a header line, then rows A..2, each cell the class mean
// in percent ("**" at 100 or more, ".." at 0 or less); suited classes right of the
// diagonal, offsuit left of it. Thirteen rows plus header, each ending in a newline; no
// terminator. An empty range prints as all "..".
std::string FormatRangeGrid(const Range& range);
