#include "app/cpu_check.h"

#include <cstdio>

#include "cli/solver_state.h"
#include "platform/cpu_features.h"

bool CheckProcessor() {
    struct Requirement {
        bool (*present)();
        const char* name;
        const char* message;
    };
    constexpr Requirement kRequirements[] = {
        {HasAvx, "AVX", "Error: AVX-compatible CPU is required."},
        {HasAvx2, "AVX2", "Error: AVX2-compatible CPU is required."},
        {HasAvx512F, "AVX-512", "Error: AVX-512-compatible CPU is required."},
    };
    for (const auto& requirement : kRequirements) {
        if (!requirement.present()) {
            // The message box of a desktop system becomes a line on standard error.
            std::fprintf(stderr, "%s\n", requirement.message);
            return false;
        }
        State().variables.Set("cpu_instruction_set", requirement.name);
    }
    return true;
}
