// Commands of the free-text tree information lines that travel with a tree file.
#include "cli/solver_state.h"
#include "tree/tree_command_support.h"
#include "tree/tree_commands.h"

void CmdResetTreeInfo(const Tokens& t) {
    Trees().params.info_lines.clear();
    PrintOk(t);
}

void CmdAddInfoLine(const Tokens& t) {
    Trees().params.info_lines.push_back(t[1]);
    PrintOk(t);
}

// Lines beginning with '#' are dropped by the output buffer unless passing is switched
// on; it goes off again when this command's output is flushed.
void CmdShowTreeInfo(const Tokens&) {
    State().output.EnableInfoLines();
    for (const std::string& line : Trees().params.info_lines)
        Print("%s\n", line.c_str());
    PrintEnd();
}
