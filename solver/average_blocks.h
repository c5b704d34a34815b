// The accumulation rule of average blocks, shared by the average stores: one action's
// row of u16 numbers with its shift exponent e, the stored number times 2^e being the
// accumulated weight (average_storage.h describes the rule and its float arithmetic).
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/solver_kernels.h"

// Adds weight x reach to a block whose numbers may not exceed 'maximum', halving the
// block and raising its exponent as often as needed (at most up to 'max_exponent').
// Returns false, changing nothing, when weight x reach is beyond the float range.
bool AccumulateBlock(const SolverKernels& kernels, uint16_t* row, uint8_t& exponent,
                     const float* reach, double weight, int combos, uint32_t maximum,
                     int max_exponent);

// Row scales 2^(e_a - e_max) of a slot's blocks, for NormalizeAverages.
void BlockScales(const uint8_t* exponents, int actions, float* row_scale);
