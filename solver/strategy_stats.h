// Strategy statistics: how many decisions and information sets the solved strategies
// have per street, and how many of them are reachable, pure or dominated.
//
// Definitions (for the chosen player, or summed over both):
// - decision node: a node of the tree where the player acts;
// - canonical decision: one stored instance of a decision node, i.e. the node on one
//   runout (one per dealt turn card, or per turn and river pair, below the tree's board);
// - infoset: a canonical decision together with one combo of the player's range that the
//   runout's cards do not block; infoset-action: an infoset and one of its actions;
// - reachable: the player's own reach of the combo (range times its own frequencies on
//   the way) and the opponent's reach of the compatible combos are both positive;
// - pure: the largest action frequency is at least 1 - epsilon;
// - dominated: the combo's value of its strategy falls short of its best action's value
//   by more than epsilon times the starting pot (per matchup, as calc_ev prints values);
// - weighted: each infoset counts with the probability that the player holds the combo
//   and the hand reaches the decision (node_values.h), so the figure is the share of
//   play rather than of infosets.
// Frequencies and values within kStatsTolerance (times the pot for values) of the limit
// count as reaching it, so that float rounding of exact pure strategies and of equal
// action values does not count; a compatible opponent reach below kStatsTolerance times
// the opponent's whole reach at the decision counts as none (the float residue of
// subtracting card sums from the whole). Percentages are of all infosets, of the reachable ones,
// and of the reach weight; 0 where there is nothing to count.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "solver/cfr_engine.h"
#include "solver/decision_tally.h"

inline constexpr double kStatsTolerance = 1e-5;

// One row of the table: flop, turn, river and total.
template <class T>
using StreetColumns = std::array<T, 4>;

struct StrategyStats {
    StreetColumns<int64_t> decision_nodes{}, canonical_decisions{}, infosets{}, infoset_actions{};
    StreetColumns<double>  infosets_per_decision{};
    StreetColumns<double>  reachable{}, pure{}, reachable_pure{}, weighted_pure{};
    StreetColumns<double>  dominated{}, reachable_dominated{}, weighted_dominated{};  // percent

    bool operator==(const StrategyStats&) const = default;
};

// The statistics of the reported strategies at threshold 'epsilon' (taken to the grid of
// threshold_grid.h); 'player' -1 covers both. Each player's figures come from the
// engine's kept counts (stats_answer_cache.h) when a walk or a result pass counted them for
// the present strategies, else from a walk of the whole tree for that player (every
// runout, reached or not: about a result pass), which is then kept (not on a tree with a
// forgotten street, which is always walked). The caller holds the tree mutex; throws
// StrategyUnavailable when a street's storage has been forgotten.
StrategyStats ComputeStrategyStats(const CfrEngine& engine, double epsilon, int player);

// The same figures always walked afresh (and kept).
StrategyStats WalkStrategyStats(const CfrEngine& engine, double epsilon, int player);

// Whether the counts of 'player' (0 or 1) are kept for the present strategies. The caller
// holds the tree mutex.
bool StrategyStatsKept(const CfrEngine& engine, int player);

// How the decisions of 'player' count. They are counted with the opponent's reach as the
// result passes carry it (its range scaled to a fixed mass); the weight unit turns the
// counted weights into the opponent's range's units, the same for both players.
CountScale StatsCountScale(const CfrEngine& engine, int player);

// How many counts per thread a count keeps: one for every thread a team may have.
int StatsThreadCount();

// What kept figures depend on: the engine's StrategyStamp and the pot that scales the
// dominance margin.
std::vector<double> StatsStamp(const CfrEngine& engine);
