// The combo-major byte form of a packed runout slot (SlotCodec::kComboBytes, slot_codec.h),
// made for numbers rounded per combo (combo_quantizer.h) that stay byte-aligned, so that
// packing and unpacking are a few operations per number.
//
// Combos are taken in groups of eight:
//   presence byte      bit i set when combo i of the group has a non-zero number;
//   per present combo  a header: with at most 4 actions one byte, shift << 4 | pattern;
//                      otherwise the shift byte, then the pattern in ceil(actions / 8)
//                      bytes, least significant first (pattern bit a: action a non-zero);
//                      then each non-zero number x as x >> shift in 1 byte (< 128),
//                      2 bytes 10xxxxxx xxxxxxxx (< 16384) or 3 bytes 11000000 hi lo.
// The shift is the number of trailing zero bits that all of the combo's non-zero numbers
// share, so the form is lossless for any numbers, and a combo rounded to 7 significant
// bits costs one byte a non-zero number plus its header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/slot_codec.h"

size_t ComboFormBound(const SlotShape& shape);
size_t PackComboForm(const SlotShape& shape, const uint16_t* rows, uint8_t* out);
// Writes the first 'combos' numbers of every row; false when the bytes are not a slot of
// this shape.
[[nodiscard]] bool UnpackComboForm(const SlotShape& shape, const uint8_t* p, const uint8_t* end,
                                   uint16_t* rows);
