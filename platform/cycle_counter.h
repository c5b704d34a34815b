// The processor's time-stamp counter, for measuring short stretches of solver work in
// cycles (adaptive batching, performance counters).
#pragma once

#include <x86intrin.h>

#include <cstdint>

inline uint64_t ReadCycleCounter() { return __rdtsc(); }
