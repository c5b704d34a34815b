#include "solver/slot_codec.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace {

constexpr size_t  kHeader       = 3;
constexpr int     kMaxShiftBits = 4;
constexpr uint8_t kPatternOnly  = 0x80;  // in the third header byte

class BitWriter {
public:
    explicit BitWriter(uint8_t* out) : out_(out) {}
    // Up to 32 bits at a time.
    void Put(uint64_t value, int bits) {
        if (bits == 0)
            return;
        buffer_ |= value << filled_;
        filled_ += bits;
        while (filled_ >= 8) {
            *out_++ = static_cast<uint8_t>(buffer_);
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    uint8_t* Finish() {
        if (filled_ > 0)
            *out_++ = static_cast<uint8_t>(buffer_);
        return out_;
    }

private:
    uint8_t* out_;
    uint64_t buffer_ = 0;
    int      filled_ = 0;
};

class BitReader {
public:
    BitReader(const uint8_t* p, const uint8_t* end) : p_(p), end_(end) {}
    // Up to 32 bits at a time; false when the stream ends first.
    bool Get(int bits, uint64_t& value) {
        while (filled_ < bits) {
            if (p_ == end_)
                return false;
            buffer_ |= uint64_t(*p_++) << filled_;
            filled_ += 8;
        }
        value = bits == 0 ? 0 : buffer_ & ((uint64_t(1) << bits) - 1);
        buffer_ >>= bits;
        filled_ -= bits;
        return true;
    }
    // Every byte used, and the bits left in the last one zero.
    bool AtCleanEnd() const { return p_ == end_ && filled_ < 8 && buffer_ == 0; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    uint64_t       buffer_ = 0;
    int            filled_ = 0;
};

int PatternBits(int actions) { return actions == 1 ? 0 : actions; }

struct ComboCode {
    uint64_t pattern = 0;
    int      zeros   = 0;  // trailing zero bits that the combo's non-zero numbers share
    int      width   = 0;  // bits of its widest number
};

ComboCode CodeOf(const SlotShape& shape, const uint16_t* rows, int c) {
    ComboCode code{0, 15, 0};
    for (int a = 0; a < shape.actions; ++a)
        if (const uint16_t x = rows[a * shape.stride + c]) {
            code.pattern |= 1ull << a;
            code.zeros = std::min(code.zeros, std::countr_zero(x));
            code.width = std::max(code.width, int(std::bit_width(x)));
        }
    return code;
}

// The slot's coding: shifts from 'low' with 'shift_bits' bits of offset (a combo whose
// zeros reach past the largest offset shifts less), numbers in 'value_bits'; whether the
// pattern alone (0: absent) tells the absent combos, or a presence bit comes first.
struct SlotCoding {
    int  low = 15, shift_bits = 0, value_bits = 0;
    bool pattern_only = false;

    int ShiftOf(const ComboCode& code) const {
        return std::min(code.zeros, low + (1 << shift_bits) - 1);
    }
};

// Picks the shift offset width that codes the slot in the fewest bits: offsets cost every
// present combo, and pay only where they narrow the slot's widest shifted number (numbers
// rounded per combo need them; unrounded numbers rarely share zero bits).
SlotCoding ChooseCoding(const std::vector<ComboCode>& codes, int actions_of_slot) {
    SlotCoding coding;
    uint64_t   present = 0, numbers = 0;
    for (const ComboCode& code : codes)
        if (code.pattern != 0) {
            coding.low = std::min(coding.low, code.zeros);
            ++present;
            numbers += std::popcount(code.pattern);
        }
    uint64_t best = ~0ull;
    for (int shift_bits = 0; shift_bits <= kMaxShiftBits; ++shift_bits) {
        SlotCoding trial{coding.low, shift_bits, 0};
        for (const ComboCode& code : codes)
            if (code.pattern != 0)
                trial.value_bits = std::max(trial.value_bits, code.width - trial.ShiftOf(code));
        const uint64_t cost = present * shift_bits + numbers * trial.value_bits;
        if (cost < best)
            best = cost, coding = trial;
    }
    // Presence bits pay where many combos are absent (averages of combos that never reach
    // the node); where nearly all are present (regrets) the pattern alone is shorter.
    const uint64_t combos = codes.size(), actions = PatternBits(actions_of_slot);
    coding.pattern_only   = actions > 0 && combos * actions < combos + present * actions;
    return coding;
}

// Patterns of up to 64 actions, in pieces of at most 32 bits.
void PutPattern(BitWriter& bits, uint64_t pattern, int count) {
    for (int done = 0; done < count; done += 32)
        bits.Put((pattern >> done) & 0xFFFFFFFFull, std::min(32, count - done));
}

bool GetPattern(BitReader& bits, int count, uint64_t& pattern) {
    if (count == 0)
        return true;  // one action: implied
    pattern = 0;
    for (int done = 0; done < count; done += 32) {
        uint64_t piece = 0;
        if (!bits.Get(std::min(32, count - done), piece))
            return false;
        pattern |= piece << done;
    }
    return true;
}

}  // namespace

size_t PackedSlotBound(const SlotShape& shape) {
    const size_t per_combo = 1 + PatternBits(shape.actions) + kMaxShiftBits + 16 * size_t(shape.actions);
    return kHeader + (size_t(shape.combos) * per_combo + 7) / 8;
}

size_t PackSlot(const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    thread_local std::vector<ComboCode> codes;
    codes.resize(shape.combos);
    bool any = false;
    for (int c = 0; c < shape.combos; ++c) {
        codes[c] = CodeOf(shape, rows, c);
        any |= codes[c].pattern != 0;
    }
    if (!any)
        return 0;
    const SlotCoding coding = ChooseCoding(codes, shape.actions);
    out[0]                  = static_cast<uint8_t>(coding.value_bits);
    out[1]                  = static_cast<uint8_t>(coding.low);
    out[2] = static_cast<uint8_t>(coding.shift_bits | (coding.pattern_only ? kPatternOnly : 0));
    BitWriter bits(out + kHeader);
    for (int c = 0; c < shape.combos; ++c) {
        const ComboCode& code = codes[c];
        if (coding.pattern_only) {
            PutPattern(bits, code.pattern, PatternBits(shape.actions));
        } else {
            bits.Put(code.pattern != 0, 1);
            if (code.pattern != 0)
                PutPattern(bits, code.pattern, PatternBits(shape.actions));
        }
        if (code.pattern == 0)
            continue;
        const int shift = coding.ShiftOf(code);
        bits.Put(uint64_t(shift - coding.low), coding.shift_bits);
        for (uint64_t m = code.pattern; m != 0; m &= m - 1)
            bits.Put(rows[std::countr_zero(m) * shape.stride + c] >> shift, coding.value_bits);
    }
    return static_cast<size_t>(bits.Finish() - out);
}

bool UnpackSlot(const SlotShape& shape, const uint8_t* p, size_t size, uint16_t* rows) {
    for (int a = 0; a < shape.actions; ++a)
        std::fill(rows + a * shape.stride, rows + (a + 1) * shape.stride, uint16_t{0});
    if (size == 0)
        return true;
    if (size < kHeader)
        return false;
    const int  value_bits = p[0], low = p[1], shift_bits = p[2] & ~kPatternOnly;
    const bool pattern_only = (p[2] & kPatternOnly) != 0;
    const int  pattern_bits = PatternBits(shape.actions);
    if (value_bits < 1 || value_bits > 16 || low > 15 || shift_bits > kMaxShiftBits ||
        (pattern_only && pattern_bits == 0))
        return false;
    const uint64_t allowed = shape.actions == 64 ? ~0ull : (1ull << shape.actions) - 1;
    BitReader      bits(p + kHeader, p + size);
    for (int c = 0; c < shape.combos; ++c) {
        uint64_t present = 1, pattern = 1, offset = 0;
        if (pattern_only) {
            if (!GetPattern(bits, pattern_bits, pattern))
                return false;
            if (pattern == 0)
                continue;
        } else {
            if (!bits.Get(1, present))
                return false;
            if (!present)
                continue;
            if (!GetPattern(bits, pattern_bits, pattern))
                return false;
        }
        if (!bits.Get(shift_bits, offset))
            return false;
        const uint64_t shift = low + offset;
        if (pattern == 0 || (pattern & ~allowed) != 0 || shift > 15)
            return false;
        for (uint64_t m = pattern; m != 0; m &= m - 1) {
            uint64_t x = 0;
            if (!bits.Get(value_bits, x) || x == 0 || (x << shift) > 0xFFFF)
                return false;
            rows[std::countr_zero(m) * shape.stride + c] = static_cast<uint16_t>(x << shift);
        }
    }
    return bits.AtCleanEnd();
}
