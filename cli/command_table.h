// The one table of commands: name, handler and token count (command word included;
// -1 = any count, checked by the handler itself).
#pragma once

#include <span>
#include <string_view>

#include "cli/command.h"

using CommandHandler = void (*)(const Tokens&);

struct CommandEntry {
    std::string_view name;
    CommandHandler   handler;
    int              argc;
};

std::span<const CommandEntry> CommandTable();

// The row named exactly 'name' (front-to-back search), or nullptr.
const CommandEntry* FindCommand(std::string_view name);

// Commands that run on this process only and are never forwarded to workers.
bool IsLocalOnlyCommand(std::string_view name);
