#include "cards/eval_tables.h"

#include <bit>

#include "cards/hand_value.h"

namespace {

uint32_t TopFive(uint32_t mask) {
    uint32_t packed = 0;
    for (int taken = 0; mask && taken < 5; ++taken) {
        int top = std::bit_width(mask) - 1;
        packed  = packed << 4 | static_cast<uint32_t>(top);
        mask &= ~(1u << top);
    }
    return packed;
}

uint32_t Straight(uint32_t mask) {
    for (int top = 12; top >= 4; --top) {
        uint32_t run = 0x1Fu << (top - 4);
        if ((mask & run) == run)
            return TypeBits(kStraight) | static_cast<uint32_t>(top) << 16;
    }
    constexpr uint32_t kWheel = 1u << 12 | 0xF;
    return (mask & kWheel) == kWheel ? kWheelStraight : 0;
}

}  // namespace

const EvalTables* BuildEvalTables() {
    // Owned for the program's life: the tables are read until the process ends.
    auto* t = new EvalTables;
    for (uint32_t mask = 0; mask < kRankMaskEntries; ++mask) {
        int top             = mask ? std::bit_width(mask) - 1 : 0;
        t->rank_count[mask] = static_cast<uint8_t>(std::popcount(mask));
        t->top_rank[mask]   = static_cast<uint8_t>(top);
        t->top_bit[mask]    = static_cast<uint16_t>(mask ? 1u << top : 0);
        t->top_five[mask]   = TopFive(mask);
        t->straight[mask]   = Straight(mask);
    }
    return t;
}

void InitEvaluatorTables() { EvaluatorTables(); }
