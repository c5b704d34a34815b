#include "solver/terminal_scratch.h"

#include <memory>

namespace {

std::unique_ptr<TerminalScratch>& ThreadSlot() {
    thread_local std::unique_ptr<TerminalScratch> scratch;
    return scratch;
}

AlignedArray<float>& VectorSlot() {
    thread_local AlignedArray<float> buffer;
    return buffer;
}

}  // namespace

TerminalScratch& ThreadTerminalScratch() {
    std::unique_ptr<TerminalScratch>& slot = ThreadSlot();
    if (!slot)
        slot = std::make_unique<TerminalScratch>();
    return *slot;
}

void ReleaseThreadTerminalScratch() {
    ThreadSlot().reset();
    VectorSlot().Reset(0);
}

float* ThreadVectorScratch(size_t count) {
    AlignedArray<float>& buffer = VectorSlot();
    if (buffer.size() < count)
        buffer.Reset(count);
    return buffer.data();
}
