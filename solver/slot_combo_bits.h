// The combo-major bit form of a packed runout slot (SlotCodec::kComboBits, slot_codec.h),
// made for numbers rounded per combo (combo_quantizer.h) and small slots.
//
// Three header bytes: B, the bits of every coded number; e0, the smallest shift of the
// slot; W, the bits of a shift's offset from e0. Then a bit stream, least significant
// bit first, per combo:
//   1 bit              combo present (any non-zero number);
//   if present         the pattern of non-zero actions (one bit an action; with one
//                      action implied), the combo's shift less e0 (W bits), then each
//                      non-zero number x as x >> shift in B bits;
// and zero bits up to the last byte. A combo's shift is at most the number of trailing
// zero bits that all its non-zero numbers share, so the form is lossless for any numbers;
// B is the widest shifted number of the slot. The packer picks W (0 to 4) for the fewest
// bits: 0 for numbers that share no zero bits, where offsets would only cost.
//
// Why bits and not an entropy coder: a river slot holds a few hundred combos, and a coder
// table per slot (the FSE stage of the tree files) costs as much as the slot's data, while
// numbers rounded to K significant bits are close to uniform in their K bits. On a solved
// flop spot this form takes about two thirds of the FSE-coded row form's bytes, and it
// needs no tables to pack or unpack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/slot_codec.h"

size_t ComboBitsBound(const SlotShape& shape);
size_t PackComboBits(const SlotShape& shape, const uint16_t* rows, uint8_t* out);
// Writes the first 'combos' numbers of every row; false when the bytes are not a slot of
// this shape.
[[nodiscard]] bool UnpackComboBits(const SlotShape& shape, const uint8_t* p, size_t size,
                                   uint16_t* rows);
