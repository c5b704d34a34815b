#include "solver/strategy_stats.h"

#include <omp.h>

#include <algorithm>
#include <vector>

#include "cli/solver_state.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"
#include "tree/built_tree.h"

namespace {

using Tally   = StatsTally;
using Tallies = StatsTallies;

class StatsVisitor {
public:
    StatsVisitor(const CfrEngine& engine, int player, double epsilon)
        : engine_(engine), range_(engine.Tree().Range(player)), epsilon_(epsilon),
          value_margin_((epsilon + kStatsTolerance) * State().tree.params.StartingPot()),
          per_thread_(std::max(omp_get_max_threads(), 1)) {}

    void operator()(const DecisionVisit& v) {
        const int thread = omp_get_thread_num();
        Tally&    tally  = per_thread_[thread].tallies[engine_.Tree().Node(v.node).street - 1];
        Columns&  c      = per_thread_[thread].columns;
        const int n      = v.runout->Size();
        c.Fill(v, n);
        Tally add;  // this visit's counts, kept in registers
        add.instances = 1;
        for (int i = 0; i < n; ++i) {
            if (!(range_[v.runout->list->combo[i]] > 0))
                continue;
            const double weight    = double(v.own_reach[i]) * c.mass[i] * v.chance;
            const bool   reachable = weight > 0;
            const bool   pure      = c.largest[i] >= 1.0 - epsilon_ - kStatsTolerance;
            const bool   dominated =
                c.mass[i] > 0 && (c.best[i] - c.played[i]) / c.mass[i] > value_margin_;
            ++add.infosets;
            add.reachable += reachable;
            add.pure += pure;
            add.reachable_pure += reachable && pure;
            add.dominated += dominated;
            add.reachable_dominated += reachable && dominated;
            add.weight += weight;
            add.pure_weight += pure ? weight : 0;
            add.dominated_weight += dominated ? weight : 0;
        }
        add.infoset_actions = add.infosets * v.actions;
        tally.Add(add);
    }

    // Per-thread tallies added in thread order.
    Tallies Total() const {
        Tallies total{};
        for (const PerThread& thread : per_thread_)
            for (int s = 0; s < 3; ++s) {
                const Tallies& t = thread.tallies;
                total[s].Add(t[s]);
                total[3].Add(t[s]);
            }
        return total;
    }

private:
    // Per combo of one visit: the opponent's compatible reach, the largest action
    // frequency, the best action's value and the value of the strategy. Filled action by
    // action over contiguous rows.
    struct Columns {
        std::vector<float>  mass, largest;
        std::vector<double> best, played;

        void Fill(const DecisionVisit& v, int n) {
            mass.resize(n), largest.assign(n, 0.0f), best.resize(n), played.assign(n, 0.0);
            CompatibleMass(*v.runout->list, v.opponent_reach, mass.data());
            float* __restrict  top  = largest.data();
            double* __restrict high = best.data();
            double* __restrict sum  = played.data();
            for (int i = 0; i < n; ++i)
                high[i] = v.action_values[0][i];
            for (int a = 0; a < v.actions; ++a) {
                const float* __restrict frequency = v.strategy + a * v.stride;
                const float* __restrict value     = v.action_values[a];
                for (int i = 0; i < n; ++i) {
                    top[i]  = std::max(top[i], frequency[i]);
                    high[i] = std::max(high[i], double(value[i]));
                    sum[i] += double(frequency[i]) * value[i];
                }
            }
        }
    };

    struct PerThread {
        Tallies tallies{};
        Columns columns;
    };

    const CfrEngine&           engine_;
    const std::vector<double>& range_;
    double                     epsilon_;
    double                     value_margin_;
    std::vector<PerThread>     per_thread_;
};

Tallies WalkPlayer(const CfrEngine& engine, int player, double epsilon) {
    const Runout        root = RootRunout(engine.Runouts());
    const RunoutCombos& list = *root.list;
    std::vector<float>  reach[2];
    for (int p = 0; p < 2; ++p) {
        reach[p].resize(list.Size());
        for (int i = 0; i < list.Size(); ++i)
            reach[p][i] = static_cast<float>(std::max(engine.Tree().Range(p)[list.combo[i]], 0.0));
    }
    StatsVisitor visitor(engine, player, epsilon);
    SubtreeWalk  walk(engine, player);
    walk.SetVisitor([&visitor](const DecisionVisit& v) { visitor(v); });
    std::vector<float> values(list.Size());
    walk.RequireStorage(0);
    walk.Values(0, root, reach[player].data(), reach[1 - player].data(), values.data());
    return visitor.Total();
}

double Percent(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

// What the figures depend on: the strategies and conditions, and the pot that scales the
// dominance margin.
std::vector<double> StatsStamp(const CfrEngine& engine) {
    std::vector<double> stamp = engine.StrategyStamp();
    stamp.push_back(State().tree.params.StartingPot());
    return stamp;
}

// The tallies of 'player': kept ones when 'cached' and the cache holds them for the
// present strategies, else walked (and kept).
Tallies TalliesOf(const CfrEngine& engine, int player, double epsilon, bool cached) {
    const std::vector<double> stamp = StatsStamp(engine);
    StatsAnswerCache&         cache = engine.StatsAnswers();
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
