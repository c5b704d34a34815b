#include "solver/strategy_stats.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "cli/solver_state.h"
#include "solver/decision_tally.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"
#include "tree/built_tree.h"

namespace {

using Tally   = StatsTally;
using Tallies = StatsTallies;

// Counts each visited decision into the counts of the thread that visits it.
class StatsVisitor {
public:
    StatsVisitor(const CfrEngine& engine, int player)
        : engine_(engine), player_(player), range_(engine.Tree().Range(player)),
          scale_(StatsCountScale(engine, player)), per_thread_(StatsThreadCount()) {}

    void operator()(const DecisionVisit& v) {
        CountDecision(v, player_, engine_.Tree().Node(v.node).street, range_, scale_,
                      per_thread_[omp_get_thread_num()]);
    }

    PlayerCounts Total() const {
        PlayerCounts total{{}, scale_.weight_unit};
        for (const StatsCounts& thread : per_thread_)
            total.counts.Add(thread);
        return total;
    }

private:
    const CfrEngine&           engine_;
    int                        player_;
    const std::vector<double>& range_;
    CountScale                 scale_;
    std::vector<StatsCounts>   per_thread_;
};

PlayerCounts WalkPlayer(const CfrEngine& engine, int player) {
    const Runout        root = RootRunout(engine.Runouts());
    const RunoutCombos& list = *root.list;
    // The player's own reach starts as its range; the opponent's is the passes' root reach,
    // so that the walk computes the values the result passes compute.
    std::vector<float> own(list.Size());
    for (int i = 0; i < list.Size(); ++i)
        own[i] = static_cast<float>(std::max(engine.Tree().Range(player)[list.combo[i]], 0.0));
    StatsVisitor visitor(engine, player);
    SubtreeWalk  walk(engine, player);
    walk.SetVisitor([&visitor](const DecisionVisit& v) { visitor(v); });
    std::vector<float> values(list.Size());
    walk.RequireStorage(0);
    walk.Values(0, root, own.data(), engine.RootReach(1 - player).data(), values.data());
    return visitor.Total();
}

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

// The figures of 'player' at 'epsilon': from kept counts when 'cached' and the cache holds
// them for the present strategies, else walked (and kept).
Tallies TalliesOf(const CfrEngine& engine, int player, double epsilon, bool cached) {
    // Storage dropped for a street and made again holds other strategies under the same
    // stamp: such a tree is always walked.
    if (engine.Incomplete() || engine.Tree().first_forgotten_street >= 0)
        return WalkPlayer(engine, player).At(epsilon);
    const std::vector<double> stamp = StatsStamp(engine);
    StatsAnswerCache&         cache = engine.StatsAnswers();
    if (cached)
        if (const PlayerCounts* kept = cache.Find(player, stamp))
            return kept->At(epsilon);
    PlayerCounts walked  = WalkPlayer(engine, player);
    const Tallies result = walked.At(epsilon);
    cache.Store(player, stamp, std::move(walked));
    return result;
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

CountScale StatsCountScale(const CfrEngine& engine, int player) {
    const RunoutCombos& list     = engine.Runouts().Root();
    const auto&         own      = engine.Tree().Range(player);
    const auto&         opponent = engine.Tree().Range(1 - player);
    const auto&         reach    = engine.RootReach(1 - player);
    double              own_mass = 0, opponent_mass = 0, reach_mass = 0;
    for (int i = 0; i < list.Size(); ++i) {
        own_mass += std::max(own[list.combo[i]], 0.0);
        opponent_mass += std::max(opponent[list.combo[i]], 0.0);
        reach_mass += reach[i];
    }
    // A street's weights add up to at most the own mass times the opponent's reach mass
    // per decision on a line (the chance weights of a street's runouts sum to 1), so
    // 2^56 units for their product leave room for 127 decisions of a street on a line.
    CountScale scale;
    scale.pot = State().tree.params.StartingPot();
    if (own_mass > 0 && reach_mass > 0) {
        scale.to_fixed    = std::ldexp(1.0, 56) / (own_mass * reach_mass);
        scale.weight_unit = opponent_mass / reach_mass / scale.to_fixed;
    }
    return scale;
}

int StatsThreadCount() { return std::max(State().settings.Threads(), omp_get_max_threads()); }

StrategyStats ComputeStrategyStats(const CfrEngine& engine, double epsilon, int player) {
    return StatsOf(engine, epsilon, player, true);
}

StrategyStats WalkStrategyStats(const CfrEngine& engine, double epsilon, int player) {
    return StatsOf(engine, epsilon, player, false);
}

bool StrategyStatsKept(const CfrEngine& engine, int player) {
    return engine.StatsAnswers().Find(player, StatsStamp(engine)) != nullptr;
}
