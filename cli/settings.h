// The engine's process-wide knobs, written by the settings commands on the interpreter
// thread and read by the tree builder, the solver and its kernels.
#pragma once

#include <atomic>

struct EngineSettings {
    int    thread_count       = 0;  // 0 until start-up fills in the logical processors
    int    info_freq          = 25;
    int    simd_level         = 16;
    int    eval_mode          = 3;
    int    eval_cap           = 72;
    bool   eval_alt1          = false;
    int    prefetch_mode      = 0;
    double precision          = 0.0;
    bool   adaptive_precision = true;
    int    scheduler          = 0;
    bool   avx512             = true;
    int    numa_mode          = 0;  // 0 off, 1 on, 2 "fake"
    bool   river_strategy     = true;
    bool   ui_notifications   = false;
    bool   progress_bar       = false;
    bool   perf_counters      = false;

    // The solver's team size: every parallel walk and pass runs this many threads, and
    // per-thread tables are sized by it.
    int Threads() const { return thread_count > 1 ? thread_count : 1; }
};
