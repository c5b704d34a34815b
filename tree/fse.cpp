#include "tree/fse.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "tree/fse_bit_stream.h"
#include "tree/fse_table.h"

namespace {

constexpr size_t kChecksumBytes = 2;

// 16 bits of a multiplicative hash over the block, eight bytes at a time.
uint16_t BlockChecksum(std::span<const uint8_t> bytes) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t           hash        = bytes.size();
    size_t             i           = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        hash = std::rotl((hash ^ word) * kMultiplier, 29);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    hash = (hash ^ tail) * kMultiplier;
    return static_cast<uint16_t>(hash >> 48 ^ hash >> 16);
}

// A lower estimate of the coded size: the bytes' order-0 entropy plus a little of header
// per distinct byte. Blocks it puts at or above their raw size are not coded at all,
// which spares the tables and the encoding pass for near-uniform bytes.
double EntropyBound(const FseHistogram& counts, size_t n, int distinct) {
    double bits = 0;
    for (uint32_t count : counts)
        if (count > 0)
            bits += count * std::log2(double(n) / count);
    return bits / 8 + 0.75 * distinct;
}

}  // namespace

FseStatus FseCompress(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& written) {
    const size_t n = src.size();
    if (n == 0 || n > kFseMaxBlock || dst.size() < 2)
        return FseStatus::kTooLarge;
    FseHistogram counts;
    const int    distinct = CountBytes(src, counts);
    if (distinct < 2 || EntropyBound(counts, n, distinct) >= n)
        return FseStatus::kNotCompressible;

    const int      table_log = ChooseTableLog(n, distinct);
    FseNormalCount normal;
    NormalizeCounts(counts, n, table_log, normal);

    dst[0]                  = static_cast<uint8_t>(table_log);
    const uint16_t checksum = BlockChecksum(src);
    std::memcpy(dst.data() + 1, &checksum, kChecksumBytes);
    ForwardBitWriter header(dst.data() + 1 + kChecksumBytes, dst.size() - 1 - kChecksumBytes);
    WriteCountHeader(normal, table_log, header);
    const size_t header_bytes = header.Finish();
    if (header_bytes == 0)
        return FseStatus::kTooLarge;

    FseEncodeTable table;
    BuildEncodeTable(normal, table_log, table);
    const size_t     offset = 1 + kChecksumBytes + header_bytes;
    ForwardBitWriter bits(dst.data() + offset, dst.size() - offset);
    // The encoder's states live in [2^R, 2^(R+1)); starting at 2^R makes the decoder end
    // in state 0, which it checks.
    uint32_t state = 1u << table_log;
    for (size_t i = n; i-- > 0;) {
        const FseSymbolCode& code  = table.symbols[src[i]];
        const uint32_t       shed  = code.max_bits - (state < code.threshold ? 1 : 0);
        bits.Write(state & ((1u << shed) - 1), static_cast<int>(shed));
        state = table.states[code.first + (state >> shed) - code.count];
    }
    bits.Write(state - (1u << table_log), table_log);
    bits.Write(1, 1);  // closing bit: marks where the stream ends
    const size_t stream_bytes = bits.Finish();
    if (stream_bytes == 0)
        return FseStatus::kTooLarge;
    written = offset + stream_bytes;
    return written < n ? FseStatus::kOk : FseStatus::kNotCompressible;
}

FseStatus FseDecompress(std::span<const uint8_t> src, std::span<uint8_t> dst) {
    if (dst.empty() || dst.size() > kFseMaxBlock)
        return FseStatus::kTooLarge;
    if (src.size() < 1 + kChecksumBytes + 1)
        return FseStatus::kCorrupt;
    const int table_log = src[0];
    if (table_log < kFseMinTableLog || table_log > kFseMaxTableLog)
        return FseStatus::kCorrupt;
    uint16_t checksum;
    std::memcpy(&checksum, src.data() + 1, kChecksumBytes);
    FseNormalCount normal;
    size_t         header_bytes = 0;
    if (ReadCountHeader(src.subspan(1 + kChecksumBytes), table_log, normal, header_bytes) !=
        FseStatus::kOk)
        return FseStatus::kCorrupt;

    const std::span<const uint8_t> stream = src.subspan(1 + kChecksumBytes + header_bytes);
    if (stream.empty() || stream.back() == 0)
        return FseStatus::kCorrupt;  // no closing bit
    const uint64_t bit_count = 8 * (stream.size() - 1) + std::bit_width(stream.back()) - 1;

    FseDecodeEntry table[kFseMaxStates];
    BuildDecodeTable(normal, table_log, table);
    BackwardBitReader in(stream.data(), stream.size(), bit_count);
    uint32_t          state = in.Read(table_log);
    for (uint8_t& out : dst) {
        const FseDecodeEntry entry = table[state];
        out                        = entry.symbol;
        state                      = entry.base + in.Read(entry.bits);
    }
    if (!in.Exhausted() || state != 0 || BlockChecksum(dst) != checksum)
        return FseStatus::kCorrupt;
    return FseStatus::kOk;
}
