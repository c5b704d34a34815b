#include "solver/aligned_buffer.h"

#include <cstdio>
#include <cstring>

#include "platform/page_memory.h"

namespace {

[[noreturn]] void OutOfMemory(size_t bytes) {
    std::fprintf(stderr, "out of memory (%zu bytes)\n", bytes);
    std::exit(1);
}

}  // namespace

void* AllocateZeroed(size_t bytes) {
    if (bytes >= kPageBlockBytes) {
        void* pages = MapZeroedPages(bytes);
        if (pages == nullptr)
            OutOfMemory(bytes);
        return pages;
    }
    void* block = scalable_aligned_malloc(bytes, kCacheLineBytes);
    if (block == nullptr)
        OutOfMemory(bytes);
    std::memset(block, 0, bytes);
    return block;
}

void FreeAligned(void* block, size_t bytes) {
    if (block == nullptr)
        return;
    if (bytes >= kPageBlockBytes)
        UnmapPages(block, bytes);
    else
        scalable_aligned_free(block);
}
