// Lossless packing of one runout slot of 16-bit numbers (regrets or averages: 'actions'
// rows of 'combos' values, rows 'stride' apart) for the compressed river stores. The
// stores that keep fewer bits round their numbers per combo before packing
// (combo_quantizer.h); the packing itself gives back exactly what it was given.
//
// The packed form goes combo by combo, bit by bit. Three header bytes: B, the bits of
// every coded number; e0, the smallest shift of the slot; W, the bits of a shift's offset
// from e0, with bit 7 set for pattern-only slots. Then a bit stream, least significant
// bit first, per combo:
//   presence           1 bit, set when the combo has a non-zero number (not in
//                      pattern-only slots);
//   pattern            of non-zero actions, one bit an action (with one action implied);
//                      in a pattern-only slot always there, 0 for an absent combo;
//   if present         the combo's shift less e0 (W bits), then each non-zero number x
//                      as x >> shift in B bits;
// and zero bits up to the last byte. A combo's shift is at most the number of trailing
// zero bits that all its non-zero numbers share, so the form is lossless for any numbers;
// B is the widest shifted number of the slot, K for numbers rounded to K significant bits
// per combo. The packer picks W (0 to 4) and the presence coding for the fewest bits: W 0
// for numbers that share no zero bits, where offsets would only cost; presence bits where
// many combos are absent (averages of combos that never reach the node), the pattern
// alone where nearly all are present (regrets). An all-zero slot packs to 0 bytes.
//
// Why bits and not an entropy coder: a river slot holds a few hundred combos, and a coder
// table per slot (the FSE stage of the tree files) costs about as much as the slot's
// data, while rounded numbers are close to uniform in their K bits. On the river numbers
// of flop_narrow after 125 iterations, regrets rounded to 6 bits take 0.146 of the plain
// river stores' bytes in this form (FSE-coded row masks and bytes: 0.143), and the form
// needs no tables to pack or unpack.
//
// Packed slots live in memory only (files save the unpacked numbers), so a slot that
// does not unpack is a program fault: UnpackSlot reports it and the caller ends the
// program.
#pragma once

#include <cstddef>
#include <cstdint>

struct SlotShape {
    int    actions = 0;
    int    combos  = 0;
    size_t stride  = 0;  // elements between row starts; padding stays 0
};

// The largest packed size of a slot of this shape.
size_t PackedSlotBound(const SlotShape& shape);

// Packs the slot's rows into 'out' (PackedSlotBound bytes); returns the packed size.
size_t PackSlot(const SlotShape& shape, const uint16_t* rows, uint8_t* out);

// Unpacks 'size' bytes into the rows (padding included: every element up to
// actions x stride is written). 'size' 0 gives zeros. False when the bytes are not a
// packed slot of this shape.
[[nodiscard]] bool UnpackSlot(const SlotShape& shape, const uint8_t* in, size_t size,
                              uint16_t* rows);
