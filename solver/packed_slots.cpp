#include "solver/packed_slots.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "solver/aligned_buffer.h"

namespace {

uint8_t* ThreadPackBuffer(size_t bytes) {
    thread_local AlignedArray<uint8_t> buffer;
    if (buffer.size() < bytes)
        buffer.Reset(bytes);
    return buffer.data();
}

// Room for every slot at its largest packed size, four times over: blocks freed by slots
// that moved to another size wait in the free lists until a slot of their size comes.
// Address space only; memory is committed as it is used.
uint64_t ReservedBytes(const SlotShape& shape, int slots) {
    const uint64_t bound = PackedSlotBound(shape) + kSlotArenaUnit;
    return 4 * bound * uint64_t(std::max(slots, 1));
}

constexpr uint32_t kShrinkUnits = 2;

}  // namespace

uint16_t* ThreadSlotRows(size_t elements) {
    thread_local AlignedArray<uint16_t> rows;
    if (rows.size() < elements)
        rows.Reset(elements);
    return rows.data();
}

PackedSlots::PackedSlots(const SlotShape& shape, int slots)
    : shape_(shape), slots_(slots), arena_(ReservedBytes(shape, slots)) {}

void PackedSlots::Load(int slot, uint16_t* rows) const {
    const Slot&    s    = slots_[slot];
    const uint8_t* data = s.size ? arena_.At(s.block) : nullptr;
    if (!UnpackSlot(shape_, data, s.size, rows)) {
        std::printf("compressed storage damaged (slot %d)\n", slot);
        std::exit(1);
    }
}

void PackedSlots::Store(int slot, const uint16_t* rows) {
    uint8_t*     packed = ThreadPackBuffer(PackedSlotBound(shape_));
    const size_t size   = PackSlot(shape_, rows, packed);
    Slot&        s      = slots_[slot];
    if (size > s.block.capacity || size + kShrinkUnits * kSlotArenaUnit <= s.block.capacity) {
        arena_.Free(s.block);
        s.block = size > 0 ? arena_.Allocate(static_cast<uint32_t>(size)) : SlotArena::Block{};
    }
    if (size > 0)
        std::memcpy(arena_.At(s.block), packed, size);
    s.size = static_cast<uint32_t>(size);
}

void PackedSlots::Clear() {
    std::fill(slots_.begin(), slots_.end(), Slot());
    arena_.Clear();
}

void PackedSlots::Tidy() {
    if (!arena_.Fragmented())
        return;
    std::vector<SlotArena::Block*> blocks;
    for (Slot& s : slots_)
        if (s.block.capacity > 0) {
            // Trimmed to the packed bytes: the room a block kept to shrink into goes too.
            s.block.capacity = SlotArena::CapacityFor(s.size);
            blocks.push_back(&s.block);
        }
    arena_.Compact(blocks);
}

uint64_t PackedSlots::ByteSize() const {
    return slots_.size() * sizeof(Slot) + arena_.CommittedBytes();
}
