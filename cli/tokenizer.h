#pragma once

#include <string_view>

#include "cli/command.h"

// Splits a command line at spaces (0x20 only). Double quotes group bytes, spaces
// included, and are dropped; a quoted part joins the bytes around it into one token
// (x"y z"w is the one token "xy zw"). There is no escape character, and empty tokens
// never occur. An unterminated quote ends at the end of the line.
Tokens SplitCommandLine(std::string_view line);
