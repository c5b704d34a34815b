// Expected values and equities per combo at a query point, combined over the runouts the
// point covers (point_runouts.h). Results hold 1326 entries in internal combo order, in
// the user's suits. The caller holds the engine's tree mutex; StrategyUnavailable is
// thrown when a decision the answer needs holds no storage.
//
// The weight of a combo c on one covered runout is the probability that the player holds
// c and the hand reaches the point on that runout: the player's reach of c times the
// opponent's reach over the combos compatible with c, times the runout's chance, divided
// by the same joint reach over all combo pairs at the root. Weights of the root sum to 1;
// the weights of a point sum to the probability of reaching it. A figure combined over
// runouts is the weight-averaged figure; the second vector is the total weight. A combo
// with total weight 0 has figure NaN, one outside every covered runout's list weight NaN.
#pragma once

#include <vector>

#include "solver/cfr_engine.h"
#include "solver/query_point.h"

struct ComboFigures {
    std::vector<double> figure;  // 1326
    std::vector<double> weight;  // 1326
};

// The player's expected value per combo at the point under the reported strategies, in
// chips relative to owning half the starting pot. Reads the values the last result passes
// kept for flop and turn decisions where they are there (KeepValuesForQueries); else costs
// a result pass over the point's subtree for each covered runout.
ComboFigures ValuesAtPoint(const CfrEngine& engine, const QueryPoint& point, int player);

// Before ValuesAtPoint, without the tree mutex: when the point's values would come from
// the decisions result passes keep (a flop or turn decision of a tree whose storage is
// complete, no run under way) and the engine keeps none for the present strategies, runs
// the result passes (as calc_results does), so that this and the following value queries
// read them. Costs two result passes at most once per change of the strategies.
void KeepValuesForQueries(CfrEngine& engine, const QueryPoint& point);

// The player's all-in score per combo at the point against the opponent's range there:
// +1 win, 0 tie, -1 loss, averaged over the opponent's combos and the boards that
// complete each runout. Linear in the combos per completed board.
ComboFigures ScoresAtPoint(const CfrEngine& engine, const QueryPoint& point, int player);
