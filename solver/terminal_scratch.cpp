#include "solver/terminal_scratch.h"

#include <memory>

namespace {

std::unique_ptr<TerminalScratch>& ThreadSlot() {
    thread_local std::unique_ptr<TerminalScratch> scratch;
    return scratch;
}

}  // namespace

TerminalScratch& ThreadTerminalScratch() {
    std::unique_ptr<TerminalScratch>& slot = ThreadSlot();
    if (!slot)
        slot = std::make_unique<TerminalScratch>();
    return *slot;
}

void ReleaseThreadTerminalScratch() { ThreadSlot().reset(); }
