// The shape of one decision node's storage: actions x combos x runout slots.
//
// A runout slot is one instance of the node's per-combo data: 1 for a node on the tree's
// first street, one per turn card for a turn node of a flop tree, one per (turn, river)
// pair or river card for river nodes; which slot a dealt runout uses is the tree's
// mapping. Every runout of a street has the same combo count (the combos avoiding a board
// of that size: 1176 on a flop, 1128 on a turn, 1081 on a river), so all slots share it.
//
// In memory, slot s, action a starts at element (s * actions + a) * RowStride(): rows are
// padded to 32 combos (64 bytes of u16) so that every row starts on a cache line. The
// padding stays 0 and is not saved.
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/card_pair.h"

inline constexpr int kMaxActions     = 64;
inline constexpr int kMaxRunoutSlots = 49 * 48;
inline constexpr int kRowAlignment   = 32;

// A run of consecutive positions of a combo list: positions first .. first + count - 1.
struct ComboSpan {
    int first = 0;
    int count = 0;

    int  End() const { return first + count; }
    bool operator==(const ComboSpan&) const = default;
};

struct RunoutLayout {
    int actions = 0;
    int combos  = 0;
    int slots   = 0;

    size_t RowStride() const { return (size_t(combos) + kRowAlignment - 1) / kRowAlignment * kRowAlignment; }
    size_t SlotElements() const { return size_t(actions) * RowStride(); }
    size_t Elements() const { return size_t(slots) * SlotElements(); }
    size_t RowOffset(int slot, int action) const {
        return (size_t(slot) * actions + action) * RowStride();
    }
    bool Valid() const {
        return actions >= 1 && actions <= kMaxActions && combos >= 0 &&
               combos <= kMaxRunoutCombos && slots >= 1 && slots <= kMaxRunoutSlots;
    }
    bool operator==(const RunoutLayout&) const = default;
};
