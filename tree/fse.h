// FSE: finite state entropy, a tabled asymmetric-numeral-system (tANS) coder, order 0
// over bytes. It codes one block of at most kFseMaxBlock bytes at a time; the stream codec
// (codec_streams.h) frames the blocks.
//
// Pipeline of FseCompress, in order:
//   1. count the bytes (histogram);
//   2. normalise the counts to a table of 2^R states, R = table log, 5 <= R <= 12, every
//      byte that occurs keeping at least one state (fse_table.h);
//   3. write the header: R, then the normalised counts;
//   4. spread the symbols over the states and build the encoding table;
//   5. encode the bytes last to first, writing each transition's low state bits forward
//      into one bit stream, then the final state and a closing 1 bit.
// FseDecompress reads the header, builds the decoding table and reads the bit stream
// backward from the closing bit, producing the bytes first to last.
//
// Coded block layout: byte R, a 16-bit checksum of the block's bytes, the count header
// (bit-packed, padded to a byte), then the state bit stream. The decoder trusts nothing:
// a header that does not describe exactly 2^R states, a bit stream that ends too early or
// has bits left over, a final state other than the encoder's initial one, or output that
// does not match the checksum all give kCorrupt. (Without the checksum, damage to a small
// block's header can decode to other bytes that pass every structural check.)
//
// Costs: both directions are linear in the block size, plus a table of 2^R entries
// (at most 4096) built per block. Neither allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int    kFseMinTableLog = 5;
inline constexpr int    kFseMaxTableLog = 12;
inline constexpr size_t kFseMaxBlock    = 65536;

enum class FseStatus {
    kOk,
    kNotCompressible,  // coding would not save a byte (or the block has one distinct byte)
    kCorrupt,          // the coded block is malformed
    kTooLarge,         // block above kFseMaxBlock, or output does not fit
};

// Upper bound of any output for n input bytes: n + n/128 + 512.
constexpr size_t FseCompressBound(size_t n) { return n + n / 128 + 512; }

// Codes 'src' (1 .. kFseMaxBlock bytes) into 'dst'. On kOk, 'written' holds the coded
// size, which is at least 2 and below src.size(). kNotCompressible when src holds a single
// distinct byte value or coding does not make it smaller (the caller stores it otherwise).
// 'dst' needs FseCompressBound(src.size()) bytes to never see kTooLarge.
[[nodiscard]] FseStatus FseCompress(std::span<const uint8_t> src, std::span<uint8_t> dst,
                                    size_t& written);

// Decodes a coded block into exactly dst.size() bytes (1 .. kFseMaxBlock). kCorrupt on
// any inconsistency; 'dst' may then hold partial output.
[[nodiscard]] FseStatus FseDecompress(std::span<const uint8_t> src, std::span<uint8_t> dst);
