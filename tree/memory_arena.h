// A growable byte buffer at a fixed address, for the large compressed stores.
//
// The arena reserves its whole address range once, with no access, on the first growth,
// and commits pages read-write from the base as the buffer grows, so data stored in it
// never moves and no copy is made on growth. Committing takes the whole prefix [base,
// size), not only the new part: committing pages again is harmless and keeps one system
// call per growth.
//
// Failures here are not recoverable: running past the reserved range, a refused
// reservation or a refused commit print their message to standard output and end the
// process with exit code 1.
//   "out of memory (not enough reserved)"
//   "Reserve <bytes> bytes fail (errno <n>)"
//   "Commit <bytes> bytes fail (errno <n>)"
//   "VirtualFree fail"   (release of the range refused, at destruction)
#pragma once

#include <cstdint>

class MemoryArena {
public:
    static constexpr uint64_t kDefaultGranularity = 64 * 1024;

    // 'reserved_bytes' is the address range taken at the first growth; 'granularity' (a
    // power of two) is the step to which sizes are rounded up.
    explicit MemoryArena(uint64_t reserved_bytes, uint64_t granularity = kDefaultGranularity);
    ~MemoryArena();

    // The base address stays fixed; copying or moving would leave two owners of the range.
    MemoryArena(const MemoryArena&)            = delete;
    MemoryArena& operator=(const MemoryArena&) = delete;

    // Makes at least 'size' bytes from the base usable (rounded up to the granularity) and
    // returns the base. Costs one system call when it grows, nothing otherwise.
    uint8_t* Ensure(uint64_t size);

    // Gives the pages from 'size' (rounded up to the granularity) to the end of the
    // committed range back to the system; the range stays reserved and the data below
    // 'size' stays where it is. Nothing happens when less is committed.
    void Shrink(uint64_t size);

    uint8_t* Base() const { return base_; }  // null until the first growth
    uint64_t CommittedSize() const { return committed_; }
    uint64_t ReservedSize() const { return reserved_; }

private:
    void Reserve();
    void Commit(uint64_t size);

    uint64_t committed_ = 0;
    uint64_t reserved_;
    uint8_t* base_ = nullptr;
    uint64_t granularity_mask_;
};
