// Generic bodies of the per-combo vector kernels (reach products, value sums and maxima,
// average accumulation), compiled per lane type by kernels_avx512.cpp and
// kernels_avx2.cpp; the scalar reference is vector_kernels_scalar.cpp and the contracts
// are in solver_kernels.h.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "solver/solver_kernels.h"

namespace vector_generic {

template <class V>
using F = typename V::Floats;

template <class V>
bool ReachProduct(const float* reach, const float* strategy, int n, float* out) {
    bool any_positive = false;
    for (int i = 0; i < n; i += V::kWidth) {
        const int  count   = std::min(V::kWidth, n - i);
        const F<V> product = V::Mul(V::Load(reach + i, count), V::Load(strategy + i, count));
        any_positive |= V::Any(V::Greater(product, V::Zero()), count);
        V::Store(out + i, product, count);
    }
    return any_positive;
}

template <class V>
inline F<V> LoadValues(const float* const* action_values, int a, int i, int count) {
    return V::LoadOrZero(action_values[a] ? action_values[a] + i : nullptr, count);
}

template <class V>
void WeightedValueSum(const float* strategy, size_t stride, const float* const* action_values,
                      int actions, int n, float* out) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        F<V>      sum   = V::Mul(V::Load(strategy + i, count), LoadValues<V>(action_values, 0, i, count));
        for (int a = 1; a < actions; ++a)
            sum = V::Fma(V::Load(strategy + a * stride + i, count),
                         LoadValues<V>(action_values, a, i, count), sum);
        V::Store(out + i, sum, count);
    }
}

template <class V>
void ValueSum(const float* const* action_values, int actions, int n, float* out) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        F<V>      sum   = LoadValues<V>(action_values, 0, i, count);
        for (int a = 1; a < actions; ++a)
            sum = V::Add(sum, LoadValues<V>(action_values, a, i, count));
        V::Store(out + i, sum, count);
    }
}

template <class V>
void ValueMax(const float* const* action_values, int actions, int n, float* out) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        F<V>      best  = LoadValues<V>(action_values, 0, i, count);
        for (int a = 1; a < actions; ++a)
            best = V::Max(LoadValues<V>(action_values, a, i, count), best);
        V::Store(out + i, best, count);
    }
}

// sums[i] + floor(reach[i] * multiplier + 0.5), in float.
template <class V>
inline F<V> RaisedSum(const uint16_t* sums, const float* reach, float multiplier, int i,
                      int count) {
    F<V> added = V::Floor(V::Add(V::Mul(V::Load(reach + i, count), V::Set(multiplier)), V::Set(0.5f)));
    return V::Add(V::ToFloat(V::LoadU16(sums + i, count)), added);
}

template <class V>
float AveragePeak(const uint16_t* sums, const float* reach, float multiplier, int n) {
    F<V> peak = V::Zero();
    for (int i = 0; i < n; i += V::kWidth) {
        const int count = std::min(V::kWidth, n - i);
        peak            = V::Max(peak, RaisedSum<V>(sums, reach, multiplier, i, count));
    }
    return V::ReduceMax(peak, V::kWidth);
}

template <class V>
int AverageAddInRange(uint16_t* sums, const float* reach, float multiplier, int n) {
    const F<V> limit = V::Set(65535.0f);
    for (int i = 0; i < n; i += V::kWidth) {
        const int  count = std::min(V::kWidth, n - i);
        const F<V> added = V::Floor(V::Add(V::Mul(V::Load(reach + i, count), V::Set(multiplier)), V::Set(0.5f)));
        if (!V::Any(V::Greater(added, V::Zero()), count))
            continue;
        const F<V> raised = V::Add(V::ToFloat(V::LoadU16(sums + i, count)), added);
        if (V::Any(V::Greater(raised, limit), count))
            return i;
        V::StoreU16(sums + i, V::Truncate(raised), count);
    }
    return n;
}

template <class V>
void AverageAdd(uint16_t* sums, const float* reach, float multiplier, float shrink, int n) {
    for (int i = 0; i < n; i += V::kWidth) {
        const int count  = std::min(V::kWidth, n - i);
        F<V>      scaled = V::Floor(V::Mul(RaisedSum<V>(sums, reach, multiplier, i, count), V::Set(shrink)));
        V::StoreU16(sums + i, V::Truncate(V::Min(scaled, V::Set(65535.0f))), count);
    }
}

}  // namespace vector_generic
