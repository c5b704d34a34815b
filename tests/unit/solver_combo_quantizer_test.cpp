// Rounding per combo for the lossy river stores: what each number keeps, what survives,
// that zeros stay zeros, that the rounding is reproducible and unbiased, and that a
// packed slot of rounded numbers takes about the kept bits a number.
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

#include "solver/combo_quantizer.h"
#include "solver/slot_codec.h"

namespace {

constexpr int    kActions = 3;
constexpr int    kCombos  = 200;
constexpr size_t kStride  = 224;

std::vector<uint16_t> RandomSlot(uint32_t seed) {
    std::mt19937          rng(seed);
    std::vector<uint16_t> rows(kActions * kStride, 0);
    for (int a = 0; a < kActions; ++a)
        for (int c = 0; c < kCombos; ++c)
            rows[a * kStride + c] = rng() % 3 == 0 ? 0 : static_cast<uint16_t>(rng() >> (16 + rng() % 16));
    return rows;
}

uint32_t ComboLargest(const std::vector<uint16_t>& rows, int c) {
    uint32_t largest = 0;
    for (int a = 0; a < kActions; ++a)
        largest = std::max<uint32_t>(largest, rows[a * kStride + c]);
    return largest;
}

}  // namespace

TEST(ComboQuantizer, KeepsTheGivenBitsRelativeToEachCombosLargest) {
    for (int bits : {5, 6, 7}) {
        const auto before = RandomSlot(bits);
        auto       after  = before;
        QuantizeCombos(after.data(), kActions, kStride, kCombos, bits, QuantizeSeed(1, 2));
        int rounded = 0;
        for (int c = 0; c < kCombos; ++c) {
            const int      shift = std::max(0, int(std::bit_width(ComboLargest(before, c))) - bits);
            const uint32_t step  = 1u << shift;
            rounded += shift > 0;
            for (int a = 0; a < kActions; ++a) {
                const uint32_t x = before[a * kStride + c], y = after[a * kStride + c];
                EXPECT_EQ(y % step, 0u) << "combo " << c;
                EXPECT_LT(y > x ? y - x : x - y, step) << "combo " << c;
                if (x == 0)
                    EXPECT_EQ(y, 0u);  // zeros stay zeros
            }
            // The largest keeps its leading bits: a large regret survives the rounding.
            EXPECT_GE(ComboLargest(after, c), ComboLargest(before, c) / step * step);
        }
        EXPECT_GT(rounded, kCombos / 2);
        // Padding past the combos is not touched.
        for (int a = 0; a < kActions; ++a)
            for (size_t i = kCombos; i < kStride; ++i)
                EXPECT_EQ(after[a * kStride + i], 0);
    }
}

TEST(ComboQuantizer, SmallCombosAndAlreadyRoundedSlotsStayAsTheyAre) {
    std::vector<uint16_t> rows(kActions * kStride, 0);
    rows[0] = 63, rows[kStride] = 1, rows[1] = 40000, rows[kStride + 1] = 1280;
    auto once = rows;
    QuantizeCombos(once.data(), kActions, kStride, kCombos, 6, QuantizeSeed(3, 4));
    EXPECT_EQ(once[0], 63);  // 6 bits: exact
    EXPECT_EQ(once[kStride], 1);
    EXPECT_EQ(once[kStride + 1] % 1024, 0);  // 40000 has 16 bits: steps of 2^10
    auto twice = once;
    QuantizeCombos(twice.data(), kActions, kStride, kCombos, 6, QuantizeSeed(5, 6));
    EXPECT_EQ(twice, once);
    // The top of the range rounds to the largest multiple below 65536, never past it.
    std::vector<uint16_t> top(kActions * kStride, 0);
    top[0] = 65535;
    for (uint64_t seed = 0; seed < 50; ++seed) {
        auto copy = top;
        QuantizeCombos(copy.data(), kActions, kStride, kCombos, 6, seed);
        EXPECT_EQ(copy[0], 65535 - 1023);
    }
}

TEST(ComboQuantizer, RoundingIsReproducibleAndUnbiased) {
    const auto base = RandomSlot(9);
    auto       a = base, b = base, c = base;
    QuantizeCombos(a.data(), kActions, kStride, kCombos, 6, QuantizeSeed(7, 11));
    QuantizeCombos(b.data(), kActions, kStride, kCombos, 6, QuantizeSeed(7, 11));
    QuantizeCombos(c.data(), kActions, kStride, kCombos, 6, QuantizeSeed(7, 12));
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Over many seeds (iterations) each number's mean is the number itself: 1000, whose
    // combo rounds in steps of 512, averages to 1000 within a few units.
    std::vector<uint16_t> rows(kActions * kStride, 0);
    rows[0] = 30000, rows[kStride] = 1000;
    double sum = 0;
    for (uint64_t t = 0; t < 4000; ++t) {
        auto copy = rows;
        QuantizeCombos(copy.data(), kActions, kStride, kCombos, 6, QuantizeSeed(0, t));
        EXPECT_TRUE(copy[kStride] == 512 || copy[kStride] == 1024);
        sum += copy[kStride];
    }
    EXPECT_NEAR(sum / 4000, 1000.0, 12.0);
}

TEST(ComboQuantizer, ThePackedSlotTakesAboutTheKeptBitsANumber) {
    const auto      base = RandomSlot(21);
    const SlotShape shape{kActions, kCombos, kStride};
    size_t          previous = 0;
    for (int bits : {16, 7, 6}) {
        auto rounded = base;
        if (bits < 16)
            QuantizeCombos(rounded.data(), kActions, kStride, kCombos, bits, QuantizeSeed(1, 1));
        size_t non_zero = 0;
        for (uint16_t x : rounded)
            non_zero += x != 0;
        std::vector<uint8_t>  packed(PackedSlotBound(shape));
        std::vector<uint16_t> out(kActions * kStride, 0xAAAA);
        const size_t          size = PackSlot(shape, rounded.data(), packed.data());
        ASSERT_TRUE(UnpackSlot(shape, packed.data(), size, out.data()));
        EXPECT_EQ(out, rounded);
        // 'bits' a number; a pattern (with or without a presence bit) and a shift offset
        // of at most 4 bits a combo; three header bytes.
        EXPECT_LE(size, (non_zero * bits + kCombos * (1 + kActions + 4) + 7) / 8 + 3) << bits;
        // Every bit dropped shows.
        if (bits < 16)
            EXPECT_LT(size, previous) << bits;
        previous = size;
    }
}
