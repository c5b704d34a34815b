// The runout slots of one compressed store, each packed (slot_codec.h) in its own buffer.
//
// A slot is unpacked into the calling thread's scratch rows for every operation and
// packed back after a change; its buffer is resized to the packed size (with an eighth
// more for growth, and given back when the slot shrinks to less than half of it), and an
// all-zero slot holds no buffer. Buffers come from the scalable allocator, whose
// per-thread pools keep the solver's worker threads from contending on one heap lock.
//
// Threads: different slots may be loaded and stored by different threads at once (the
// subgame tasks of a pass own different slots); one slot is used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "solver/slot_codec.h"

class PackedSlots {
public:
    PackedSlots(SlotCodec codec, const SlotShape& shape, int slots);
    ~PackedSlots();
    // Owns raw buffers: copies would free them twice.
    PackedSlots(const PackedSlots&)            = delete;
    PackedSlots& operator=(const PackedSlots&) = delete;
    PackedSlots(PackedSlots&& other) noexcept;
    PackedSlots& operator=(PackedSlots&& other) noexcept;

    const SlotShape& Shape() const { return shape_; }
    int              Count() const { return static_cast<int>(slots_.size()); }

    // Unpacks a slot into 'rows' (actions x stride elements, padding zeroed). Ends the
    // program if the slot does not unpack (memory corruption).
    void Load(int slot, uint16_t* rows) const;

    // Packs 'rows' into the slot.
    void Store(int slot, const uint16_t* rows);

    // Every slot back to zeros, buffers freed.
    void Clear();

    // Bytes held: buffer capacities plus the per-slot records.
    uint64_t ByteSize() const;

private:
    struct Slot {
        uint8_t* data     = nullptr;
        uint32_t size     = 0;
        uint32_t capacity = 0;
    };

    SlotCodec         codec_;
    SlotShape         shape_;
    std::vector<Slot> slots_;
};

// The calling thread's scratch rows for one slot: at least 'elements' u16, contents
// undefined. Valid until the next call on the same thread.
uint16_t* ThreadSlotRows(size_t elements);
