// Whole pages straight from the system, for large blocks: the pages read as zero and take
// no memory until they are first written, and they go back to the system when unmapped.
#pragma once

#include <cstddef>

inline constexpr size_t kPageBytes = 4096;

// 'bytes' rounded up to whole pages, zeroed, page aligned; null when the system refuses.
void* MapZeroedPages(size_t bytes);

// Returns a block from MapZeroedPages of the same 'bytes'; null is allowed.
void UnmapPages(void* block, size_t bytes);
