// The tables of the FSE coder (fse.h): byte statistics, their normalisation to 2^R
// states, the count header, and the encoding and decoding tables built from it.
//
// Both tables come from one spread of the symbols over the states (SpreadSymbols), so
// an encoder and a decoder that agree on the normalised counts agree on every transition.
// Decoding state u (0 <= u < 2^R) emits symbol s = spread[u]; if u is the j-th state of s
// (in increasing u), its sub-state is x = q_s + j in [q_s, 2 q_s), and the next state is
// (x << b) - 2^R plus b bits read, with b = R - floor(log2 x). Encoding inverts this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "tree/fse.h"

inline constexpr int kFseSymbols   = 256;
inline constexpr int kFseMaxStates = 1 << kFseMaxTableLog;

using FseHistogram   = std::array<uint32_t, kFseSymbols>;
using FseNormalCount = std::array<uint16_t, kFseSymbols>;  // sums to 2^R

// Byte counts of 'src'; returns the number of distinct byte values.
int CountBytes(std::span<const uint8_t> src, FseHistogram& counts);

// The table log for n bytes with 'distinct' different values (2 <= distinct <= 256):
// about log2(n) - 2, clamped to [max(5, bits to hold 2 x distinct states), 12].
int ChooseTableLog(size_t n, int distinct);

// Scales 'counts' (summing to n) to 2^table_log by largest remainder; every byte that
// occurs keeps at least 1. Requires 2^table_log >= the number of distinct bytes.
void NormalizeCounts(const FseHistogram& counts, size_t n, int table_log, FseNormalCount& normal);

class ForwardBitWriter;

// Writes the normalised counts: for each byte value in turn, until all 2^R states are
// assigned, its count in bit_width(states left) bits; after a 0, 2-bit codes of further
// zeros (3 = three more and another code follows).
void WriteCountHeader(const FseNormalCount& normal, int table_log, ForwardBitWriter& out);

// Reads a header written by WriteCountHeader from the start of 'src' (table log known).
// Sets 'header_bytes' to the bytes it spans. kCorrupt when the counts overrun 2^R, run
// past byte 255 or past the end of 'src', or the padding of the last byte is not 0.
[[nodiscard]] FseStatus ReadCountHeader(std::span<const uint8_t> src, int table_log,
                                        FseNormalCount& normal, size_t& header_bytes);

struct FseDecodeEntry {
    uint16_t base;    // (x << bits) - 2^R
    uint8_t  symbol;
    uint8_t  bits;
};

struct FseSymbolCode {
    uint32_t first;      // index of the symbol's first state in FseEncodeTable::states
    uint32_t count;      // q_s
    uint32_t threshold;  // q_s << max_bits: states at or above it shed max_bits bits
    uint32_t max_bits;   // R - floor(log2 q_s)
};

struct FseEncodeTable {
    int                                   table_log = 0;
    std::array<uint16_t, kFseMaxStates>   states;  // 2^R + u, grouped by symbol
    std::array<FseSymbolCode, kFseSymbols> symbols;
};

void BuildDecodeTable(const FseNormalCount& normal, int table_log, FseDecodeEntry* table);
void BuildEncodeTable(const FseNormalCount& normal, int table_log, FseEncodeTable& table);
