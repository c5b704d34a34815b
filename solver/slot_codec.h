// Lossless packing of one runout slot of 16-bit numbers (regrets or averages: 'actions'
// rows of 'combos' values, rows 'stride' apart) for the compressed river stores.
//
// Both forms code each row in groups of up to eight values: a presence mask (bit i set
// when value i is non-zero), then the non-zero values only. Solved river data is mostly
// zeros (regrets of dominated actions are floored at 0, averages of combos that never
// reach a node stay 0), so masks alone halve the size.
//
//   kBytes    (mode 1)  masks and values interleaved in one byte sequence; a value v is
//                       one byte (v < 128), two bytes 10xxxxxx xxxxxxxx (v < 16384) or
//                       three bytes 11000000 then v big-endian. Byte-aligned: packing and
//                       unpacking are a few operations per value.
//   kEntropy  (mode 2)  three streams, masks, low bytes and high bytes of the non-zero
//                       values, each FSE-coded (tree/fse.h) in blocks of at most 64 KiB
//                       (u32 n, u32 c, then c coded bytes, one byte when all n are equal,
//                       or n raw bytes when c = 0). About 30 % smaller than kBytes on
//                       solved data, and several times slower. (Storing the low bytes raw
//                       would halve the time for a tenth more memory.)
// Narrow slots (every value below 256) store each non-zero value as one byte (kBytes) or
// in the low-byte stream alone (kEntropy).
// An all-zero slot packs to 0 bytes.
//
// Packed slots live in memory only (files save the unpacked numbers), so a slot that
// does not unpack is a program fault: UnpackSlot reports it and the caller ends the
// program.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SlotCodec { kBytes, kEntropy };

struct SlotShape {
    int    actions = 0;
    int    combos  = 0;
    size_t stride  = 0;  // elements between row starts; padding stays 0
    bool   narrow  = false;  // every value below 256 (8-bit average numbers)
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
