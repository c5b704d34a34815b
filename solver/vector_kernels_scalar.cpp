// Scalar reference of the per-combo vector kernels. Contraction is off (see
// regret_kernels_scalar.cpp): products round where written, std::fma marks the fused
// steps, so that the wide bodies match bit for bit.
#pragma GCC optimize("fp-contract=off")

#include <cmath>

#include "solver/scalar_kernels.h"

namespace scalar_kernels {
namespace {

float ValueOf(const float* const* action_values, int a, int i) {
    return action_values[a] ? action_values[a][i] : 0.0f;
}

float RaisedSum(const uint16_t* sums, const float* reach, float multiplier, int i) {
    float added = std::floor(reach[i] * multiplier + 0.5f);
    return static_cast<float>(sums[i]) + added;
}

}  // namespace

bool ReachProduct(const float* reach, const float* strategy, int n, float* out) {
    bool any_positive = false;
    for (int i = 0; i < n; ++i) {
        out[i] = reach[i] * strategy[i];
        any_positive |= out[i] > 0.0f;
    }
    return any_positive;
}

void WeightedValueSum(const float* strategy, size_t stride, const float* const* action_values,
                      int actions, int n, float* out) {
    for (int i = 0; i < n; ++i) {
        float sum = strategy[i] * ValueOf(action_values, 0, i);
        for (int a = 1; a < actions; ++a)
            sum = std::fma(strategy[a * stride + i], ValueOf(action_values, a, i), sum);
        out[i] = sum;
    }
}

void ValueSum(const float* const* action_values, int actions, int n, float* out) {
    for (int i = 0; i < n; ++i) {
        float sum = ValueOf(action_values, 0, i);
        for (int a = 1; a < actions; ++a)
            sum += ValueOf(action_values, a, i);
        out[i] = sum;
    }
}

void ValueMax(const float* const* action_values, int actions, int n, float* out) {
    for (int i = 0; i < n; ++i) {
        float best = ValueOf(action_values, 0, i);
        for (int a = 1; a < actions; ++a) {
            float v = ValueOf(action_values, a, i);
            best    = v > best ? v : best;
        }
        out[i] = best;
    }
}

float AveragePeak(const uint16_t* sums, const float* reach, float multiplier, int n) {
    float peak = 0.0f;
    for (int i = 0; i < n; ++i) {
        float sum = RaisedSum(sums, reach, multiplier, i);
        peak      = sum > peak ? sum : peak;
    }
    return peak;
}

void AverageAdd(uint16_t* sums, const float* reach, float multiplier, float shrink, int n) {
    for (int i = 0; i < n; ++i) {
        float scaled = std::floor(RaisedSum(sums, reach, multiplier, i) * shrink);
        sums[i]      = static_cast<uint16_t>(scaled < 65535.0f ? scaled : 65535.0f);
    }
}

int AverageAddInRange(uint16_t* sums, const float* reach, float multiplier, int n) {
    for (int i = 0; i < n; ++i) {
        const float raised = RaisedSum(sums, reach, multiplier, i);
        if (raised > 65535.0f)
            return i;
        sums[i] = static_cast<uint16_t>(raised);
    }
    return n;
}

void GatherKept(const float* parent, const uint16_t* keep, int parent_n, float* child) {
    int j = 0;
    for (int i = 0; i < parent_n; ++i)
        if (keep[i / 16] >> (i % 16) & 1)
            child[j++] = parent[i];
}

void ScatterKeptAdd(const float* child, const uint16_t* keep, int parent_n, float weight,
                    float* parent) {
    int j = 0;
    for (int i = 0; i < parent_n; ++i)
        if (keep[i / 16] >> (i % 16) & 1) {
            parent[i] = std::fma(weight, child[j], parent[i]);
            ++j;
        }
}

}  // namespace scalar_kernels
