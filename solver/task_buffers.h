// Room for the values of the subgame tasks that are running, or finished but not yet added
// to their dealing node's sums (a card's values are added only after those of the cards
// before it, so that the sums do not depend on the thread count).
//
// A pass holds only a few buffers at a time, not one per task: a turn tree's pass has
// hundreds of tasks, and one vector per task (two in result passes) was the largest
// working allocation of a turn solve. Buffers are kept between passes; their addresses
// never move while a pass runs.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "solver/aligned_buffer.h"

class TaskBuffers {
public:
    // Ready for a pass of 'capacity' tasks, 'floats' floats each: no more than that many
    // are ever held at once. Called while no buffer is held.
    void Start(size_t capacity, size_t floats);

    // A free buffer's id (thread-safe); its contents are whatever its last user left.
    size_t Acquire();
    // Hands a buffer back (thread-safe).
    void Release(size_t id);

    float* Data(size_t id) {
        return slabs_[id / kSlabBuffers].data() + id % kSlabBuffers * stride_;
    }
    // Buffers allocated so far: the most a pass has held at once.
    size_t Allocated() const { return allocated_; }
    // Buffers held now (thread-safe).
    size_t Held();

private:
    // Buffers are cut from slabs of kSlabBuffers. A slab is large enough to come as mapped
    // pages (aligned_buffer.h): no allocator overhead per buffer (the scalable allocator
    // adds up to 8 KB to each block of 8 KB and more), and pages that no buffer has used
    // yet take no memory.
    static constexpr size_t kSlabBuffers = 8;

    std::mutex                       mutex_;
    std::vector<AlignedArray<float>> slabs_;  // sized in Start, each empty until first used
    std::vector<size_t>              free_;
    size_t                           floats_    = 0;
    size_t                           stride_    = 0;  // floats_ rounded up to a cache line
    size_t                           allocated_ = 0;
};
