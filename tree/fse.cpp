#include "tree/fse.h"

#include <bit>

#include "tree/fse_bit_stream.h"
#include "tree/fse_table.h"

FseStatus FseCompress(std::span<const uint8_t> src, std::span<uint8_t> dst, size_t& written) {
    const size_t n = src.size();
    if (n == 0 || n > kFseMaxBlock || dst.size() < 2)
        return FseStatus::kTooLarge;
    FseHistogram counts;
    const int    distinct = CountBytes(src, counts);
    if (distinct < 2)
        return FseStatus::kNotCompressible;

    const int      table_log = ChooseTableLog(n, distinct);
    FseNormalCount normal;
    NormalizeCounts(counts, n, table_log, normal);

    dst[0] = static_cast<uint8_t>(table_log);
    ForwardBitWriter header(dst.data() + 1, dst.size() - 1);
    WriteCountHeader(normal, table_log, header);
    const size_t header_bytes = header.Finish();
    if (header_bytes == 0)
        return FseStatus::kTooLarge;

    FseEncodeTable table;
    BuildEncodeTable(normal, table_log, table);
    const size_t     offset = 1 + header_bytes;
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
    if (src.size() < 2)
        return FseStatus::kCorrupt;
    const int table_log = src[0];
    if (table_log < kFseMinTableLog || table_log > kFseMaxTableLog)
        return FseStatus::kCorrupt;
    FseNormalCount normal;
    size_t         header_bytes = 0;
    if (ReadCountHeader(src.subspan(1), table_log, normal, header_bytes) != FseStatus::kOk)
        return FseStatus::kCorrupt;

    const std::span<const uint8_t> stream = src.subspan(1 + header_bytes);
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
    if (!in.Exhausted() || state != 0)
        return FseStatus::kCorrupt;
    return FseStatus::kOk;
}
