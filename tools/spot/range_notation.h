// Range notation of spot files: comma-separated items, each with an optional weight.
//
//   QQ          a pair                  AKs, T9o   a suited or offsuit class
//   AK          both (all 16 combos)    AsKs       one combo
//   22+         22 to AA                A2s+       A2s to AKs (the kicker rises up to one
//                                                  below the first card); K8o+, A2+ alike
//   22-JJ       inclusive dash          A2s-AJs, K7o-KJo, A2-AJ  (same first card)
//   item:0.5    weight (default 1); a combo no item names weighs 0; a later item
//               overrides an earlier one for the combos they share.
// Rank characters are case-insensitive; blanks around items are ignored.
#pragma once

#include <stdexcept>
#include <string_view>
#include <vector>

class RangeNotationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The 1326 weights in the protocol's hand order. Throws RangeNotationError naming the
// item at fault.
std::vector<double> ExpandRange(std::string_view notation);
