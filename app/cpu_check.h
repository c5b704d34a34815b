// The start-up processor check. Built for the baseline instruction set so that it can
// run, and refuse, on any x86-64 processor.
#pragma once

// Tests AVX, AVX2 and AVX-512F in that order, recording each passed level in the
// cpu_instruction_set variable. On the first missing feature writes its message to
// standard error and returns false.
bool CheckProcessor();
