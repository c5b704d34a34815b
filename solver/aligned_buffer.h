// Cache-line aligned arrays from the scalable allocator (tbbmalloc), large ones as whole
// pages from the system.
//
// Every per-combo vector, storage block and scratch buffer of the solver lives in an
// AlignedArray: 64-byte alignment puts each row on a cache line boundary, so that a
// 16-lane AVX-512 load of 32-bit values never splits a line, and the scalable allocator
// keeps per-thread pools, so that the worker threads of a pass do not contend on one heap
// lock when they allocate scratch. Blocks of kPageBlockBytes or more (storage) are mapped
// pages instead: the scalable allocator adds up to 8 KB to each large block, and a tree
// has hundreds of them; mapped pages add less than one page, are zero without being
// written, and go back to the system when freed.
#pragma once

#include <tbb/scalable_allocator.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

inline constexpr size_t kCacheLineBytes = 64;

// 'bytes' rounded up to whole cache lines.
constexpr size_t CacheLinesOf(size_t bytes) {
    return (bytes + kCacheLineBytes - 1) / kCacheLineBytes * kCacheLineBytes;
}

// 'count' floats rounded up to whole cache lines.
constexpr size_t CacheLineFloats(size_t count) {
    return CacheLinesOf(count * sizeof(float)) / sizeof(float);
}

inline constexpr size_t kPageBlockBytes = 32 * 1024;

// Allocates 'bytes' aligned to a cache line and zeroed; ends the program on failure (an
// allocation failure inside a solver pass has no recovery). Never returns null for
// bytes > 0.
void* AllocateZeroed(size_t bytes);

// Frees a block from AllocateZeroed of the same 'bytes'; null is allowed.
void FreeAligned(void* block, size_t bytes);

// An owning array of trivially copyable T. Move-only: copying would silently duplicate
// megabytes of storage. Contents are zeroed at allocation.
template <class T>
class AlignedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    AlignedArray() = default;
    explicit AlignedArray(size_t count) { Reset(count); }
    ~AlignedArray() { FreeAligned(data_, size_ * sizeof(T)); }

    AlignedArray(const AlignedArray&)            = delete;
    AlignedArray& operator=(const AlignedArray&) = delete;
    AlignedArray(AlignedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    AlignedArray& operator=(AlignedArray&& other) noexcept {
        if (this != &other) {
            FreeAligned(data_, size_ * sizeof(T));
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }

    // Replaces the contents with 'count' zeroed elements (count 0 frees).
    void Reset(size_t count) {
        FreeAligned(data_, size_ * sizeof(T));
        data_ = nullptr;
        size_ = 0;
        if (count == 0)
            return;
        data_ = static_cast<T*>(AllocateZeroed(count * sizeof(T)));
        size_ = count;
    }

    T*       data() { return data_; }
    const T* data() const { return data_; }
    size_t   size() const { return size_; }
    bool     empty() const { return size_ == 0; }
    T&       operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

private:
    T*     data_ = nullptr;
    size_t size_ = 0;
};
