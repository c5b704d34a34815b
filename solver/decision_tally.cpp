#include "solver/decision_tally.h"

#include <algorithm>

#include "cards/card.h"
#include "solver/strategy_stats.h"

namespace {

constexpr int kSumTables = 4;

// Per combo of the list: the sum of 'reach' over the combos sharing no card with it (the
// whole reach less the sums of the combo's two cards, plus its own reach, counted in both).
// Returns the whole reach. Consecutive combos often share a card: the card sums are kept
// in kSumTables tables, so that an addition does not wait for the one before.
float CompatibleReach(const RunoutCombos& list, const float* reach, float* mass) {
    float           sums[kSumTables][kCardCount] = {};
    float           totals[kSumTables]           = {};
    const int       n     = list.Size();
    const CardPair* cards = list.cards.data();
    int             i     = 0;
    for (; i + kSumTables <= n; i += kSumTables)
        for (int k = 0; k < kSumTables; ++k) {
            sums[k][cards[i + k].first] += reach[i + k];
            sums[k][cards[i + k].second] += reach[i + k];
            totals[k] += reach[i + k];
        }
    for (; i < n; ++i) {
        sums[0][cards[i].first] += reach[i];
        sums[0][cards[i].second] += reach[i];
        totals[0] += reach[i];
    }
    static_assert(kSumTables == 4);
    float card[kCardCount];
    for (int c = 0; c < kCardCount; ++c)
        card[c] = (sums[0][c] + sums[1][c]) + (sums[2][c] + sums[3][c]);
    const float whole = (totals[0] + totals[1]) + (totals[2] + totals[3]);
#pragma omp simd
    for (int j = 0; j < n; ++j)
        mass[j] = whole - card[cards[j].first] - card[cards[j].second] + reach[j];
    return whole;
}

// Per combo of one visit: whether the combo is in the player's range (1 or 0), the
// opponent's compatible reach, the largest action frequency, the best action's value, the
// strategy's value and the reach weight (0 outside the range). One set per thread. The
// loops are vector loops; sums run in vector lanes, the same for every caller, so equal
// visits add up to equal tallies.
struct Columns {
    std::vector<float>  mass, largest, best, played;
    std::vector<double> weight, in_range;

    void Fill(const DecisionVisit& v, const std::vector<double>& range, int n) {
        mass.resize(n), largest.resize(n), best.resize(n), played.resize(n), weight.resize(n);
        in_range.resize(n);
        const float whole = CompatibleReach(*v.runout->list, v.opponent_reach, mass.data());
        // The compatible sums subtract the combo's card sums from the whole reach: where
        // nothing is left, float cancellation leaves a residue of the whole's rounding.
        float* __restrict m     = mass.data();
        const float       floor = static_cast<float>(kStatsTolerance) * whole;
#pragma omp simd
        for (int i = 0; i < n; ++i)
            m[i] = m[i] > floor ? m[i] : 0.0f;

        float* __restrict top   = largest.data();
        float* __restrict high  = best.data();
        float* __restrict sum   = played.data();
        const float*      first = v.action_values[0];
#pragma omp simd
        for (int i = 0; i < n; ++i)
            top[i] = 0.0f, high[i] = first[i], sum[i] = 0.0f;
        for (int a = 0; a < v.actions; ++a) {
            const float* __restrict frequency = v.strategy + a * v.stride;
            const float* __restrict value     = v.action_values[a];
#pragma omp simd
            for (int i = 0; i < n; ++i) {
                top[i]  = std::max(top[i], frequency[i]);
                high[i] = std::max(high[i], value[i]);
                sum[i] += frequency[i] * value[i];
            }
        }
        const uint16_t* __restrict combo  = v.runout->list->combo.data();
        const double* __restrict   held   = range.data();
        const float* __restrict    own    = v.own_reach;
        double* __restrict         w      = weight.data();
        double* __restrict         in     = in_range.data();
        const double               chance = v.chance;
#pragma omp simd
        for (int i = 0; i < n; ++i) {
            const double inside = held[combo[i]] > 0 ? 1.0 : 0.0;
            in[i]               = inside;
            w[i]                = inside * (double(own[i]) * m[i] * chance);
        }
    }
};

}  // namespace

StatsThreshold ThresholdFor(double epsilon, double starting_pot) {
    return {epsilon, 1.0 - epsilon - kStatsTolerance, (epsilon + kStatsTolerance) * starting_pot};
}

void CountDecision(const DecisionVisit& v, int street, const std::vector<double>& range,
                   std::span<const StatsThreshold> thresholds, ThresholdTallies& tallies) {
    thread_local Columns c;
    const int            n = v.runout->Size();
    c.Fill(v, range, n);
    const double* __restrict in     = c.in_range.data();
    const float* __restrict  mass   = c.mass.data();
    const float* __restrict  top    = c.largest.data();
    const float* __restrict  best   = c.best.data();
    const float* __restrict  played = c.played.data();
    const double* __restrict weight = c.weight.data();
    // What every threshold shares, then per threshold the pure and dominated counts
    // (counted in doubles, exact far beyond any count here, so that one vector loop
    // does all the sums).
    double infosets = 0, reachable = 0, weights = 0;
#pragma omp simd reduction(+ : infosets, reachable, weights)
    for (int i = 0; i < n; ++i) {
        infosets += in[i];
        reachable += weight[i] > 0 ? 1.0 : 0.0;
        weights += weight[i];
    }
    StatsTally common;
    common.instances       = 1;
    common.infosets        = static_cast<int64_t>(infosets);
    common.infoset_actions = common.infosets * v.actions;
    common.reachable       = static_cast<int64_t>(reachable);
    common.weight          = weights;
    for (size_t t = 0; t < thresholds.size(); ++t) {
        const float pure_floor = static_cast<float>(thresholds[t].pure_floor);
        const float margin     = static_cast<float>(thresholds[t].value_margin);
        double      pure = 0, reachable_pure = 0, dominated = 0, reachable_dominated = 0;
        double      pure_weight = 0, dominated_weight = 0;
#pragma omp simd reduction(+ : pure, reachable_pure, dominated, reachable_dominated, \
                               pure_weight, dominated_weight)
        for (int i = 0; i < n; ++i) {
            // 1 or 0 per combo: products instead of branches in the vector loop.
            const double pure_here = in[i] > 0 && top[i] >= pure_floor ? 1.0 : 0.0;
            const double dominated_here =
                mass[i] > 0 && best[i] - played[i] > margin * mass[i] ? 1.0 : 0.0;
            const double reached = weight[i] > 0 ? 1.0 : 0.0;  // in the range, reached by both
            pure += pure_here;
            reachable_pure += pure_here * reached;
            dominated += dominated_here * in[i];
            reachable_dominated += dominated_here * reached;
            pure_weight += pure_here * weight[i];
            dominated_weight += dominated_here * weight[i];
        }
        StatsTally add          = common;
        add.pure                = static_cast<int64_t>(pure);
        add.reachable_pure      = static_cast<int64_t>(reachable_pure);
        add.dominated           = static_cast<int64_t>(dominated);
        add.reachable_dominated = static_cast<int64_t>(reachable_dominated);
        add.pure_weight         = pure_weight;
        add.dominated_weight    = dominated_weight;
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
        const float pure_floor = static_cast<float>(thresholds[t].pure_floor);  // as above
        StatsTally  add        = common;
        for (int i = 0; i < n; ++i)
            add.pure += (range[combo[i]] > 0) & (largest[i] >= pure_floor);
        tallies.At(static_cast<int>(t), street).Add(add);
    }
}
