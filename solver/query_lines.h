// Text of the per-combo query answers: value lines and combo listings.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cards/card.h"

// One protocol line of 1326 values given in internal combo order: in hand order, each
// value printed with 'format' (one double argument), separated by single blanks, a newline
// at the end. A NaN value prints as 'nan_text'. The line is built in a 64 KiB buffer; a
// line that would not fit throws CommandError "buffer too small".
std::string ValueLine(std::span<const double> values, const char* format, const char* nan_text);

// The same for equities: a NaN prints as "nan" when the combo shares a card with 'board',
// as "inf" otherwise.
std::string EquityLine(std::span<const double> equities, const char* format, CardMask board);

// The combos a per-combo listing shows, as hand-order indices: stably sorted by 'keys'
// (internal order), highest first, cut at the first NaN key (a NaN sorts as the lowest
// finite double, so every combo with a NaN key is left out).
std::vector<int> ListingOrder(std::span<const double> keys);
