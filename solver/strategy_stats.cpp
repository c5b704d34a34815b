#include "solver/strategy_stats.h"

#include <omp.h>

#include <algorithm>
#include <vector>

#include "cli/solver_state.h"
#include "solver/decision_tally.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"
#include "tree/built_tree.h"

namespace {

using Tally   = StatsTally;
using Tallies = StatsTallies;

// Counts each visited decision into the tallies of the thread that visits it.
class StatsVisitor {
public:
    StatsVisitor(const CfrEngine& engine, int player, double epsilon)
        : engine_(engine), engine_player_(player), range_(engine.Tree().Range(player)),
          threshold_{ThresholdFor(epsilon, State().tree.params.StartingPot())},
          per_thread_(State().settings.Threads(), ThresholdTallies(1)) {}

    void operator()(const DecisionVisit& v) {
        CountDecision(v, engine_.Tree().Node(v.node).street, range_, threshold_,
                      per_thread_[omp_get_thread_num()]);
    }

    // Per-thread tallies added in thread order.
    Tallies Total() const {
        ThresholdTallies total(1);
        for (const ThresholdTallies& thread : per_thread_)
            total.Add(thread);
        return total.Columns(0, StatsWeightScale(engine_, 1 - engine_player_));
    }

private:
    const CfrEngine&              engine_;
    int                           engine_player_;
    const std::vector<double>&    range_;
    StatsThreshold                threshold_[1];
    std::vector<ThresholdTallies> per_thread_;
};

Tallies WalkPlayer(const CfrEngine& engine, int player, double epsilon) {
    const Runout        root = RootRunout(engine.Runouts());
    const RunoutCombos& list = *root.list;
    // The player's own reach starts as its range; the opponent's is the passes' root reach,
    // so that the walk computes the values the result passes compute.
    std::vector<float> own(list.Size());
    for (int i = 0; i < list.Size(); ++i)
        own[i] = static_cast<float>(std::max(engine.Tree().Range(player)[list.combo[i]], 0.0));
    StatsVisitor visitor(engine, player, epsilon);
    SubtreeWalk  walk(engine, player);
    walk.SetVisitor([&visitor](const DecisionVisit& v) { visitor(v); });
    std::vector<float> values(list.Size());
    walk.RequireStorage(0);
    walk.Values(0, root, own.data(), engine.RootReach(1 - player).data(), values.data());
    return visitor.Total();
}

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

// The tallies of 'player': kept ones when 'cached' and the cache holds them for the
// present strategies, else walked (and kept).
Tallies TalliesOf(const CfrEngine& engine, int player, double epsilon, bool cached) {
    const std::vector<double> stamp = StatsStamp(engine);
    StatsAnswerCache&         cache = engine.StatsAnswers();
    cache.Remember(player, epsilon);  // result passes count it from now on
    // Storage dropped for a street and made again holds other strategies under the same
    // stamp: such a tree is always walked.
    if (engine.Incomplete() || engine.Tree().first_forgotten_street >= 0)
        return WalkPlayer(engine, player, epsilon);
    if (cached)
        if (const Tallies* kept = cache.Find(player, epsilon, stamp))
            return *kept;
    const Tallies walked = WalkPlayer(engine, player, epsilon);
    cache.Store(player, epsilon, stamp, walked);
    return walked;
}

StrategyStats StatsOf(const CfrEngine& engine, double epsilon, int player, bool cached) {
    Tallies tallies{};
    for (int p = 0; p < 2; ++p) {
        if (player >= 0 && p != player)
            continue;
        const Tallies walked = TalliesOf(engine, p, epsilon, cached);
        for (int s = 0; s < 4; ++s)
            tallies[s].Add(walked[s]);
    }
    StrategyStats stats;
    for (const BuiltNode& node : engine.Tree().Nodes())
        if (node.IsDecision() && (player < 0 || node.player == player)) {
            ++stats.decision_nodes[node.street - 1];
            ++stats.decision_nodes[3];
        }
    for (int s = 0; s < 4; ++s) {
        const Tally& t                  = tallies[s];
        stats.canonical_decisions[s]    = t.instances;
        stats.infosets[s]               = t.infosets;
        stats.infoset_actions[s]        = t.infoset_actions;
        stats.infosets_per_decision[s]  = t.instances ? double(t.infosets) / t.instances : 0.0;
        stats.reachable[s]              = Percent(t.reachable, t.infosets);
        stats.pure[s]                   = Percent(t.pure, t.infosets);
        stats.reachable_pure[s]         = Percent(t.reachable_pure, t.reachable);
        stats.weighted_pure[s]          = Percent(t.pure_weight, t.weight);
        stats.dominated[s]              = Percent(t.dominated, t.infosets);
        stats.reachable_dominated[s]    = Percent(t.reachable_dominated, t.reachable);
        stats.weighted_dominated[s]     = Percent(t.dominated_weight, t.weight);
    }
    return stats;
}

}  // namespace

std::vector<double> StatsStamp(const CfrEngine& engine) {
    std::vector<double> stamp = engine.StrategyStamp();
    stamp.push_back(State().tree.params.StartingPot());
    return stamp;
}

double StatsWeightScale(const CfrEngine& engine, int player) {
    const RunoutCombos& list  = engine.Runouts().Root();
    const auto&         range = engine.Tree().Range(player);
    const auto&         reach = engine.RootReach(player);
    double              range_mass = 0, reach_mass = 0;
    for (int i = 0; i < list.Size(); ++i) {
        range_mass += std::max(range[list.combo[i]], 0.0);
        reach_mass += reach[i];
    }
    return reach_mass > 0 ? range_mass / reach_mass : 1.0;
}

StrategyStats ComputeStrategyStats(const CfrEngine& engine, double epsilon, int player) {
    return StatsOf(engine, epsilon, player, true);
}

StrategyStats WalkStrategyStats(const CfrEngine& engine, double epsilon, int player) {
    return StatsOf(engine, epsilon, player, false);
}

bool StrategyStatsKept(const CfrEngine& engine, double epsilon, int player) {
    const std::vector<double> stamp = StatsStamp(engine);
    return engine.StatsAnswers().Find(player, epsilon, stamp) != nullptr;
}
