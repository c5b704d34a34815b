#include "solver/average_blocks.h"

#include <algorithm>
#include <cmath>

bool AccumulateBlock(const SolverKernels& kernels, uint16_t* row, uint8_t& exponent,
                     const float* reach, double weight, int combos, uint32_t maximum,
                     int max_exponent) {
    const float multiplier = static_cast<float>(std::ldexp(weight, -int(exponent)));
    const float peak       = kernels.AveragePeak(row, reach, multiplier, combos);
    if (!std::isfinite(peak))
        return false;
    int halvings = 0;
    while (std::ldexp(peak, -halvings) > float(maximum))
        ++halvings;
    kernels.AverageAdd(row, reach, multiplier, std::ldexp(1.0f, -halvings), combos);
    exponent = static_cast<uint8_t>(std::min(int(exponent) + halvings, max_exponent));
    return true;
}

void BlockScales(const uint8_t* exponents, int actions, float* row_scale) {
    const uint8_t top = *std::max_element(exponents, exponents + actions);
    for (int a = 0; a < actions; ++a)
        row_scale[a] = std::ldexp(1.0f, int(exponents[a]) - int(top));
}
