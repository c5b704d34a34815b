// Lossless packing of one runout slot of 16-bit numbers (regrets or averages: 'actions'
// rows of 'combos' values, rows 'stride' apart) for the compressed river stores. The
// stores that keep fewer bits round their numbers per combo before packing
// (combo_quantizer.h); the packing itself gives back exactly what it was given.
//
// Both forms go combo by combo: whether the combo has a non-zero number, which of its
// actions do, the zero bits its numbers share at the bottom (the shift), then the numbers
// without them. Solved river data is mostly zeros (regrets of dominated actions are
// floored at 0, averages of combos that never reach a node stay 0), and numbers rounded
// to K significant bits per combo are K-bit numbers after the shift.
//
//   kComboBytes (mode 1)  byte-aligned (slot_combo_form.h): a presence byte per eight
//                         combos, a header byte per present combo, each number in 1 to 3
//                         bytes (1 for numbers rounded to 7 bits).
//   kComboBits  (mode 2)  bit-packed (slot_combo_bits.h): a presence bit, the pattern and
//                         the shift offset per combo, each number in the slot's widest
//                         width (K bits for rounded numbers).
// An all-zero slot packs to 0 bytes.
//
// Packed slots live in memory only (files save the unpacked numbers), so a slot that
// does not unpack is a program fault: UnpackSlot reports it and the caller ends the
// program.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SlotCodec { kComboBytes, kComboBits };

struct SlotShape {
    int    actions = 0;
    int    combos  = 0;
    size_t stride  = 0;  // elements between row starts; padding stays 0
};

// The largest packed size of a slot of this shape.
size_t PackedSlotBound(SlotCodec codec, const SlotShape& shape);

// Packs the slot's rows into 'out' (PackedSlotBound bytes); returns the packed size.
size_t PackSlot(SlotCodec codec, const SlotShape& shape, const uint16_t* rows, uint8_t* out);

// Unpacks 'size' bytes into the rows (padding included: every element up to
// actions x stride is written). 'size' 0 gives zeros. False when the bytes are not a
// packed slot of this shape.
[[nodiscard]] bool UnpackSlot(SlotCodec codec, const SlotShape& shape, const uint8_t* in,
                              size_t size, uint16_t* rows);
