// Contraction is off as in the kernel bodies: the batched sweeps give these bits.
#pragma GCC optimize("fp-contract=off")

#include "solver/fold_values.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "solver/rake.h"

void FoldValues(const SolverKernels& kernels, std::span<const CardPair> cards,
                const FoldLane& lane, TerminalScratch& scratch) {
    const int n = static_cast<int>(cards.size());
    if (lane.reach == nullptr) {
        std::fill_n(lane.values, n, 0.0f);
        return;
    }
    const float payoff = RakedFoldPayoff(lane.payoff, lane.rake_rate);
    float*      sums   = scratch.card_sums();
    std::fill_n(sums, kCardCount, 0.0f);
    float total = 0.0f;
    for (int i = 0; i < n; ++i) {
        if (!(lane.reach[i] > 0.0f))
            continue;
        float weight = payoff * lane.reach[i];
        sums[cards[i].first] += weight;
        sums[cards[i].second] += weight;
        total += weight;
    }
    if (std::fabs(total) <= FLT_MIN) {
        std::fill_n(lane.values, n, 0.0f);
        return;
    }
    const FoldOutputArgs args{lane.reach, cards.data(), sums, lane.values, payoff, total};
    kernels.FoldOutput(args, n);
}

void EvaluateFolds(const SolverKernels& kernels, std::span<const CardPair> cards,
                   std::span<const FoldLane> lanes, TerminalScratch& scratch) {
    if (lanes.size() <= size_t(kNarrowBatch)) {
        for (const FoldLane& lane : lanes)
            FoldValues(kernels, cards, lane, scratch);
        return;
    }
    for (size_t first = 0; first < lanes.size(); first += kMaxBatchLanes) {
        const int    count = static_cast<int>(std::min<size_t>(kMaxBatchLanes, lanes.size() - first));
        const float* reach[kMaxBatchLanes];
        float*       out[kMaxBatchLanes];
        alignas(64) float payoff[kMaxBatchLanes] = {};
        for (int l = 0; l < count; ++l) {
            const FoldLane& lane = lanes[first + l];
            reach[l]  = lane.reach;
            out[l]    = lane.values;
            payoff[l] = RakedFoldPayoff(lane.payoff, lane.rake_rate);
        }
        kernels.FoldBatch({.lanes       = count,
                           .combo_count = static_cast<int>(cards.size()),
                           .cards       = cards.data(),
                           .reach       = reach,
                           .out         = out,
                           .payoff      = payoff,
                           .scratch     = &scratch});
    }
}
