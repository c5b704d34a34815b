// The runout slots of one compressed store, each packed (slot_codec.h) in its own buffer.
//
// A slot is unpacked into the calling thread's scratch rows for every operation and
// packed back after a change. Packed slots live in the store's own arena (slot_arena.h):
// a slot's block is replaced when the packed slot outgrows it or shrinks by more than two
// arena units below it, and an all-zero slot holds no block. The store's memory is the
// arena's committed range plus one record per slot.
//
// Threads: different slots may be loaded and stored by different threads at once (the
// subgame tasks of a pass own different slots); one slot is used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/slot_arena.h"
#include "solver/slot_codec.h"

class PackedSlots {
public:
    PackedSlots(const SlotShape& shape, int slots);
    // Owns its arena: neither copied nor moved (swap the owners instead).
    PackedSlots(const PackedSlots&)            = delete;
    PackedSlots& operator=(const PackedSlots&) = delete;

    const SlotShape& Shape() const { return shape_; }
    int              Count() const { return static_cast<int>(slots_.size()); }

    // Unpacks a slot into 'rows' (actions x stride elements, padding zeroed). Ends the
    // program if the slot does not unpack (memory corruption).
    void Load(int slot, uint16_t* rows) const;

    // Packs 'rows' into the slot.
    void Store(int slot, const uint16_t* rows);

    // Every slot back to zeros, blocks freed.
    void Clear();

    // Compacts the arena when it is fragmented, trimming every block to its packed bytes.
    // Only while no other thread uses the slots.
    void Tidy();

    // Bytes held: the arena's committed range plus the per-slot records.
    uint64_t ByteSize() const;

private:
    struct Slot {
        SlotArena::Block block;
        uint32_t         size = 0;
    };

    SlotShape         shape_;
    std::vector<Slot> slots_;
    SlotArena         arena_;
};

// The calling thread's scratch rows for one slot: at least 'elements' u16, contents
// undefined. Valid until the next call on the same thread.
uint16_t* ThreadSlotRows(size_t elements);
