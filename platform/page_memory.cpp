#include "platform/page_memory.h"

#include <sys/mman.h>

namespace {

size_t WholePages(size_t bytes) { return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes; }

}  // namespace

void* MapZeroedPages(size_t bytes) {
    void* block = mmap(nullptr, WholePages(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

void UnmapPages(void* block, size_t bytes) {
    if (block != nullptr)
        munmap(block, WholePages(bytes));
}
