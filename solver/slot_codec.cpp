#include "solver/slot_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "tree/fse.h"

namespace {

constexpr int      kGroup         = 8;
constexpr uint32_t kOneByteLimit  = 128;
constexpr uint32_t kTwoByteLimit  = 16384;
constexpr uint8_t  kTwoByteTag    = 0x80;
constexpr uint8_t  kThreeByteLead = 0xC0;
constexpr size_t   kBlockHeader   = 8;  // u32 n, u32 c

size_t GroupsPerRow(const SlotShape& shape) { return (size_t(shape.combos) + kGroup - 1) / kGroup; }
size_t MaskCount(const SlotShape& shape) { return size_t(shape.actions) * GroupsPerRow(shape); }
size_t ValueCount(const SlotShape& shape) { return size_t(shape.actions) * shape.combos; }

// Bits of a group's mask that stand for values past the end of the row.
uint8_t PastEndBits(int combos, int group_start) {
    const int inside = std::min(kGroup, combos - group_start);
    return static_cast<uint8_t>(0xFF << inside);
}

uint8_t GroupMask(const uint16_t* row, int start, int end) {
    uint8_t mask = 0;
    for (int i = start; i < end; ++i)
        mask |= static_cast<uint8_t>(row[i] != 0) << (i - start);
    return mask;
}

void ZeroPadding(const SlotShape& shape, uint16_t* rows) {
    for (int a = 0; a < shape.actions; ++a)
        std::fill(rows + a * shape.stride + shape.combos, rows + (a + 1) * shape.stride, uint16_t{0});
}

// --- kBytes --------------------------------------------------------------------------

size_t PackBytes(const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    uint8_t* p   = out;
    bool     any = false;
    for (int a = 0; a < shape.actions; ++a) {
        const uint16_t* row = rows + a * shape.stride;
        for (int g = 0; g < shape.combos; g += kGroup) {
            const int     end  = std::min(g + kGroup, shape.combos);
            const uint8_t mask = GroupMask(row, g, end);
            *p++               = mask;
            any |= mask != 0;
            // Only the set bits: zeros cost no branch of their own.
            for (unsigned m = mask; m != 0; m &= m - 1) {
                const uint32_t v = row[g + std::countr_zero(m)];
                if (shape.narrow || v < kOneByteLimit) {
                    *p++ = static_cast<uint8_t>(v);
                } else if (v < kTwoByteLimit) {
                    *p++ = static_cast<uint8_t>(kTwoByteTag | v >> 8);
                    *p++ = static_cast<uint8_t>(v);
                } else {
                    *p++ = kThreeByteLead;
                    *p++ = static_cast<uint8_t>(v >> 8);
                    *p++ = static_cast<uint8_t>(v);
                }
            }
        }
    }
    return any ? static_cast<size_t>(p - out) : 0;
}

bool UnpackBytes(const SlotShape& shape, const uint8_t* p, const uint8_t* end, uint16_t* rows) {
    for (int a = 0; a < shape.actions; ++a) {
        uint16_t* row = rows + a * shape.stride;
        std::fill_n(row, shape.combos, uint16_t{0});
        for (int g = 0; g < shape.combos; g += kGroup) {
            if (p == end)
                return false;
            const uint8_t mask = *p++;
            if (mask & PastEndBits(shape.combos, g))
                return false;
            for (unsigned m = mask; m != 0; m &= m - 1) {
                const int i = g + std::countr_zero(m);
                if (p == end)
                    return false;
                const uint8_t lead = *p++;
                if (shape.narrow || lead < kOneByteLimit) {
                    row[i] = lead;
                } else if ((lead & 0xC0) == kTwoByteTag) {
                    if (p == end)
                        return false;
                    row[i] = static_cast<uint16_t>((lead & 0x3F) << 8 | *p++);
                } else if (lead == kThreeByteLead && end - p >= 2) {
                    row[i] = static_cast<uint16_t>(p[0] << 8 | p[1]);
                    p += 2;
                } else {
                    return false;
                }
            }
        }
    }
    return p == end;
}

// --- kEntropy ------------------------------------------------------------------------

size_t StreamBound(size_t n) { return n + kBlockHeader * (n / kFseMaxBlock + 1); }

void PutU32(uint8_t*& p, uint32_t value) {
    std::memcpy(p, &value, 4);
    p += 4;
}

uint32_t GetU32(const uint8_t*& p) {
    uint32_t value;
    std::memcpy(&value, p, 4);
    p += 4;
    return value;
}

// Codes 'count' bytes as blocks of at most 64 KiB, each in its smallest form.
void PutStream(const uint8_t* bytes, size_t count, uint8_t*& p) {
    thread_local std::vector<uint8_t> coded(FseCompressBound(kFseMaxBlock));
    for (size_t start = 0; start < count; start += kFseMaxBlock) {
        const size_t   n    = std::min(kFseMaxBlock, count - start);
        const uint8_t* data = bytes + start;
        size_t         c    = 0;
        PutU32(p, static_cast<uint32_t>(n));
        if (FseCompress({data, n}, coded, c) == FseStatus::kOk) {
            PutU32(p, static_cast<uint32_t>(c));
            std::memcpy(p, coded.data(), c);
            p += c;
        } else if (std::all_of(data, data + n, [&](uint8_t b) { return b == data[0]; })) {
            PutU32(p, 1);
            *p++ = data[0];
        } else {
            PutU32(p, 0);
            std::memcpy(p, data, n);
            p += n;
        }
    }
}

bool GetStream(const uint8_t*& p, const uint8_t* end, size_t count, std::vector<uint8_t>& bytes) {
    bytes.resize(count);
    for (size_t start = 0; start < count;) {
        if (end - p < static_cast<ptrdiff_t>(kBlockHeader))
            return false;
        const uint32_t n = GetU32(p), c = GetU32(p);
        const size_t   payload = c == 0 ? n : c;
        if (n == 0 || n > kFseMaxBlock || n > count - start || (c >= 2 && c >= n) ||
            end - p < static_cast<ptrdiff_t>(payload))
            return false;
        uint8_t* out = bytes.data() + start;
        if (c == 0)
            std::memcpy(out, p, n);
        else if (c == 1)
            std::memset(out, *p, n);
        else if (FseDecompress({p, c}, {out, n}) != FseStatus::kOk)
            return false;
        p += payload;
        start += n;
    }
    return true;
}

struct SplitStreams {
    std::vector<uint8_t> masks, low, high;
};

SplitStreams& ThreadStreams() {
    thread_local SplitStreams streams;
    return streams;
}

size_t PackEntropy(const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    SplitStreams& s = ThreadStreams();
    s.masks.resize(MaskCount(shape));
    s.low.resize(ValueCount(shape));
    s.high.resize(shape.narrow ? 0 : ValueCount(shape));
    uint8_t* mask = s.masks.data();
    uint8_t* low  = s.low.data();
    uint8_t* high = s.high.data();
    for (int a = 0; a < shape.actions; ++a) {
        const uint16_t* row = rows + a * shape.stride;
        for (int g = 0; g < shape.combos; g += kGroup) {
            const int end = std::min(g + kGroup, shape.combos);
            *mask++       = GroupMask(row, g, end);
            for (int i = g; i < end; ++i) {
                const uint16_t v = row[i];
                *low             = static_cast<uint8_t>(v);
                low += v != 0;
                if (!shape.narrow) {
                    *high = static_cast<uint8_t>(v >> 8);
                    high += v != 0;
                }
            }
        }
    }
    const size_t values = static_cast<size_t>(low - s.low.data());
    if (values == 0)
        return 0;
    uint8_t* p = out;
    PutStream(s.masks.data(), s.masks.size(), p);
    PutStream(s.low.data(), values, p);
    if (!shape.narrow)
        PutStream(s.high.data(), values, p);
    return static_cast<size_t>(p - out);
}

bool UnpackEntropy(const SlotShape& shape, const uint8_t* p, const uint8_t* end, uint16_t* rows) {
    SplitStreams& s = ThreadStreams();
    if (!GetStream(p, end, MaskCount(shape), s.masks))
        return false;
    size_t values = 0;
    for (size_t m = 0; m < s.masks.size(); ++m) {
        if (s.masks[m] & PastEndBits(shape.combos, int(m % GroupsPerRow(shape)) * kGroup))
            return false;
        values += std::popcount(s.masks[m]);
    }
    if (!GetStream(p, end, values, s.low))
        return false;
    if (shape.narrow)
        s.high.assign(values, 0);
    else if (!GetStream(p, end, values, s.high))
        return false;
    if (p != end)
        return false;
    size_t next = 0, mask_index = 0;
    for (int a = 0; a < shape.actions; ++a) {
        uint16_t* row = rows + a * shape.stride;
        std::fill_n(row, shape.combos, uint16_t{0});
        for (int g = 0; g < shape.combos; g += kGroup) {
            for (unsigned m = s.masks[mask_index++]; m != 0; m &= m - 1, ++next)
                row[g + std::countr_zero(m)] = static_cast<uint16_t>(s.low[next] | s.high[next] << 8);
        }
    }
    return true;
}

}  // namespace

size_t PackedSlotBound(SlotCodec codec, const SlotShape& shape) {
    const size_t value_bytes = shape.narrow ? 1 : codec == SlotCodec::kBytes ? 3 : 2;
    if (codec == SlotCodec::kBytes)
        return MaskCount(shape) + value_bytes * ValueCount(shape);
    return StreamBound(MaskCount(shape)) + value_bytes * StreamBound(ValueCount(shape));
}

size_t PackSlot(SlotCodec codec, const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    return codec == SlotCodec::kBytes ? PackBytes(shape, rows, out) : PackEntropy(shape, rows, out);
}

bool UnpackSlot(SlotCodec codec, const SlotShape& shape, const uint8_t* in, size_t size,
                uint16_t* rows) {
    ZeroPadding(shape, rows);
    if (size == 0) {
        for (int a = 0; a < shape.actions; ++a)
            std::fill_n(rows + a * shape.stride, shape.combos, uint16_t{0});
        return true;
    }
    const uint8_t* end = in + size;
    return codec == SlotCodec::kBytes ? UnpackBytes(shape, in, end, rows)
                                      : UnpackEntropy(shape, in, end, rows);
}
