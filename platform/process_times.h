// Process time and memory figures.
#pragma once

#include <cstdint>

// User plus kernel time consumed by the process, in 100-nanosecond units.
int64_t ProcessCpuTime100ns();

// The process's peak resident set size in bytes.
uint64_t PeakResidentBytes();

// Wall-clock time in 100-nanosecond units since 1970.
int64_t WallClock100ns();
