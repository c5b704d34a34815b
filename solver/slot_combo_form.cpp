#include "solver/slot_combo_form.h"

#include <algorithm>
#include <bit>

namespace {

constexpr int      kGroup         = 8;
constexpr int      kShortHeader   = 4;  // actions that fit the one-byte header
constexpr uint32_t kOneByteLimit  = 128;
constexpr uint32_t kTwoByteLimit  = 16384;
constexpr uint8_t  kTwoByteTag    = 0x80;
constexpr uint8_t  kThreeByteLead = 0xC0;

int PatternBytes(int actions) { return (actions + 7) / 8; }

void PutValue(uint8_t*& p, uint32_t q) {
    if (q < kOneByteLimit) {
        *p++ = static_cast<uint8_t>(q);
    } else if (q < kTwoByteLimit) {
        *p++ = static_cast<uint8_t>(kTwoByteTag | q >> 8);
        *p++ = static_cast<uint8_t>(q);
    } else {
        *p++ = kThreeByteLead;
        *p++ = static_cast<uint8_t>(q >> 8);
        *p++ = static_cast<uint8_t>(q);
    }
}

bool GetValue(const uint8_t*& p, const uint8_t* end, uint32_t& q) {
    if (p == end)
        return false;
    const uint8_t lead = *p++;
    if (lead < kOneByteLimit) {
        q = lead;
    } else if ((lead & 0xC0) == kTwoByteTag) {
        if (p == end)
            return false;
        q = (lead & 0x3Fu) << 8 | *p++;
    } else if (lead == kThreeByteLead && end - p >= 2) {
        q = uint32_t(p[0]) << 8 | p[1];
        p += 2;
    } else {
        return false;
    }
    return true;
}

void PutHeader(uint8_t*& p, int actions, int shift, uint64_t pattern) {
    if (actions <= kShortHeader) {
        *p++ = static_cast<uint8_t>(shift << 4 | pattern);
        return;
    }
    *p++ = static_cast<uint8_t>(shift);
    for (int b = 0; b < PatternBytes(actions); ++b)
        *p++ = static_cast<uint8_t>(pattern >> (8 * b));
}

bool GetHeader(const uint8_t*& p, const uint8_t* end, int actions, int& shift, uint64_t& pattern) {
    if (actions <= kShortHeader) {
        if (p == end)
            return false;
        shift   = *p >> 4;
        pattern = *p++ & 0x0F;
    } else {
        if (end - p < 1 + PatternBytes(actions))
            return false;
        shift   = *p++;
        pattern = 0;
        for (int b = 0; b < PatternBytes(actions); ++b)
            pattern |= uint64_t(*p++) << (8 * b);
    }
    const uint64_t allowed = actions == 64 ? ~0ull : (1ull << actions) - 1;
    return pattern != 0 && (pattern & ~allowed) == 0 && shift < 16;
}

}  // namespace

size_t ComboFormBound(const SlotShape& shape) {
    const size_t header = shape.actions <= kShortHeader ? 1 : 1 + PatternBytes(shape.actions);
    return (size_t(shape.combos) + kGroup - 1) / kGroup +
           size_t(shape.combos) * (header + 3 * size_t(shape.actions));
}

size_t PackComboForm(const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    uint8_t* p   = out;
    bool     any = false;
    for (int g = 0; g < shape.combos; g += kGroup) {
        const int end      = std::min(g + kGroup, shape.combos);
        uint8_t*  presence = p++;
        *presence          = 0;
        for (int c = g; c < end; ++c) {
            uint64_t pattern = 0;
            int      shift   = 15;
            for (int a = 0; a < shape.actions; ++a)
                if (const uint16_t x = rows[a * shape.stride + c]) {
                    pattern |= 1ull << a;
                    shift = std::min(shift, std::countr_zero(x));
                }
            if (pattern == 0)
                continue;
            *presence |= static_cast<uint8_t>(1u << (c - g));
            PutHeader(p, shape.actions, shift, pattern);
            for (uint64_t m = pattern; m != 0; m &= m - 1)
                PutValue(p, rows[std::countr_zero(m) * shape.stride + c] >> shift);
        }
        any |= *presence != 0;
    }
    return any ? static_cast<size_t>(p - out) : 0;
}

bool UnpackComboForm(const SlotShape& shape, const uint8_t* p, const uint8_t* end,
                     uint16_t* rows) {
    for (int a = 0; a < shape.actions; ++a)
        std::fill_n(rows + a * shape.stride, shape.combos, uint16_t{0});
    for (int g = 0; g < shape.combos; g += kGroup) {
        if (p == end)
            return false;
        const int     inside   = std::min(kGroup, shape.combos - g);
        const uint8_t presence = *p++;
        if (presence >> inside)
            return false;
        for (unsigned m = presence; m != 0; m &= m - 1) {
            const int c       = g + std::countr_zero(m);
            int       shift   = 0;
            uint64_t  pattern = 0;
            if (!GetHeader(p, end, shape.actions, shift, pattern))
                return false;
            for (uint64_t bits = pattern; bits != 0; bits &= bits - 1) {
                uint32_t q = 0;
                if (!GetValue(p, end, q) || q == 0 || (q << shift) > 0xFFFFu)
                    return false;
                rows[std::countr_zero(bits) * shape.stride + c] = static_cast<uint16_t>(q << shift);
            }
        }
    }
    return p == end;
}
