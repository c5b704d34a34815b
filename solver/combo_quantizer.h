// Lossy rounding of one runout slot's numbers to a few significant bits per combo, for the
// compressed river stores of the smaller storage levels.
//
// Regret matching and average strategies use a combo's numbers only as ratios between its
// actions, so each combo needs precision relative to its own largest number, not to the
// slot's. QuantizeCombos keeps 'bits' significant bits of every combo's largest number:
// with e = bit_width(largest) - bits (when positive), each of the combo's numbers becomes
// a multiple of 2^e. A number far below its combo's largest (more than 'bits' bits) thus
// rounds to 0 or 2^e, which is where the packed forms save most: fewer non-zeros, and
// every value coded as a short multiple.
//
// Rounding is stochastic and deterministic: x becomes floor((x + d) / 2^e) * 2^e with d
// in [0, 2^e) hashed from the seed, the combo and the action, so that on average no
// number moves (small regret changes of one iteration are kept in expectation instead
// of being rounded away every time), and a solve stays reproducible. The caller varies the
// seed with the slot and the iteration. A number rounds up at most to (2^bits - 1) * 2^e,
// so that every rounded combo is 'bits'-bit numbers times 2^e (the packed forms rely on
// it), which biases only the top of a combo's largest number, by less than one step.
//
// Combos whose largest number needs at most 'bits' bits are kept exactly, and rounding a
// rounded slot again changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Rounds the first 'combos' numbers of 'actions' rows 'stride' apart in place.
void QuantizeCombos(uint16_t* rows, int actions, size_t stride, int combos, int bits,
                    uint64_t seed);

// A seed for QuantizeCombos from the things that tell one rounding from another.
uint64_t QuantizeSeed(uint64_t a, uint64_t b, uint64_t c = 0);
