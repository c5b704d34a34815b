#include "solver/average_blocks.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "solver/average_storage.h"

namespace {

// A number in [0, 1) from a hash of the block's seed and the combo: the same inputs give
// the same dither, so solves stay reproducible.
float Dither(uint64_t seed, int combo) {
    uint64_t h = (seed ^ (uint64_t(combo) + 1) * 0x9E3779B97F4A7C15ull) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
    return float(h >> 40) * 0x1p-24f;
}

}  // namespace

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

template <typename Number>
bool AccumulateNarrowBlock(Number* row, uint8_t& exponent, const float* reach, double weight,
                           int combos, int slot, int action) {
    const float multiplier = static_cast<float>(std::ldexp(weight, -int(exponent)));
    float       peak       = 0;
    for (int i = 0; i < combos; ++i)
        peak = std::max(peak, row[i] + reach[i] * multiplier);
    if (!std::isfinite(peak))
        return false;
    int halvings = 0;
    while (std::ldexp(peak, -halvings) > float(kNarrowAverageMax))
        ++halvings;
    const float    shrink = std::ldexp(1.0f, -halvings);
    const uint64_t seed   = std::bit_cast<uint64_t>(weight) ^
                          (uint64_t(slot) << 8 | uint64_t(action)) << 20;
    for (int i = 0; i < combos; ++i) {
        const float value = (row[i] + reach[i] * multiplier) * shrink + Dither(seed, i);
        row[i]            = static_cast<Number>(std::min(value, float(kNarrowAverageMax)));
    }
    exponent = static_cast<uint8_t>(std::min(int(exponent) + halvings, kMaxAverageExponent));
    return true;
}

template <typename Number>
int NarrowBlock(const uint16_t* wide, int combos, Number* row) {
    const uint32_t top   = combos > 0 ? *std::max_element(wide, wide + combos) : 0;
    int            shift = 0;
    while ((top >> shift) > kNarrowAverageMax)
        ++shift;
    for (int i = 0; i < combos; ++i)
        row[i] = static_cast<Number>(wide[i] >> shift);
    return shift;
}

template bool AccumulateNarrowBlock(uint8_t*, uint8_t&, const float*, double, int, int, int);
template bool AccumulateNarrowBlock(uint16_t*, uint8_t&, const float*, double, int, int, int);
template int  NarrowBlock(const uint16_t*, int, uint8_t*);
template int  NarrowBlock(const uint16_t*, int, uint16_t*);

void BlockScales(const uint8_t* exponents, int actions, float* row_scale) {
    const uint8_t top = *std::max_element(exponents, exponents + actions);
    for (int a = 0; a < actions; ++a)
        row_scale[a] = std::ldexp(1.0f, int(exponents[a]) - int(top));
}
