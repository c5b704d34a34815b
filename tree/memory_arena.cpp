#include "tree/memory_arena.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/dispatcher.h"
#include "cli/output.h"

namespace {

[[noreturn]] void Fatal(const std::string& message) {
    FlushOutput();
    WriteDirect(message);
    ExitProgram(1);
}

[[noreturn]] void FatalWithErrno(const char* what, uint64_t bytes, int error) {
    char message[128];
    std::snprintf(message, sizeof message, "%s %lld bytes fail (errno %d)\n", what,
                  static_cast<long long>(bytes), error);
    Fatal(message);
}

}  // namespace

MemoryArena::MemoryArena(uint64_t reserved_bytes, uint64_t granularity)
    : granularity_mask_(granularity - 1) {
    reserved_ = (reserved_bytes + granularity_mask_) & ~granularity_mask_;
}

MemoryArena::~MemoryArena() {
    if (base_ && munmap(base_, reserved_) != 0)
        Fatal("VirtualFree fail\n");
}

uint8_t* MemoryArena::Ensure(uint64_t size) {
    size = (size + granularity_mask_) & ~granularity_mask_;
    if (committed_ >= size)
        return base_;
    if (reserved_ < size)
        Fatal("out of memory (not enough reserved)\n");
    committed_ = size;
    if (!base_)
        Reserve();
    Commit(size);
    return base_;
}

void MemoryArena::Shrink(uint64_t size) {
    size = (size + granularity_mask_) & ~granularity_mask_;
    if (!base_ || size >= committed_)
        return;
    madvise(base_ + size, committed_ - size, MADV_DONTNEED);
    if (mprotect(base_ + size, committed_ - size, PROT_NONE) != 0)
        FatalWithErrno("Commit", size, errno);
    committed_ = size;
}

void MemoryArena::Reserve() {
    void* range = mmap(nullptr, reserved_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
    if (range == MAP_FAILED)
        FatalWithErrno("Reserve", reserved_, errno);
    base_ = static_cast<uint8_t*>(range);
}

void MemoryArena::Commit(uint64_t size) {
    if (mprotect(base_, size, PROT_READ | PROT_WRITE) != 0)
        FatalWithErrno("Commit", size, errno);
}
