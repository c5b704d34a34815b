// Physical memory figures of the machine, as the storage-level rule and show_memory use
// them: total bytes and the memory load in percent (the share not available).
#pragma once

#include <cstdint>
#include <string>

struct SystemMemory {
    uint64_t total_bytes  = 0;
    int      load_percent = 0;  // 0..100, rounded down

    // T x 0.01 x (100 - L): what the load leaves available, in bytes.
    double AvailableBytes() const { return total_bytes * 0.01 * (100 - load_percent); }
};

// Reads /proc/meminfo. Returns zeros when it cannot be read.
SystemMemory ReadSystemMemory();

// Parses the text of /proc/meminfo (MemTotal and MemAvailable, in kB).
SystemMemory ParseMeminfo(const std::string& text);
