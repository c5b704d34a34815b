#include "solver/task_buffers.h"

void TaskBuffers::Start(size_t capacity, size_t floats) {
    if (floats != floats_) {
        buffers_.clear();
        free_.clear();
        allocated_ = 0;
        floats_    = floats;
    }
    if (buffers_.size() < capacity)
        buffers_.resize(capacity);
}

size_t TaskBuffers::Acquire() {
    std::lock_guard lock(mutex_);
    if (!free_.empty()) {
        const size_t id = free_.back();
        free_.pop_back();
        return id;
    }
    buffers_[allocated_].Reset(floats_);
    return allocated_++;
}

void TaskBuffers::Release(size_t id) {
    std::lock_guard lock(mutex_);
    free_.push_back(id);
}
