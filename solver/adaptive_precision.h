// Adaptive precision of 16-bit regrets: the re-adjustment of one runout slot.
//
// Regrets are integers, so a slot whose regrets stay small loses resolution, and one whose
// regrets grow large would overflow 16 bits. Each slot therefore keeps a factor f that
// multiplies the regret scale of its updates, and every tenth iteration (counts divisible
// by 10, after the slot's update) the slot is re-adjusted from its largest regret M:
//   M = 0:                              nothing changes;
//   M < 1024 * 2^p and f <= 32:         regrets and f times k = min(2^ceil(log2(1024 *
//                                       2^p / M)), 8) (k is 2, 4 or 8: a shift);
//   M >= 60001:                         regrets and f halved (truncating).
// p is the precision setting (-2 .. 2). The initial factor of a new slot is 4, the largest
// power of two the bound below allows for every node: small early regret changes then
// count from the first iterations instead of after the first re-adjustments.
//
// Why no stored regret can pass 65535 between two re-adjustments:
// 1. By construction: every kernel stores regrets with unsigned saturation (vpmovusdw,
//    packusdw, or min(., 65535) in the scalar body), so a rise ends at 65535 and never
//    wraps round to a small number.
// 2. Saturation never engages (the update rule stays exact) while every change d at the
//    slot satisfies s * f * |d| <= 4500: after a re-adjustment M <= 60000 (values at or
//    above 60001 were halved to <= 32767; a scale-up leaves M * k < 2 * 1024 * 2^p <=
//    8192; otherwise M <= 60000 already); the next re-adjustment comes after at most 10
//    updates, each adding at most trunc(4500^(3/4)) = 548; 60000 + 10 * 548 = 65480.
//    With s = 125 * 2^p / (largest terminal value) and |d| <= 2 * (largest terminal
//    value) * (opponent reach mass at the node), s * |d| <= 250 * 2^p * mass <= 1000 for
//    a normalised mass <= 1, so the condition holds for every f <= 4.5, and for larger f
//    as long as the node's reach mass is at most 4.5 / f: f grows only at slots whose
//    regrets stay small, which is where their changes are small.
// Both are tested (solver_regret_storage_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr float    kInitialPrecisionFactor = 4.0f;
inline constexpr uint32_t kHalvingThreshold       = 60001;
inline constexpr float    kMaxFactorForScaleUp    = 32.0f;

// Re-adjusts one slot's regrets (rows of 'row_count' x 'stride' u16, of which the first
// 'combos' of each row are used; padding must be 0) and its factor. Returns the factor by
// which the regrets were multiplied (1 when unchanged). Linear in the slot's size.
float ReadjustPrecision(uint16_t* regrets, size_t row_count, size_t stride, int combos,
                        float& factor, double precision);

// The power-of-two step k of the scale-up for largest regret M > 0 (see above; 1 when no
// scale-up applies because M >= 1024 * 2^p).
int ScaleUpStep(uint32_t largest, double precision);
