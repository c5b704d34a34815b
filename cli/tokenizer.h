#pragma once

#include <string_view>

#include "cli/command.h"

// Splits a command line at spaces (0x20 only). Double quotes group bytes, spaces
// included, into one token and are dropped; there is no escape character, and empty
// tokens never occur. An unterminated quote ends at the end of the line.
Tokens SplitCommandLine(std::string_view line);
