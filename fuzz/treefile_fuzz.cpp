// libFuzzer harness for tree files: every input is written to a file and given to
// load_tree and show_metadata through the dispatcher. Each must confirm or print one
// "ERROR:" line, and a failed load must leave no tree, without a sanitizer report.
//
//   make fuzz && build/fuzz-seeds corpus && build-fuzz/treefile_fuzz -max_total_time=600 corpus/treefile
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "solver/solver_run_state.h"

namespace {

std::string Run(const std::string& line) {
    ExecuteCommand(SplitCommandLine(line));
    return State().output.Take();
}

const std::string& FilePath() {
    static const std::string path = "/tmp/quillane_fuzz_" + std::to_string(::getpid()) + ".tree";
    return path;
}

bool Acceptable(const std::string& reply, const std::string& command) {
    return reply.rfind(command + " ok!\n") != std::string::npos || reply.rfind("ERROR: ", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InstallSolverHooks();
    State().settings.thread_count = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(FilePath().c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    const std::string loaded = Run("load_tree " + FilePath());
    if (!Acceptable(loaded, "load_tree"))
        std::abort();
    if (loaded.rfind("ERROR: ", 0) == 0 && (State().tree.Tree() || !State().tree.params.root->IsEnd()))
        std::abort();
    if (!Acceptable(Run("show_metadata " + FilePath()), "show_metadata"))
        std::abort();
    return 0;
}
