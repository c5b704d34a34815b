// Generic bodies of the terminal output loops, compiled per lane type by
// kernels_avx512.cpp and kernels_avx2.cpp; the scalar reference is
// terminal_kernels_scalar.cpp. fold_values.h and showdown_values.h describe the whole
// evaluations these loops finish.
//
// Performance notes: the per-card sums are 52 floats (one L1 line pair), so the two
// gathers per lane group hit L1; the card pairs arrive as one 16-bit word per combo and
// split into two index vectors with a mask and a shift.
#pragma once

#include <algorithm>

#include "solver/solver_kernels.h"

namespace terminal_generic {

template <class V>
void FoldOutput(const FoldOutputArgs& args, int n) {
    const auto payoff = V::Set(args.payoff);
    const auto total  = V::Set(args.total);
    for (int i = 0; i < n; i += V::kWidth) {
        const int          count = std::min(V::kWidth, n - i);
        typename V::Ints   first, second;
        V::LoadCards(args.cards + i, count, first, second);
        auto value = V::Fma(payoff, V::Load(args.reach + i, count), total);
        value      = V::Sub(V::Sub(value, V::Gather(args.card_sums, first, count)),
                            V::Gather(args.card_sums, second, count));
        V::Store(args.out + i, value, count);
    }
}

template <class V, bool kRake>
void ShowdownOutput(const ShowdownOutputArgs& args, int begin, int end, float running_sum) {
    const auto sum = V::Set(running_sum);
    for (int k = begin; k < end; k += V::kWidth) {
        const int        count = std::min(V::kWidth, end - k);
        typename V::Ints first, second, index{};
        V::LoadCards(args.sorted_cards + k, count, first, second);
        auto value = V::Sub(V::Sub(sum, V::Gather(args.card_sums, first, count)),
                            V::Gather(args.card_sums, second, count));
        if (args.order)
            index = V::LoadIndices(args.order + k, count);
        if constexpr (kRake) {
            auto self = args.order ? V::Gather(args.reach, index, count) : V::Load(args.reach + k, count);
            auto rest = V::Sub(V::Sub(V::Set(args.total_mass), V::Gather(args.card_totals, first, count)),
                               V::Gather(args.card_totals, second, count));
            auto mass = V::Fma(V::Set(args.stake), self, rest);
            value     = V::Fms(V::Set(1.0f - args.rake_rate), value, V::Mul(V::Set(args.rake_rate), mass));
        }
        if (args.order)
            V::Scatter(args.out, index, value, count);
        else
            V::Store(args.out + k, value, count);
    }
}

}  // namespace terminal_generic
