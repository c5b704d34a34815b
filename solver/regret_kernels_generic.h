// Generic bodies of the regret kernels (regret matching, average normalisation, regret
// updates), compiled once per lane type by kernels_avx512.cpp and kernels_avx2.cpp. The
// scalar reference of each is in regret_kernels_scalar.cpp; solver_kernels.h documents
// the contracts.
//
// Every loop walks the combos V::kWidth at a time; the last, shorter step passes its lane
// count to Load/Store, which mask the missing lanes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "solver/solver_kernels.h"

namespace regret_generic {

template <class V>
using F = typename V::Floats;

template <class V>
inline F<V> LoadRegrets(const uint16_t* row, int count) {
    return V::ToFloat(V::LoadU16(row, count));
}

// Strategy of one lane group from its regrets r[0 .. actions): r / sum, or 'uniform'.
template <class V, int kActions>
inline void MatchLanes(const F<V>* r, F<V>* strategy) {
    F<V> sum = r[0];
    for (int a = 1; a < kActions; ++a)
        sum = V::Add(sum, r[a]);
    auto positive = V::Greater(sum, V::Zero());
    F<V> inverse  = V::Reciprocal(sum);
    if constexpr (kActions == 2) {
        strategy[0] = V::Select(positive, V::Mul(r[0], inverse), V::Set(0.5f));
        strategy[1] = V::Sub(V::Set(1.0f), strategy[0]);
    } else {
        const F<V> uniform = V::Set(1.0f / kActions);
        for (int a = 0; a < kActions; ++a)
            strategy[a] = V::Select(positive, V::Mul(r[a], inverse), uniform);
    }
}

template <class V, int kActions>
void RegretMatchFixed(const uint16_t* regrets, size_t stride, int n, float* strategy,
                      size_t out_stride) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        F<V>      r[kActions], s[kActions];
        for (int a = 0; a < kActions; ++a)
            r[a] = LoadRegrets<V>(regrets + a * stride + i, count);
        MatchLanes<V, kActions>(r, s);
        for (int a = 0; a < kActions; ++a)
            V::Store(strategy + a * out_stride + i, s[a], count);
    }
}

// Sum, then normalise: each row is read twice, the second time from L1.
template <class V>
void NormalizeRows(const uint16_t* rows, size_t stride, const float* row_scale, int actions,
                   int n, float* strategy, size_t out_stride) {
    const F<V> uniform = V::Set(1.0f / actions);
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        auto      weight = [&](int a) {
            F<V> w = LoadRegrets<V>(rows + a * stride + i, count);
            return row_scale ? V::Mul(w, V::Set(row_scale[a])) : w;
        };
        F<V> sum = weight(0);
        for (int a = 1; a < actions; ++a)
            sum = V::Add(sum, weight(a));
        auto positive = V::Greater(sum, V::Zero());
        F<V> inverse  = V::Reciprocal(sum);
        for (int a = 0; a < actions; ++a)
            V::Store(strategy + a * out_stride + i,
                     V::Select(positive, V::Mul(weight(a), inverse), uniform), count);
    }
}

template <class V>
void RegretMatchN(const uint16_t* regrets, size_t stride, int actions, int n, float* strategy,
                  size_t out_stride) {
    NormalizeRows<V>(regrets, stride, nullptr, actions, n, strategy, out_stride);
}

template <class V>
void NormalizeAverages(const uint16_t* sums, size_t stride, const float* row_scale,
                       int actions, int n, float* strategy, size_t out_stride) {
    NormalizeRows<V>(sums, stride, row_scale, actions, n, strategy, out_stride);
}

// One regret moved by the change d (see RegretStep).
template <class V>
inline typename V::Ints MovedRegret(typename V::Ints regret, F<V> d, const RegretStep& step) {
    F<V> root      = V::Sqrt(V::Abs(d));
    F<V> increment = V::Mul(V::Mul(root, V::Set(step.scale_3_4)), V::Sqrt(root));
    auto steps     = V::Truncate(V::Min(increment, V::Set(65535.0f)));
    auto up        = V::GreaterEqual(d, V::Set(step.threshold));
    auto down      = V::LessEqual(d, V::Set(-step.threshold));
    return V::Select(up, V::IntAdd(regret, steps),
                     V::Select(down, V::IntSubFloorZero(regret, steps), regret));
}

template <class V>
inline void UpdateRow(uint16_t* row, F<V> d, const RegretStep& step, const uint32_t* skip_bits,
                      int i, int count) {
    auto regret = V::LoadU16(row + i, count);
    auto moved  = MovedRegret<V>(regret, d, step);
    if (skip_bits)
        moved = V::Select(V::FromBits(skip_bits, i), regret, moved);
    V::StoreU16(row + i, moved, count);
}

