// The expected-value boost of a decision node (`set_ev_boost`, b in [-0.99, 1]).
//
// In update passes only, the value vector a boosted node returns to its parent is
// rescaled according to what the node is:
//   showdown end, or a decision on a later street than the parent:
//       positive values * (1 + b), negative values * 1/(1 + b)
//   fold end:                                all values * (1 - b)
//   decision on the same street as parent:   positive values * (1 + b), others unchanged
// 1/(1 + b) is computed in double precision and rounded to float. Linear in n, in place.
#pragma once

enum class BoostedReturn { kShowdownEnd, kFoldEnd, kLaterStreetDecision, kSameStreetDecision };

void ApplyEvBoost(BoostedReturn kind, float boost, float* values, int n);
