#include "solver/vector_arena.h"

#include <cstring>

float* VectorArena::Allocate(size_t count) {
    const size_t padded = CacheLineFloats(count);
    if (padded > kBlockFloats)
        return nullptr;
    size_t block  = used_ / kBlockFloats;
    size_t offset = used_ % kBlockFloats;
    if (offset + padded > kBlockFloats) {
        ++block;
        offset = 0;
    }
    while (blocks_.size() <= block)
        blocks_.emplace_back(kBlockFloats);
    used_ = block * kBlockFloats + offset + padded;
    return blocks_[block].data() + offset;
}

float* VectorArena::Zeroed(size_t count) {
    float* vector = Allocate(count);
    std::memset(vector, 0, count * sizeof(float));
    return vector;
}

VectorArena& ThreadVectorArena() {
    thread_local VectorArena arena;
    return arena;
}
