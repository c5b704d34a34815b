// Scalar reference of the regret kernels. Contraction of a * b + c into one fused
// operation is off in this file, so that every product is rounded where it is written and
// the wide bodies can reproduce the reference bit for bit (they fuse only where this file
// calls std::fma).
#pragma GCC optimize("fp-contract=off")

#include <algorithm>
#include <cmath>
#include <vector>

#include "solver/scalar_kernels.h"

namespace scalar_kernels {
namespace {

bool Skipped(const uint32_t* skip_bits, int i) {
    return skip_bits != nullptr && (skip_bits[i >> 5] >> (i & 31) & 1) != 0;
}

// The regret after the change d (see RegretStep): rises saturate at 65535, falls stop at 0.
uint16_t MovedRegret(uint16_t regret, float d, const RegretStep& step) {
    bool up   = d >= step.threshold;
    bool down = d <= -step.threshold;
    if (!up && !down)
        return regret;
    float root      = std::sqrt(std::fabs(d));
    float increment = root * step.scale_3_4 * std::sqrt(root);
    increment       = increment < 65535.0f ? increment : 65535.0f;
    int steps       = static_cast<int>(increment);
    int moved       = up ? regret + steps : std::max(regret - steps, 0);
    return static_cast<uint16_t>(std::min(moved, 65535));
}

// Strategy of one combo from its regrets: r / sum, or uniform when the sum is 0.
void MatchCombo(const float* r, int actions, float* strategy) {
    float sum = r[0];
    for (int a = 1; a < actions; ++a)
        sum += r[a];
    if (!(sum > 0.0f)) {
        for (int a = 0; a < actions; ++a)
            strategy[a] = actions == 2 ? 0.5f : 1.0f / actions;
        return;
    }
    float inverse = 1.0f / sum;
    for (int a = 0; a < actions; ++a)
        strategy[a] = r[a] * inverse;
    if (actions == 2)
        strategy[1] = 1.0f - strategy[0];
}

template <int kActions>
void MatchFixed(const uint16_t* regrets, size_t stride, int n, float* strategy,
                size_t out_stride) {
    for (int i = 0; i < n; ++i) {
        float r[kActions], s[kActions];
        for (int a = 0; a < kActions; ++a)
            r[a] = regrets[a * stride + i];
        MatchCombo(r, kActions, s);
        for (int a = 0; a < kActions; ++a)
            strategy[a * out_stride + i] = s[a];
    }
}

template <int kActions>
void Fused(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
           float* node_values, RegretStep step, const uint32_t* skip_bits) {
    for (int i = 0; i < n; ++i) {
        float r[kActions], s[kActions], va[kActions];
        for (int a = 0; a < kActions; ++a) {
            r[a]  = regrets[a * stride + i];
            va[a] = action_values[a] ? action_values[a][i] : 0.0f;
        }
        MatchCombo(r, kActions, s);
        float v = s[0] * va[0];
        for (int a = 1; a < kActions; ++a)
            v = std::fma(s[a], va[a], v);
        node_values[i] = v;
        if (Skipped(skip_bits, i))
            continue;
        for (int a = 0; a < kActions; ++a)
            regrets[a * stride + i] = MovedRegret(regrets[a * stride + i], va[a] - v, step);
    }
}

}  // namespace

void RegretMatch2(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride) {
    MatchFixed<2>(regrets, stride, n, strategy, out_stride);
}

void RegretMatch3(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride) {
    MatchFixed<3>(regrets, stride, n, strategy, out_stride);
}

void RegretMatch4(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride) {
    MatchFixed<4>(regrets, stride, n, strategy, out_stride);
}

void RegretMatchN(const uint16_t* regrets, size_t stride, int actions, int n, float* strategy,
                  size_t out_stride) {
    NormalizeAverages(regrets, stride, nullptr, actions, n, strategy, out_stride);
}

void NormalizeAverages(const uint16_t* sums, size_t stride, const float* row_scale, int actions,
                       int n, float* strategy, size_t out_stride) {
    for (int i = 0; i < n; ++i) {
        float total = 0.0f;
        for (int a = 0; a < actions; ++a)
            total += row_scale ? sums[a * stride + i] * row_scale[a] : sums[a * stride + i];
        for (int a = 0; a < actions; ++a) {
            float weight = row_scale ? sums[a * stride + i] * row_scale[a] : sums[a * stride + i];
            strategy[a * out_stride + i] = total > 0.0f ? weight / total : 1.0f / actions;
        }
    }
}

void UpdateRegrets(uint16_t* regrets, size_t stride, int actions, int n,
                   const float* const* action_values, const float* node_values, RegretStep step,
                   const uint32_t* skip_bits) {
    for (int i = 0; i < n; ++i) {
        if (Skipped(skip_bits, i))
            continue;
        for (int a = 0; a < actions; ++a) {
            float va = action_values[a] ? action_values[a][i] : 0.0f;
            regrets[a * stride + i] = MovedRegret(regrets[a * stride + i], va - node_values[i], step);
        }
    }
}

void FusedUpdate2(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits) {
    Fused<2>(regrets, stride, n, action_values, node_values, step, skip_bits);
}

void FusedUpdate3(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits) {
    Fused<3>(regrets, stride, n, action_values, node_values, step, skip_bits);
}

void FusedUpdate4(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits) {
    Fused<4>(regrets, stride, n, action_values, node_values, step, skip_bits);
}

// The definition: regret matching into a strategy, then one reach product per action.
uint64_t RegretReach(const uint16_t* regrets, size_t stride, int actions, int n,
                     const float* reach, float* const* out) {
    std::vector<float> strategy(size_t(actions) * size_t(std::max(n, 1)));
    const size_t       row = size_t(std::max(n, 1));
    switch (actions) {
    case 2: RegretMatch2(regrets, stride, n, strategy.data(), row); break;
    case 3: RegretMatch3(regrets, stride, n, strategy.data(), row); break;
    case 4: RegretMatch4(regrets, stride, n, strategy.data(), row); break;
    default: RegretMatchN(regrets, stride, actions, n, strategy.data(), row);
    }
    uint64_t bits = 0;
    for (int a = 0; a < actions; ++a)
        if (ReachProduct(reach, strategy.data() + a * row, n, out[a]))
            bits |= uint64_t(1) << a;
    return bits;
}

}  // namespace scalar_kernels
