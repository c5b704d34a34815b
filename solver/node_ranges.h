// Ranges, strategies and reach at a query point, combined over the runouts the point
// covers (point_runouts.h). Per-combo results hold 1326 entries in internal combo order,
// in the user's suits. Every function expects the caller to hold the engine's tree mutex
// and throws StrategyUnavailable when a decision it needs holds no storage.
//
// Combining runouts. With every card named (or none to deal) a point covers one runout
// and the results are that runout's. Otherwise, per combo c:
// - range: the mean over the covered runouts c is live in (its cards not dealt) of the
//   player's reach of c, weighted by the runouts' chance: the probability that the
//   player, holding c, plays the line when the open cards fall at random;
// - strategy: the actor's frequencies averaged over those runouts weighted by chance
//   times the actor's reach of c (the frequency with which c takes each action whenever
//   it arrives at the point); where c never arrives, the plain chance-weighted mean.
#pragma once

#include <array>
#include <vector>

#include "solver/cfr_engine.h"
#include "solver/query_point.h"

struct PointStrategy {
    int                 actions = 0;
    std::vector<double> frequencies;  // actions x 1326; NaN for combos in no covered runout
    std::vector<double> child_range;  // actions x 1326: the actor's range at each child
};

struct PointSummary {
    // Each player's range at the point: the tree's range times the player's own strategy
    // frequencies on the path; 0 for combos that are blocked or in neither range.
    std::array<std::vector<double>, 2> range;
    // The actor's strategy at a decision point, when asked for (else no actions).
    PointStrategy strategy;
};

// Both ranges at the point and, with 'with_strategy' (a decision point, not a split
// point), the actor's strategy there: one walk over the covered runouts.
PointSummary SummaryAtPoint(const CfrEngine& engine, const QueryPoint& point, bool with_strategy);

// The probability of reaching the point: the sum over the covered runouts of the joint
// reach of both players' combo pairs (card removal included), divided by the same sum at
// the root. 'with_named_chance' also multiplies in the probability of the cards the path
// names; otherwise the point is taken as given those cards. 1 at the root.
double ReachShareAtPoint(const CfrEngine& engine, const QueryPoint& point, bool with_named_chance);

// The joint reach of both players' combo pairs at the root, the denominator of the
// per-combo weights (node_values.h).
double RootPairMass(const CfrEngine& engine);
