#include "solver/decision_tally.h"

#include <algorithm>

#include "solver/strategy_stats.h"

namespace {

// Per combo of one visit: the opponent's compatible reach, the largest action frequency,
// the best action's value, the value of the strategy and the reach weight. Filled action
// by action over contiguous rows; one set per thread.
struct Columns {
    std::vector<float>  mass, largest;
    std::vector<double> best, played, weight;

    void Fill(const DecisionVisit& v, int n) {
        mass.resize(n), largest.assign(n, 0.0f), best.resize(n), played.assign(n, 0.0);
        weight.resize(n);
        CompatibleMass(*v.runout->list, v.opponent_reach, mass.data());
        // The compatible sums subtract the combo's card sums from the whole reach: where
        // nothing is left, float cancellation leaves a residue of the whole's rounding.
        double whole = 0;
        for (int i = 0; i < n; ++i)
            whole += v.opponent_reach[i];
        const double floor = kStatsTolerance * whole;
        for (int i = 0; i < n; ++i)
            mass[i] = mass[i] > floor ? mass[i] : 0.0f;
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
        for (int i = 0; i < n; ++i)
            weight[i] = double(v.own_reach[i]) * mass[i] * v.chance;
    }
};

}  // namespace

StatsThreshold ThresholdFor(double epsilon, double starting_pot) {
    return {epsilon, 1.0 - epsilon - kStatsTolerance, (epsilon + kStatsTolerance) * starting_pot};
}

void CountDecision(const DecisionVisit& v, int street, const std::vector<double>& range,
                   std::span<const StatsThreshold> thresholds, ThresholdTallies& tallies) {
    thread_local Columns c;
    const int            n     = v.runout->Size();
    const uint16_t*      combo = v.runout->list->combo.data();
    c.Fill(v, n);
    // What every threshold shares, then per threshold the pure and dominated counts.
    StatsTally common;
    common.instances = 1;
    for (int i = 0; i < n; ++i) {
        if (!(range[combo[i]] > 0))
            continue;
        ++common.infosets;
        common.reachable += c.weight[i] > 0;
        common.weight += c.weight[i];
    }
    common.infoset_actions = common.infosets * v.actions;
    for (size_t t = 0; t < thresholds.size(); ++t) {
        const StatsThreshold& threshold = thresholds[t];
        StatsTally            add       = common;  // kept in registers until added
        for (int i = 0; i < n; ++i) {
            if (!(range[combo[i]] > 0))
                continue;
            const double weight    = c.weight[i];
            const bool   reachable = weight > 0;
            const bool   pure      = c.largest[i] >= threshold.pure_floor;
            const bool   dominated =
                c.mass[i] > 0 && (c.best[i] - c.played[i]) / c.mass[i] > threshold.value_margin;
            add.pure += pure;
            add.reachable_pure += reachable && pure;
            add.dominated += dominated;
            add.reachable_dominated += reachable && dominated;
            add.pure_weight += pure ? weight : 0;
            add.dominated_weight += dominated ? weight : 0;
        }
        tallies.At(static_cast<int>(t), street).Add(add);
    }
}

void CountUnreachedDecision(const RunoutCombos& list, int street, int actions,
                            const float* strategy, size_t stride,
                            const std::vector<double>& range,
                            std::span<const StatsThreshold> thresholds, ThresholdTallies& tallies) {
    const int       n     = list.Size();
    const uint16_t* combo = list.combo.data();
    thread_local std::vector<float> largest;
    largest.assign(n, 0.0f);
    for (int a = 0; a < actions; ++a)
        for (int i = 0; i < n; ++i)
            largest[i] = std::max(largest[i], strategy[a * stride + i]);
    StatsTally common;
    common.instances = 1;
    for (int i = 0; i < n; ++i)
        common.infosets += range[combo[i]] > 0;
    common.infoset_actions = common.infosets * actions;
    for (size_t t = 0; t < thresholds.size(); ++t) {
        StatsTally add = common;
        for (int i = 0; i < n; ++i)
            add.pure += range[combo[i]] > 0 && largest[i] >= thresholds[t].pure_floor;
        tallies.At(static_cast<int>(t), street).Add(add);
    }
}
