#include <algorithm>
#include <vector>

#include "cli/command_table.h"
#include "cli/handlers.h"
#include "cli/solver_state.h"

void CmdConfirmOnly(const Tokens& t) { PrintOk(t); }

void CmdDisconnect(const Tokens&) {}

void CmdSetEndString(const Tokens& t) {
    State().interp.end_string = t[1];
    PrintOk(t);
}

void CmdHelp(const Tokens&) {
    std::vector<std::string_view> names;
    for (const auto& entry : CommandTable())
        if (!entry.name.starts_with("kx4_"))
            names.push_back(entry.name);
    std::stable_sort(names.begin(), names.end());
    for (auto name : names)
        PrintText(std::string(name) + "\n");
    PrintEnd();
}
