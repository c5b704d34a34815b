#include "solver/combo_quantizer.h"

#include <algorithm>
#include <bit>

namespace {

uint64_t Mix(uint64_t x) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 32);
}

}  // namespace

uint64_t QuantizeSeed(uint64_t a, uint64_t b, uint64_t c) {
    return Mix(Mix(Mix(a + 0x9E3779B97F4A7C15ull) ^ b) ^ c);
}

void QuantizeCombos(uint16_t* rows, int actions, size_t stride, int combos, int bits,
                    uint64_t seed) {
    for (int c = 0; c < combos; ++c) {
        uint32_t largest = 0;
        for (int a = 0; a < actions; ++a)
            largest = std::max<uint32_t>(largest, rows[a * stride + c]);
        const int shift = std::bit_width(largest) - bits;
        if (shift <= 0)
            continue;
        const uint32_t low_bits = (1u << shift) - 1;
        const uint32_t top      = std::min(0xFFFFu, ((1u << bits) - 1) << shift);
        const uint64_t combo    = Mix(seed ^ (uint64_t(c) << 8));
        for (int a = 0; a < actions; ++a) {
            uint16_t&      x      = rows[a * stride + c];
            const uint32_t dither = static_cast<uint32_t>(Mix(combo + uint64_t(a))) & low_bits;
            x = static_cast<uint16_t>(std::min((uint32_t(x) + dither) & ~low_bits, top));
        }
    }
}
