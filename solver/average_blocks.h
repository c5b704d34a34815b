// The accumulation rules of average blocks, shared by the average stores: one action's
// row of numbers with its shift exponent e, the stored number times 2^e being the
// accumulated weight (average_storage.h describes the rule and its float arithmetic).
//
// Two widths:
// - wide blocks (u16, maximum kAverageMax) round half up: the plain store's exact rule;
// - narrow blocks (at most kNarrowAverageMax, 8 bits) round stochastically. A narrow
//   block keeps about 8 significant bits relative to its largest number; late in a solve
//   one iteration's share is far below one unit, and rounding to nearest would drop it
//   (freezing the averages at their early values). Each addition is floored after adding
//   a dither in [0, 1) hashed from the weight, slot, action and combo, so the numbers are
//   unbiased and a solve stays reproducible. Narrow blocks serve the fast store (8 bits
//   unpacked) and the packed average stores (8 bits, then packed).
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/solver_kernels.h"

inline constexpr uint32_t kNarrowAverageMax = 255;

// Adds weight x reach to a wide block whose numbers may not exceed 'maximum', halving the
// block and raising its exponent as often as needed (at most up to 'max_exponent').
// Returns false, changing nothing, when weight x reach is beyond the float range.
bool AccumulateBlock(const SolverKernels& kernels, uint16_t* row, uint8_t& exponent,
                     const float* reach, double weight, int combos, uint32_t maximum,
                     int max_exponent);

// The same for a narrow block, row elements u8 or u16 (holding at most
// kNarrowAverageMax). 'slot' and 'action' seed the dither.
template <typename Number>
bool AccumulateNarrowBlock(Number* row, uint8_t& exponent, const float* reach, double weight,
                           int combos, int slot, int action);

// Narrows wide numbers (up to 65535) into a narrow block: each shifted right by the
// fewest bits that bring the block's largest to kNarrowAverageMax; returns that shift,
// which the caller adds to the block's exponent.
template <typename Number>
int NarrowBlock(const uint16_t* wide, int combos, Number* row);

// Row scales 2^(e_a - e_max) of a slot's blocks, for NormalizeAverages.
void BlockScales(const uint8_t* exponents, int actions, float* row_scale);
