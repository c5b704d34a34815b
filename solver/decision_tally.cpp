#include "solver/decision_tally.h"

#include <algorithm>

#include "cards/card.h"
#include "solver/span_rows.h"
#include "solver/strategy_stats.h"

namespace {

constexpr int kSumTables = 4;

// Per combo of the list's entries first .. end - 1: the sum of 'reach' over the combos
// sharing no card with it (the whole reach less the sums of the combo's two cards, plus its
// own reach, counted in both). Returns the whole reach. Consecutive combos often share a
// card: the card sums are kept in kSumTables tables, so that an addition does not wait for
// the one before.
float CompatibleReach(const RunoutCombos& list, const float* reach, int first, int end,
                      float* mass) {
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
    for (int j = first; j < end; ++j)
        mass[j] = whole - card[cards[j].first] - card[cards[j].second] + reach[j];
    return whole;
}

// Per combo of one visit: whether the combo is in the player's range (1 or 0), the
// opponent's compatible reach, the largest action frequency, the best action's value, the
// strategy's value and the reach weight (0 outside the range). One set per thread. The
// loops are vector loops, the same for every caller, so equal visits give equal numbers.
struct Columns {
    std::vector<float>   mass, largest, best, played;
    std::vector<double>  weight, in_range;
    std::vector<int32_t> pure_bin, dominated_bin;
    std::vector<int64_t> fixed_weight;

    // Entries first .. end - 1 of the list: the player's span.
    void Fill(const DecisionVisit& v, const std::vector<double>& range, int first, int end) {
        const int n = end;
        mass.resize(n), largest.resize(n), best.resize(n), played.resize(n), weight.resize(n);
        in_range.resize(n);
        const float whole =
            CompatibleReach(*v.runout->list, v.opponent_reach, first, end, mass.data());
        // The compatible sums subtract the combo's card sums from the whole reach: where
        // nothing is left, float cancellation leaves a residue of the whole's rounding.
        float* __restrict m     = mass.data();
        const float       floor = static_cast<float>(kStatsTolerance) * whole;
#pragma omp simd
        for (int i = first; i < n; ++i)
            m[i] = m[i] > floor ? m[i] : 0.0f;

        float* __restrict top   = largest.data();
        float* __restrict high  = best.data();
        float* __restrict sum   = played.data();
        const float*      values = v.action_values[0];
#pragma omp simd
        for (int i = first; i < n; ++i)
            top[i] = 0.0f, high[i] = values[i], sum[i] = 0.0f;
        for (int a = 0; a < v.actions; ++a) {
            const float* __restrict frequency = v.strategy + a * v.stride;
            const float* __restrict value     = v.action_values[a];
#pragma omp simd
            for (int i = first; i < n; ++i) {
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
        for (int i = first; i < n; ++i) {
            const double inside = held[combo[i]] > 0 ? 1.0 : 0.0;
            in[i]               = inside;
            w[i]                = inside * (double(own[i]) * m[i] * chance);
        }
    }

    // Per combo: the bin of the least threshold at which its strategy is pure (its largest
    // frequency reaches 1 - threshold), the bin of the least at which it is not dominated
    // (its shortfall per matchup, in pots, no longer exceeds the threshold), and its weight
    // in fixed point.
    void Bin(double pot, double to_fixed, int first, int end) {
        const int n = end;
        pure_bin.resize(n), dominated_bin.resize(n), fixed_weight.resize(n);
        const ThresholdTables    grid      = ThresholdGrid::Get().Tables();
        const float              per_pot   = pot > 0 ? static_cast<float>(1.0 / pot) : 1.0f;
        const float              tolerance = static_cast<float>(kStatsTolerance);
        const float* __restrict  m         = mass.data();
        const float* __restrict  top       = largest.data();
        const float* __restrict  high      = best.data();
        const float* __restrict  sum       = played.data();
        const double* __restrict w         = weight.data();
        int32_t* __restrict      pure      = pure_bin.data();
        int32_t* __restrict      dominated = dominated_bin.data();
        int64_t* __restrict      fixed     = fixed_weight.data();
#pragma omp simd
        for (int i = first; i < n; ++i) {
            // A combo the opponent does not reach is never dominated (its shortfall is 0).
            const float reach     = m[i] > 0 ? m[i] : 1.0f;
            const float shortfall = (high[i] - sum[i]) * per_pot / reach * float(m[i] > 0);
            pure[i]               = grid.FloatBin(1.0f - tolerance - top[i]);
            dominated[i]          = grid.FloatBin(shortfall - tolerance);
            fixed[i]              = static_cast<int64_t>(w[i] * to_fixed + 0.5);
        }
    }
};

}  // namespace

void CountDecision(const DecisionVisit& v, int player, int street,
                   const std::vector<double>& range, const CountScale& scale,
                   StatsCounts& counts) {
    thread_local Columns c;
    const ComboSpan      span = SpanWithin(v.runout->list->span[player], v.runout->Size());
    c.Fill(v, range, span.first, span.End());
    c.Bin(scale.pot, scale.to_fixed, span.first, span.End());
    StreetCounts& s        = counts.Street(street);
    int64_t       infosets = 0, reachable = 0, weights = 0;
    // Bin 0 (pure at threshold 0, or never dominated) takes most infosets of a solved
    // tree: it is summed here rather than through memory, one infoset after the other.
    BinCount pure_at_zero, never_dominated;
    for (int i = span.first; i < span.End(); ++i) {
        if (!(c.in_range[i] > 0))
            continue;
        const int64_t reached = c.weight[i] > 0 ? 1 : 0;
        const int64_t weight  = c.fixed_weight[i];
        ++infosets, reachable += reached, weights += weight;
        const int pure_bin = c.pure_bin[i], dominated_bin = c.dominated_bin[i];
        (pure_bin ? s.pure[pure_bin] : pure_at_zero).Add(reached, weight);
        (dominated_bin ? s.dominated[dominated_bin] : never_dominated).Add(reached, weight);
    }
    s.pure[0].Add(pure_at_zero);
    s.dominated[0].Add(never_dominated);
    ++s.instances;
    s.infosets += infosets;
    s.infoset_actions += infosets * v.actions;
    s.reachable += reachable;
    s.weight += weights;
}

void CountUnreachedDecision(const RunoutCombos& list, int player, int street, int actions,
                            const float* strategy, size_t stride,
                            const std::vector<double>& range, StatsCounts& counts) {
    const ComboSpan span  = SpanWithin(list.span[player], list.Size());
    const uint16_t* combo = list.combo.data();
    thread_local std::vector<float> largest;
    largest.assign(span.End(), 0.0f);
    for (int a = 0; a < actions; ++a)
        for (int i = span.first; i < span.End(); ++i)
            largest[i] = std::max(largest[i], strategy[a * stride + i]);
    const ThresholdTables grid      = ThresholdGrid::Get().Tables();
    const float           tolerance = static_cast<float>(kStatsTolerance);
    StreetCounts&         s         = counts.Street(street);
    int64_t               infosets  = 0;
    BinCount              pure_at_zero;  // summed here, as in CountDecision
    for (int i = span.first; i < span.End(); ++i) {
        if (!(range[combo[i]] > 0))
            continue;
        ++infosets;
        const int pure_bin = grid.FloatBin(1.0f - tolerance - largest[i]);
        (pure_bin ? s.pure[pure_bin] : pure_at_zero).Add(0, 0);
    }
    s.pure[0].Add(pure_at_zero);
    s.dominated[0].Add({infosets, 0, 0});  // none is dominated
    ++s.instances;
    s.infosets += infosets;
    s.infoset_actions += infosets * actions;
}
