// The memory of one packed store's slots: blocks in a memory arena (tree/memory_arena.h)
// that reserves the store's address range once and commits it as the store grows, so
// packed slots never move and the store's memory is one committed range.
//
// Blocks come in classes of kSlotArenaUnit bytes. A block given back goes to its class's
// free list and is handed out again to the next request of that class; otherwise blocks
// are cut from the committed end. Committing runs ahead by a 64th of what is in use,
// so a growing store commits in a few steps instead of one per block.
//
// Blocks given back pile up as slots change size; the store compacts its arena between
// iterations when more than a 32nd of it is free (Compact): the free blocks are memory
// that the smaller storage levels cannot spare, and compacting copies only the store's
// packed bytes, little next to packing them.
//
// Threads: Allocate and Free may be called from several threads at once (the subgame
// tasks of a pass pack different slots of one store); a mutex guards the lists. The
// bytes of a block belong to its holder alone.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "tree/memory_arena.h"

inline constexpr uint32_t kSlotArenaUnit = 16;

class SlotArena {
public:
    // 'reserved_bytes' (below 2^32 units) bounds the committed range for the store's life.
    explicit SlotArena(uint64_t reserved_bytes);

    // Blocks of at least 'bytes' (> 0): its offset from Base() and its size.
    struct Block {
        uint32_t unit     = 0;  // offset from Base() in units
        uint32_t capacity = 0;  // bytes
    };
    Block Allocate(uint32_t bytes);
    // The capacity of a block of 'bytes' (> 0): whole units.
    static uint32_t CapacityFor(uint32_t bytes) {
        return (bytes + kSlotArenaUnit - 1) / kSlotArenaUnit * kSlotArenaUnit;
    }
    void  Free(const Block& block);

    uint8_t* At(const Block& block) const {
        return arena_.Base() + uint64_t(block.unit) * kSlotArenaUnit;
    }

    // Free blocks make up more than a 32nd of what was cut: worth compacting.
    bool Fragmented() const { return free_bytes_ * 32 > end_; }

    // Compaction by the owner, with no other thread using the arena: 'blocks' (every
    // block in use, each keeping its first 'capacity' bytes, which the owner may have
    // lowered) move down, in offset order, to the start of the range; the free lists
    // empty and the pages past the new end go back to the system.
    void Compact(std::span<Block*> blocks);

    // Bytes committed: blocks in use, free blocks and the commit run-ahead.
    uint64_t CommittedBytes() const { return arena_.CommittedSize(); }

    // Every block given back at once (no block may be in use afterwards).
    void Clear();

private:
    MemoryArena                        arena_;
    std::mutex                         mutex_;
    uint64_t                           end_        = 0;  // cut so far
    uint64_t                           free_bytes_ = 0;  // in the free lists
    std::vector<std::vector<uint32_t>> free_;     // per class (units - 1): block units
};
