#include "tree/fse_table.h"

#include <algorithm>
#include <bit>

#include "tree/fse_bit_stream.h"

namespace {

constexpr int kZeroRunBits = 2;
constexpr int kZeroRunMore = 3;  // three more zeros, and another run code follows

// Symbol of every state: the spread shared by both tables. The step is odd, hence coprime
// with 2^R, so the walk visits every state once; it scatters each symbol's states over
// the table, which keeps the coding loss of the state quantisation small.
void SpreadSymbols(const FseNormalCount& normal, int table_log, uint8_t* spread) {
    const uint32_t size = 1u << table_log;
    const uint32_t mask = size - 1;
    const uint32_t step = (size >> 1) + (size >> 3) + 3;
    uint32_t       position = 0;
    for (int s = 0; s < kFseSymbols; ++s)
        for (uint32_t i = 0; i < normal[s]; ++i) {
            spread[position] = static_cast<uint8_t>(s);
            position         = (position + step) & mask;
        }
}

// Least-significant-bit-first reader over a byte span; reading past the end sets a flag.
class ForwardBitReader {
public:
    explicit ForwardBitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t Read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++position_) {
            if (position_ / 8 >= bytes_.size()) {
                overrun_ = true;
                return 0;
            }
            value |= uint32_t(bytes_[position_ / 8] >> (position_ % 8) & 1) << i;
        }
        return value;
    }
    bool   Overrun() const { return overrun_; }
    size_t BytesSpanned() const { return (position_ + 7) / 8; }
    // True when the bits from the position to the end of its byte are all 0.
    bool PaddingIsZero() const {
        return position_ % 8 == 0 || (bytes_[position_ / 8] >> (position_ % 8)) == 0;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t                   position_ = 0;
    bool                     overrun_  = false;
};

}  // namespace

int CountBytes(std::span<const uint8_t> src, FseHistogram& counts) {
    counts.fill(0);
    for (uint8_t byte : src)
        ++counts[byte];
    return static_cast<int>(std::count_if(counts.begin(), counts.end(), [](uint32_t c) { return c > 0; }));
}

int ChooseTableLog(size_t n, int distinct) {
    const int least     = std::max(kFseMinTableLog, int(std::bit_width(unsigned(distinct - 1))) + 1);
    const int preferred = int(std::bit_width(n)) - 2;
    return std::clamp(preferred, least, kFseMaxTableLog);
}

void NormalizeCounts(const FseHistogram& counts, size_t n, int table_log, FseNormalCount& normal) {
    const uint64_t size = uint64_t{1} << table_log;
    normal.fill(0);
    std::array<uint64_t, kFseSymbols> remainder{};
    std::array<uint8_t, kFseSymbols>  present;
    int                               distinct = 0;
    uint64_t                          assigned = 0;
    for (int s = 0; s < kFseSymbols; ++s) {
        if (counts[s] == 0)
            continue;
        const uint64_t scaled = uint64_t(counts[s]) * size;
        normal[s]             = static_cast<uint16_t>(std::max<uint64_t>(scaled / n, 1));
        remainder[s]          = scaled / n == 0 ? 0 : scaled % n;
        assigned += normal[s];
        present[distinct++] = static_cast<uint8_t>(s);
    }
    std::span<uint8_t> symbols(present.data(), distinct);
    if (assigned < size) {
        // Too few states (at most one per symbol was lost to rounding down): hand them out
        // by largest remainder, ties to the lower byte value.
        std::stable_sort(symbols.begin(), symbols.end(),
                         [&](uint8_t a, uint8_t b) { return remainder[a] > remainder[b]; });
        for (size_t i = 0; assigned < size; ++i, ++assigned)
            ++normal[symbols[i % symbols.size()]];
    } else if (assigned > size) {
        // Too many (rare bytes raised to 1): take them from the largest counts, which lose
        // the least precision, one at a time round the list.
        std::stable_sort(symbols.begin(), symbols.end(),
                         [&](uint8_t a, uint8_t b) { return normal[a] > normal[b]; });
        for (size_t i = 0; assigned > size; i = (i + 1) % symbols.size())
            if (normal[symbols[i]] > 1) {
                --normal[symbols[i]];
                --assigned;
            } else {
                i = size_t(-1);  // the rest are 1: start again from the largest
            }
    }
}