template <class V>
void UpdateRegrets(uint16_t* regrets, size_t stride, int actions, int n,
                   const float* const* action_values, const float* node_values, RegretStep step,
                   const uint32_t* skip_bits) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int  count = std::min(V::kWidth, n - i);
        const F<V> v     = V::Load(node_values + i, count);
        for (int a = 0; a < actions; ++a) {
            const float* values = action_values[a];
            F<V>         va     = V::LoadOrZero(values ? values + i : nullptr, count);
            UpdateRow<V>(regrets + a * stride, V::Sub(va, v), step, skip_bits, i, count);
        }
    }
}

template <class V, int kActions>
void FusedUpdate(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                 float* node_values, RegretStep step, const uint32_t* skip_bits) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        F<V>      r[kActions], s[kActions], va[kActions];
        for (int a = 0; a < kActions; ++a) {
            r[a]  = LoadRegrets<V>(regrets + a * stride + i, count);
            va[a] = V::LoadOrZero(action_values[a] ? action_values[a] + i : nullptr, count);
        }
        MatchLanes<V, kActions>(r, s);
        F<V> v = V::Mul(s[0], va[0]);
        for (int a = 1; a < kActions; ++a)
            v = V::Fma(s[a], va[a], v);
        V::Store(node_values + i, v, count);
        for (int a = 0; a < kActions; ++a)
            UpdateRow<V>(regrets + a * stride, V::Sub(va[a], v), step, skip_bits, i, count);
    }
}

// Child reach of an opponent node straight from its regrets: out[a] = reach x strategy(a),
// the strategy of RegretMatchFixed / RegretMatchN, without storing it. Bit a of the
// result is set when out[a] has a positive entry. Steps where no reach is positive write
// zeros without reading the regrets (combos the opponent never holds there).
template <class V, int kActions>
uint64_t RegretReachFixed(const uint16_t* regrets, size_t stride, int n, const float* reach,
                          float* const* out) {
    typename V::Mask any[kActions];
    bool             positive[kActions] = {};
    for (int i = 0; i < n; i += V::kWidth) {
        const int  count = std::min(V::kWidth, n - i);
        const F<V> r_in  = V::Load(reach + i, count);
        if (!V::Any(V::Greater(r_in, V::Zero()), count)) {
            for (int a = 0; a < kActions; ++a)
                V::Store(out[a] + i, V::Zero(), count);
            continue;
        }
        F<V> r[kActions], s[kActions];
        for (int a = 0; a < kActions; ++a)
            r[a] = LoadRegrets<V>(regrets + a * stride + i, count);
        MatchLanes<V, kActions>(r, s);
        for (int a = 0; a < kActions; ++a) {
            const F<V> product = V::Mul(r_in, s[a]);
            any[a]             = V::Greater(product, V::Zero());
            positive[a]        = positive[a] || V::Any(any[a], count);
            V::Store(out[a] + i, product, count);
        }
    }
    uint64_t bits = 0;
    for (int a = 0; a < kActions; ++a)
        bits |= uint64_t(positive[a]) << a;
    return bits;
}

template <class V>
uint64_t RegretReachN(const uint16_t* regrets, size_t stride, int actions, int n,
                      const float* reach, float* const* out) {
    const F<V> uniform = V::Set(1.0f / actions);
    uint64_t   bits    = 0;
    for (int i = 0; i < n; i += V::kWidth) {
        const int  count = std::min(V::kWidth, n - i);
        const F<V> r_in  = V::Load(reach + i, count);
        if (!V::Any(V::Greater(r_in, V::Zero()), count)) {
            for (int a = 0; a < actions; ++a)
                V::Store(out[a] + i, V::Zero(), count);
            continue;
        }
        F<V> sum = LoadRegrets<V>(regrets + i, count);
        for (int a = 1; a < actions; ++a)
            sum = V::Add(sum, LoadRegrets<V>(regrets + a * stride + i, count));
        auto positive = V::Greater(sum, V::Zero());
        F<V> inverse  = V::Reciprocal(sum);
        for (int a = 0; a < actions; ++a) {
            const F<V> w       = LoadRegrets<V>(regrets + a * stride + i, count);
            const F<V> product = V::Mul(r_in, V::Select(positive, V::Mul(w, inverse), uniform));
            if (V::Any(V::Greater(product, V::Zero()), count))
                bits |= uint64_t(1) << a;
            V::Store(out[a] + i, product, count);
        }
    }
    return bits;
}

template <class V>
uint64_t RegretReach(const uint16_t* regrets, size_t stride, int actions, int n,
                     const float* reach, float* const* out) {
    switch (actions) {
    case 2: return RegretReachFixed<V, 2>(regrets, stride, n, reach, out);
    case 3: return RegretReachFixed<V, 3>(regrets, stride, n, reach, out);
    case 4: return RegretReachFixed<V, 4>(regrets, stride, n, reach, out);
    default: return RegretReachN<V>(regrets, stride, actions, n, reach, out);
    }
}

}  // namespace regret_generic
