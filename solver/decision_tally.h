// Counting decision instances into the strategy statistics (strategy_stats.h defines the
// figures). The statistics walk and the result passes both count through these
// functions, so that the same instance with the same numbers counts the same.
#pragma once

#include <span>
#include <vector>

#include "solver/stats_tally.h"
#include "solver/subtree_values.h"

// A threshold and what it compares: the least largest frequency of a pure strategy and the
// least shortfall per matchup of a dominated one (both with kStatsTolerance).
struct StatsThreshold {
    double epsilon      = 0;
    double pure_floor   = 1;
    double value_margin = 0;
};

StatsThreshold ThresholdFor(double epsilon, double starting_pot);

// Adds one visit (a decision of the player on one runout) to 'tallies' at every threshold,
// on the street 'street' (1 flop .. 3 river). 'range' is the player's range by combo.
void CountDecision(const DecisionVisit& v, int street, const std::vector<double>& range,
                   std::span<const StatsThreshold> thresholds, ThresholdTallies& tallies);

// Adds an instance the opponent does not reach (every compatible reach is 0): its
// infosets count, and which of them are pure, but none is reachable or dominated.
// 'list' is the runout's combo list, 'strategy' 'actions' rows at 'stride'.
void CountUnreachedDecision(const RunoutCombos& list, int street, int actions,
                            const float* strategy, size_t stride,
                            const std::vector<double>& range,
                            std::span<const StatsThreshold> thresholds, ThresholdTallies& tallies);
