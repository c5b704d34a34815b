#include "solver/terminal_scratch.h"

#include <memory>

TerminalScratch& ThreadTerminalScratch() {
    thread_local std::unique_ptr<TerminalScratch> scratch;
    if (!scratch)
        scratch = std::make_unique<TerminalScratch>();
    return *scratch;
}
