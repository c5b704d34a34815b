#include "solver/slot_arena.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t kPage = 4096;

uint32_t UnitsOf(uint32_t bytes) { return (bytes + kSlotArenaUnit - 1) / kSlotArenaUnit; }

// Committing runs ahead by this fraction of the range in use.
uint64_t WithRunAhead(uint64_t bytes) { return bytes + bytes / 64; }

}  // namespace

SlotArena::SlotArena(uint64_t reserved_bytes) : arena_(reserved_bytes, kPage) {}

SlotArena::Block SlotArena::Allocate(uint32_t bytes) {
    const uint32_t  units    = UnitsOf(bytes);
    const uint32_t  capacity = units * kSlotArenaUnit;
    std::lock_guard lock(mutex_);
    if (units <= free_.size() && !free_[units - 1].empty()) {
        const uint32_t unit = free_[units - 1].back();
        free_[units - 1].pop_back();
        free_bytes_ -= capacity;
        return {unit, capacity};
    }
    const uint64_t offset = end_;
    end_ += capacity;
    if (end_ > arena_.CommittedSize())
        arena_.Ensure(std::max(end_, std::min(WithRunAhead(end_), arena_.ReservedSize())));
    return {static_cast<uint32_t>(offset / kSlotArenaUnit), capacity};
}

void SlotArena::Free(const Block& block) {
    if (block.capacity == 0)
        return;
    const uint32_t  units = block.capacity / kSlotArenaUnit;
    std::lock_guard lock(mutex_);
    if (free_.size() < units)
        free_.resize(units);
    free_[units - 1].push_back(block.unit);
    free_bytes_ += block.capacity;
}

void SlotArena::Compact(std::span<Block*> blocks) {
    std::sort(blocks.begin(), blocks.end(),
              [](const Block* a, const Block* b) { return a->unit < b->unit; });
    uint32_t next = 0;
    for (Block* block : blocks) {
        if (block->unit != next)
            std::memmove(arena_.Base() + uint64_t(next) * kSlotArenaUnit, At(*block), block->capacity);
        block->unit = next;
        next += block->capacity / kSlotArenaUnit;
    }
    end_        = uint64_t(next) * kSlotArenaUnit;
    free_bytes_ = 0;
    free_.clear();
    arena_.Shrink(end_);
}

void SlotArena::Clear() {
    std::lock_guard lock(mutex_);
    end_        = 0;
    free_bytes_ = 0;
    free_.clear();
    arena_.Shrink(0);
}