void WriteCountHeader(const FseNormalCount& normal, int table_log, ForwardBitWriter& out) {
    uint32_t left = 1u << table_log;
    int      s    = 0;
    while (left > 0) {
        out.Write(normal[s], std::bit_width(left));
        left -= normal[s];
        if (normal[s++] != 0)
            continue;
        int zeros = 0;
        while (s + zeros < kFseSymbols && normal[s + zeros] == 0)
            ++zeros;
        s += zeros;
        for (; zeros >= kZeroRunMore; zeros -= kZeroRunMore)
            out.Write(kZeroRunMore, kZeroRunBits);
        out.Write(static_cast<uint32_t>(zeros), kZeroRunBits);
    }
}

FseStatus ReadCountHeader(std::span<const uint8_t> src, int table_log, FseNormalCount& normal,
                          size_t& header_bytes) {
    ForwardBitReader in(src);
    normal.fill(0);
    uint32_t left = 1u << table_log;
    int      s    = 0;
    while (left > 0) {
        if (s >= kFseSymbols)
            return FseStatus::kCorrupt;
        const uint32_t count = in.Read(std::bit_width(left));
        if (count > left)
            return FseStatus::kCorrupt;
        normal[s++] = static_cast<uint16_t>(count);
        left -= count;
        if (count != 0)
            continue;
        for (uint32_t run = kZeroRunMore; run == kZeroRunMore;) {
            run = in.Read(kZeroRunBits);
            s += static_cast<int>(run);
            if (s > kFseSymbols)
                return FseStatus::kCorrupt;
        }
        if (in.Overrun())
            return FseStatus::kCorrupt;
    }
    if (in.Overrun() || !in.PaddingIsZero())
        return FseStatus::kCorrupt;
    header_bytes = in.BytesSpanned();
    return FseStatus::kOk;
}

void BuildDecodeTable(const FseNormalCount& normal, int table_log, FseDecodeEntry* table) {
    const uint32_t size = 1u << table_log;
    uint8_t        spread[kFseMaxStates];
    SpreadSymbols(normal, table_log, spread);
    std::array<uint32_t, kFseSymbols> next;
    std::copy(normal.begin(), normal.end(), next.begin());
    for (uint32_t u = 0; u < size; ++u) {
        const uint8_t  s    = spread[u];
        const uint32_t x    = next[s]++;
        const int      bits = table_log - (int(std::bit_width(x)) - 1);
        table[u]            = {static_cast<uint16_t>((x << bits) - size), s, static_cast<uint8_t>(bits)};
    }
}

void BuildEncodeTable(const FseNormalCount& normal, int table_log, FseEncodeTable& table) {
    const uint32_t size = 1u << table_log;
    table.table_log     = table_log;
    uint32_t first      = 0;
    for (int s = 0; s < kFseSymbols; ++s) {
        const uint32_t q = normal[s];
        FseSymbolCode& code = table.symbols[s];
        code.first          = first;
        code.count          = q;
        code.max_bits       = q ? table_log - (int(std::bit_width(q)) - 1) : 0;
        code.threshold      = q << code.max_bits;
        first += q;
    }
    uint8_t spread[kFseMaxStates];
    SpreadSymbols(normal, table_log, spread);
    std::array<uint32_t, kFseSymbols> seen{};
    for (uint32_t u = 0; u < size; ++u) {
        const uint8_t s = spread[u];
        table.states[table.symbols[s].first + seen[s]++] = static_cast<uint16_t>(size + u);
    }
}
