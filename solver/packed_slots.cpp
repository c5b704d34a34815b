#include "solver/packed_slots.h"

#include <tbb/scalable_allocator.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "solver/aligned_buffer.h"

namespace {

uint8_t* AllocateBuffer(size_t bytes) {
    auto* data = static_cast<uint8_t*>(scalable_malloc(bytes));
    if (!data) {
        std::printf("out of memory (compressed storage)\n");
        std::exit(1);
    }
    return data;
}

uint8_t* ThreadPackBuffer(size_t bytes) {
    thread_local AlignedArray<uint8_t> buffer;
    if (buffer.size() < bytes)
        buffer.Reset(bytes);
    return buffer.data();
}

}  // namespace

uint16_t* ThreadSlotRows(size_t elements) {
    thread_local AlignedArray<uint16_t> rows;
    if (rows.size() < elements)
        rows.Reset(elements);
    return rows.data();
}

PackedSlots::PackedSlots(SlotCodec codec, const SlotShape& shape, int slots)
    : codec_(codec), shape_(shape), slots_(slots) {}

PackedSlots::~PackedSlots() { Clear(); }

PackedSlots::PackedSlots(PackedSlots&& other) noexcept
    : codec_(other.codec_), shape_(other.shape_), slots_(std::move(other.slots_)) {
    other.slots_.clear();
}

PackedSlots& PackedSlots::operator=(PackedSlots&& other) noexcept {
    if (this != &other) {
        Clear();
        codec_ = other.codec_;
        shape_ = other.shape_;
        slots_ = std::move(other.slots_);
        other.slots_.clear();
    }
    return *this;
}

void PackedSlots::Load(int slot, uint16_t* rows) const {
    const Slot& s = slots_[slot];
    if (!UnpackSlot(codec_, shape_, s.data, s.size, rows)) {
        std::printf("compressed storage damaged (slot %d)\n", slot);
        std::exit(1);
    }
}

void PackedSlots::Store(int slot, const uint16_t* rows) {
    uint8_t*     packed = ThreadPackBuffer(PackedSlotBound(codec_, shape_));
    const size_t size   = PackSlot(codec_, shape_, rows, packed);
    Slot&        s      = slots_[slot];
    if (size > s.capacity || size < s.capacity / 2) {
        scalable_free(s.data);
        s.data     = nullptr;
        s.capacity = 0;
        if (size > 0) {
            s.capacity = static_cast<uint32_t>(size + size / 8);
            s.data     = AllocateBuffer(s.capacity);
        }
    }
    if (size > 0)
        std::memcpy(s.data, packed, size);
    s.size = static_cast<uint32_t>(size);
}

void PackedSlots::Clear() {
    for (Slot& s : slots_) {
        scalable_free(s.data);
        s = Slot();
    }
}

uint64_t PackedSlots::ByteSize() const {
    uint64_t bytes = slots_.size() * sizeof(Slot);
    for (const Slot& s : slots_)
        bytes += s.capacity;
    return bytes;
}
