// The shape of one decision node's storage: actions x stored combos x runout slots.
//
// A runout slot is one instance of the node's per-combo data: 1 for a node on the tree's
// first street, one per turn card for a turn node of a flop tree, one per (turn, river)
// pair or river card for river nodes; which slot a dealt runout uses is the tree's
// mapping.
//
// A slot keeps numbers only for its span: the positions of the acting player's combos in
// the slot's combo list (runout_lists.h puts them in one run). The store's operations
// still take and give per-combo vectors over the whole list ('combos' entries, the widest
// list of the node's slots, rows RowStride() apart); entries outside the span read as
// strategy 0. Every stored row holds RowCombos() numbers, the largest span count over the
// slots; a slot whose span is shorter leaves the rest of its rows 0. Without a span table
// every slot keeps the whole list.
//
// In memory, the slots follow each other, and a slot's rows are SlotStride(slot) apart:
// its span count, unpadded, so a slot with a short span takes no room for the longest one
// and rows start wherever the one before ends (the kernels load them unaligned, with
// masked tails). Padding rows to 8 combos cost 0.8 % more storage on a turn tree and to
// 16 another 0.5 %, and neither was faster. Unpacked copies of a slot (compressed stores,
// scratch) use StoredStride(), the longest span padded to 32 combos so that every row
// starts on a cache line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "solver/card_pair.h"

inline constexpr int kMaxActions       = 64;
inline constexpr int kMaxRunoutSlots   = 49 * 48;
inline constexpr int kRowAlignment     = 32;

// A run of consecutive positions of a combo list: positions first .. first + count - 1.
struct ComboSpan {
    int first = 0;
    int count = 0;

    int  End() const { return first + count; }
    bool operator==(const ComboSpan&) const = default;
};

constexpr size_t PaddedRow(int combos) {
    return (size_t(combos) + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

// The span each runout slot of a street keeps for one acting player, shared by the stores
// of every node of that street and player.
struct SpanTable {
    std::vector<ComboSpan> slot;     // per runout slot
    int                    row = 0;  // the largest count
    std::vector<size_t>    start;    // per slot and one past: the counts of the slots before

    explicit SpanTable(std::vector<ComboSpan> spans)
        : slot(std::move(spans)), start(slot.size() + 1, 0) {
        for (size_t s = 0; s < slot.size(); ++s) {
            row          = slot[s].count > row ? slot[s].count : row;
            start[s + 1] = start[s] + size_t(slot[s].count);
        }
    }
};

struct RunoutLayout {
    int actions = 0;
    int combos  = 0;  // entries of the per-combo vectors the operations take and give
    int slots   = 0;
    std::shared_ptr<const SpanTable> spans;  // null: every slot keeps 0 .. combos - 1

    // Numbers per stored row, and the span of the list a slot keeps.
    int       RowCombos() const { return spans ? spans->row : combos; }
    ComboSpan Span(int slot) const { return spans ? spans->slot[slot] : ComboSpan{0, combos}; }

    // Distance between the rows of per-combo float vectors over the whole list.
    size_t RowStride() const { return PaddedRow(combos); }
    // Distance between the rows of an unpacked slot, and its size.
    size_t StoredStride() const { return PaddedRow(RowCombos()); }
    size_t SlotElements() const { return size_t(actions) * StoredStride(); }
    // Distance between one slot's stored rows, where they are, and the whole store's size.
    size_t SlotStride(int slot) const {
        return spans ? size_t(spans->slot[slot].count) : StoredStride();
    }
    size_t SlotOffset(int slot) const {
        return size_t(actions) * (spans ? spans->start[slot] : size_t(slot) * StoredStride());
    }
    size_t RowOffset(int slot, int action) const {
        return SlotOffset(slot) + action * SlotStride(slot);
    }
    size_t Elements() const { return SlotOffset(slots); }
    bool Valid() const {
        if (!(actions >= 1 && actions <= kMaxActions && combos >= 0 &&
              combos <= kMaxRunoutCombos && slots >= 1 && slots <= kMaxRunoutSlots))
            return false;
        if (!spans)
            return true;
        if (spans->slot.size() != size_t(slots))
            return false;
        for (const ComboSpan& span : spans->slot)
            if (span.first < 0 || span.count < 0 || span.End() > combos)
                return false;
        return true;
    }
    bool operator==(const RunoutLayout& other) const {
        if (actions != other.actions || combos != other.combos || slots != other.slots ||
            RowCombos() != other.RowCombos())
            return false;
        if (spans == other.spans)
            return true;
        for (int s = 0; s < slots; ++s)
            if (!(Span(s) == other.Span(s)))
                return false;
        return true;
    }
};
