// Counting decision instances into the strategy statistics (strategy_stats.h defines the
// figures). The statistics walk and the result passes both count through these
// functions, so that the same instance with the same numbers counts the same.
#pragma once

#include <vector>

#include "solver/stats_tally.h"
#include "solver/subtree_values.h"

// What a count needs besides the visits: the starting pot (a dominated strategy's
// shortfall is measured in pots), the factor that turns reach weights into the counts'
// fixed-point units, and the unit that turns the counted weights into the opponent's
// range's units (strategy_stats.h).
struct CountScale {
    double pot         = 1;
    double to_fixed    = 0;
    double weight_unit = 0;
};

// Adds one visit (a decision of 'player' on one runout) to 'counts' on the street 'street'
// (1 flop .. 3 river). 'range' is the player's range by combo.
void CountDecision(const DecisionVisit& v, int player, int street,
                   const std::vector<double>& range, const CountScale& scale,
                   StatsCounts& counts);

// Adds an instance the opponent does not reach (every compatible reach is 0): its
// infosets count, and at which thresholds they are pure, but none is reachable or
// dominated. 'list' is the runout's combo list, 'strategy' 'actions' rows at 'stride'.
void CountUnreachedDecision(const RunoutCombos& list, int player, int street, int actions,
                            const float* strategy, size_t stride,
                            const std::vector<double>& range, StatsCounts& counts);
