// The console: text colours and the terminal device.
#pragma once

#include <string>

// Writes the ANSI escape that stands for a console text attribute (bit 0 blue, bit 1
// green, bit 2 red, bit 3 bright; 7 restores the default) to standard output.
void SetConsoleColor(int attribute);

// Keeps a duplicate of the standard output the process started with, so that it can be
// reopened after a redirection. Call once at start-up, before any redirection.
void RememberStartupStdout();

// Points standard output back at the console after a redirection: the controlling
// terminal when there is one, otherwise the standard output the process started with
// (restored as it was, neither truncated nor rewound). Returns false on failure.
bool ReopenStdoutOnConsole();
