#include "solver/adaptive_precision.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

uint32_t LargestRegret(const uint16_t* regrets, size_t row_count, size_t stride, int combos) {
    uint32_t largest = 0;
    for (size_t r = 0; r < row_count; ++r)
        largest = std::max<uint32_t>(largest, *std::max_element(regrets + r * stride,
                                                                regrets + r * stride + combos));
    return largest;
}

void ShiftAll(uint16_t* regrets, size_t count, int left, int right) {
    for (size_t i = 0; i < count; ++i)
        regrets[i] = static_cast<uint16_t>((uint32_t(regrets[i]) << left) >> right);
}

}  // namespace

int ScaleUpStep(uint32_t largest, double precision) {
    const double target = 1024.0 * std::exp2(precision);
    if (largest == 0 || !(target > largest))
        return 1;
    const double exponent = std::ceil(std::log2(target / largest));
    return static_cast<int>(std::min(std::exp2(exponent), 8.0));
}

float ReadjustPrecision(uint16_t* regrets, size_t row_count, size_t stride, int combos,
                        float& factor, double precision) {
    if (combos == 0)
        return 1.0f;
    const uint32_t largest = LargestRegret(regrets, row_count, stride, combos);
    if (largest == 0)
        return 1.0f;
    const int step = ScaleUpStep(largest, precision);
    if (step > 1 && factor <= kMaxFactorForScaleUp) {
        ShiftAll(regrets, row_count * stride, std::countr_zero(unsigned(step)), 0);
        factor *= float(step);
        return float(step);
    }
    if (largest >= kHalvingThreshold) {
        ShiftAll(regrets, row_count * stride, 0, 1);
        factor *= 0.5f;
        return 0.5f;
    }
    return 1.0f;
}
