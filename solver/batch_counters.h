// The batch-evaluation counters behind show_perf_counters: how often a subtree was
// evaluated directly or in batches, and per terminal category ("Showdown", "WWOSD" for
// fold ends) the batches by width: their count, processor cycles and combos processed
// (width x combo count).
//
// Counting happens only while performance counters are enabled: the sweep asks for the
// counters once per pass and gets null otherwise, so that disabled counters cost nothing.
// All updates are atomic additions (worker threads count concurrently).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

enum class BatchCategory { kShowdown = 0, kFold = 1 };

class BatchCounters {
public:
    static constexpr int kWidths = 16;  // batch widths 1 .. 16; the histogram has 16+

    void CountDecision(bool batched);
    void CountBatch(BatchCategory category, int width, int combos, uint64_t cycles);
    void Reset();

    // The report: usage line, one table per category, the batch-size histogram.
    std::string Report() const;

    uint64_t Batches(BatchCategory category, int width) const {
        return categories_[int(category)].histogram[width].load();
    }

private:
    struct Category {
        std::atomic<uint64_t> batches{0};
        std::atomic<uint64_t> histogram[kWidths + 1] = {};  // by size, 0 .. 15 and 16+
        std::atomic<uint64_t> cycles[kWidths + 1]    = {};  // by width 1 .. 16
        std::atomic<uint64_t> combos[kWidths + 1]    = {};
    };
    std::atomic<uint64_t> direct_{0};
    std::atomic<uint64_t> batched_{0};
    Category              categories_[2];
};
