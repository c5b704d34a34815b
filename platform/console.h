// The console: text colours and the terminal device.
#pragma once

#include <string>

// Writes the ANSI escape that stands for a console text attribute (bit 0 blue, bit 1
// green, bit 2 red, bit 3 bright; 7 restores the default) to standard output.
void SetConsoleColor(int attribute);

// The console device standard output returns to after a redirection: the controlling
// terminal when there is one, otherwise the standard output the process started with.
std::string ConsoleDevicePath();
