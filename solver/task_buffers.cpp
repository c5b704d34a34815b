#include "solver/task_buffers.h"

void TaskBuffers::Start(size_t capacity, size_t floats) {
    if (floats != floats_) {
        slabs_.clear();
        free_.clear();
        allocated_ = 0;
        floats_    = floats;
        stride_    = CacheLineFloats(floats);
    }
    // Sized before the pass: Data reads the slab list while Acquire fills in slabs.
    const size_t slabs = (capacity + kSlabBuffers - 1) / kSlabBuffers;
    if (slabs_.size() < slabs)
        slabs_.resize(slabs);
}

size_t TaskBuffers::Acquire() {
    std::lock_guard lock(mutex_);
    if (!free_.empty()) {
        const size_t id = free_.back();
        free_.pop_back();
        return id;
    }
    if (allocated_ % kSlabBuffers == 0)
        slabs_[allocated_ / kSlabBuffers].Reset(kSlabBuffers * stride_);
    return allocated_++;
}

void TaskBuffers::Release(size_t id) {
    std::lock_guard lock(mutex_);
    free_.push_back(id);
}

size_t TaskBuffers::Held() {
    std::lock_guard lock(mutex_);
    return allocated_ - free_.size();
}
