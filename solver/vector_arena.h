// Per-thread stack of float vectors for the sweeps: every node of a sweep takes its
// working vectors from the arena of the thread that runs it and gives them back, in
// stack order, when it returns. No allocation happens after the first sweeps have grown
// the arena to the tree's depth.
#pragma once

#include <cstddef>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/runout_layout.h"

class VectorArena {
public:
    // A zeroed-or-not (see Zeroed) run of 'count' floats, 64-byte aligned, valid until
    // Release of an earlier mark.
    float* Allocate(size_t count);
    float* Zeroed(size_t count);

    size_t Mark() const { return used_; }
    void   Release(size_t mark) { used_ = mark; }

private:
    // A block's pages take memory once written (aligned_buffer.h); 512 KB holds the
    // largest single request, a strategy of 64 actions over a padded list of 1326 combos.
    static constexpr size_t kBlockFloats = size_t{1} << 17;
    static_assert(kBlockFloats >= size_t{kMaxActions} * 1344);

    // Blocks are chained: an allocation that does not fit the current block moves on to
    // the next (allocating it when needed); 'used_' counts floats over all blocks.
    std::vector<AlignedArray<float>> blocks_;
    size_t                           used_ = 0;
};

VectorArena& ThreadVectorArena();

// Releases the arena's mark when it leaves scope.
class ArenaScope {
public:
    explicit ArenaScope(VectorArena& arena) : arena_(arena), mark_(arena.Mark()) {}
    ~ArenaScope() { arena_.Release(mark_); }
    ArenaScope(const ArenaScope&)            = delete;
    ArenaScope& operator=(const ArenaScope&) = delete;

private:
    VectorArena& arena_;
    size_t       mark_;
};
