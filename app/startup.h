// The program's start-up sequence and main loop; returns the process exit code.
#pragma once

int RunProgram(int argc, char** argv);
