#include "solver/aligned_buffer.h"

#include <cstdio>

void* AllocateAligned(size_t bytes) {
    void* block = scalable_aligned_malloc(bytes, kCacheLineBytes);
    if (block == nullptr) {
        std::fprintf(stderr, "out of memory (%zu bytes)\n", bytes);
        std::exit(1);
    }
    return block;
}

void FreeAligned(void* block) {
    if (block != nullptr)
        scalable_aligned_free(block);
}
