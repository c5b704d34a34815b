#include "platform/process_times.h"

#include <sys/resource.h>

#include <chrono>

int64_t ProcessCpuTime100ns() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto to_100ns = [](const timeval& t) {
        return static_cast<int64_t>(t.tv_sec) * 10'000'000 + static_cast<int64_t>(t.tv_usec) * 10;
    };
    return to_100ns(usage.ru_utime) + to_100ns(usage.ru_stime);
}

uint64_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // Linux reports kilobytes
}

int64_t WallClock100ns() {
    using namespace std::chrono;
    return duration_cast<duration<int64_t, std::ratio<1, 10'000'000>>>(
               system_clock::now().time_since_epoch())
        .count();
}
