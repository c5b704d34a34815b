// Scalar reference of the terminal output loops (contraction off, see
// regret_kernels_scalar.cpp).
#pragma GCC optimize("fp-contract=off")

#include <cmath>

#include "solver/fold_values.h"
#include "solver/scalar_kernels.h"
#include "solver/showdown_values.h"

namespace scalar_kernels {
namespace {

int ComboAt(const ShowdownOutputArgs& args, int k) { return args.order ? args.order[k] : k; }

}  // namespace

void FoldOutput(const FoldOutputArgs& args, int n) {
    for (int i = 0; i < n; ++i) {
        float value = std::fma(args.payoff, args.reach[i], args.total);
        args.out[i] = value - args.card_sums[args.cards[i].first] - args.card_sums[args.cards[i].second];
    }
}

void ShowdownOutput(const ShowdownOutputArgs& args, int begin, int end, float running_sum) {
    for (int k = begin; k < end; ++k) {
        const CardPair cards = args.sorted_cards[k];
        args.out[ComboAt(args, k)] =
            running_sum - args.card_sums[cards.first] - args.card_sums[cards.second];
    }
}

void ShowdownOutputRaked(const ShowdownOutputArgs& args, int begin, int end, float running_sum) {
    for (int k = begin; k < end; ++k) {
        const CardPair cards = args.sorted_cards[k];
        const int      combo = ComboAt(args, k);
        float net  = running_sum - args.card_sums[cards.first] - args.card_sums[cards.second];
        float rest = args.total_mass - args.card_totals[cards.first] - args.card_totals[cards.second];
        float mass = std::fma(args.stake, args.reach[combo], rest);
        args.out[combo] = std::fma(1.0f - args.rake_rate, net, -(args.rake_rate * mass));
    }
}

void ShowdownBatch(const ShowdownBatchArgs& args) {
    for (int l = 0; l < args.lanes; ++l) {
        const float rate = args.raked ? args.rate[l] : 0.0f;
        ShowdownValues(kScalarKernels, *args.groups, args.masks,
                       {args.reach[l], args.out[l], args.stake[l], rate}, *args.scratch);
    }
}

void FoldBatch(const FoldBatchArgs& args) {
    const std::span<const CardPair> cards(args.cards, size_t(args.combo_count));
    for (int l = 0; l < args.lanes; ++l)
        FoldValues(kScalarKernels, cards, {args.reach[l], args.out[l], args.payoff[l], 0.0f},
                   *args.scratch);
}

}  // namespace scalar_kernels
