#include "solver/batch_counters.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr const char* kCategoryNames[2] = {"Showdown", "WWOSD"};

void Append(std::string& out, const char* format, ...) {
    char    buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out += buffer;
}

double Share(uint64_t part, uint64_t whole) { return whole == 0 ? 0.0 : 100.0 * double(part) / double(whole); }

}  // namespace

void BatchCounters::CountDecision(bool batched) { (batched ? batched_ : direct_).fetch_add(1, std::memory_order_relaxed); }

void BatchCounters::CountBatch(BatchCategory category, int width, int combos, uint64_t cycles) {
    Category& c = categories_[int(category)];
    c.batches.fetch_add(1, std::memory_order_relaxed);
    c.histogram[std::min(width, kWidths)].fetch_add(1, std::memory_order_relaxed);
    c.cycles[width].fetch_add(cycles, std::memory_order_relaxed);
    c.combos[width].fetch_add(uint64_t(width) * uint64_t(combos), std::memory_order_relaxed);
}

void BatchCounters::Reset() {
    direct_  = 0;
    batched_ = 0;
    for (Category& c : categories_) {
        c.batches = 0;
        for (int w = 0; w <= kWidths; ++w)
            c.histogram[w] = c.cycles[w] = c.combos[w] = 0;
    }
}

std::string BatchCounters::Report() const {
    std::string out;
    Append(out, "Batcheval usage: %.2f%%\n \n", Share(batched_, direct_ + batched_));
    for (int k = 0; k < 2; ++k) {
        const Category& c            = categories_[k];
        uint64_t        total_cycles = 0, total_combos = 0;
        for (int w = 1; w <= kWidths; ++w) {
            total_cycles += c.cycles[w];
            total_combos += c.combos[w];
        }
        auto with_data = [&](int w) { return c.combos[w] > 0 || c.cycles[w] > 0; };
        Append(out, "%-12s\n", kCategoryNames[k]);
        Append(out, "%-12s", "Width");
        for (int w = 1; w <= kWidths; ++w)
            if (with_data(w))
                Append(out, "%8d", w);
        Append(out, "\n%-12s", "Cycles");
        for (int w = 1; w <= kWidths; ++w)
            if (with_data(w))
                Append(out, "%7.1f%%", Share(c.cycles[w], total_cycles));
        Append(out, "\n%-12s", "Iterations");
        for (int w = 1; w <= kWidths; ++w)
            if (with_data(w))
                Append(out, "%7.1f%%", Share(c.combos[w], total_combos));
        Append(out, "\n%-12s", "C/I");
        for (int w = 1; w <= kWidths; ++w)
            if (with_data(w))
                Append(out, "%8.2f", c.combos[w] == 0 ? 0.0 : double(c.cycles[w]) / double(c.combos[w]));
        Append(out, "\n \n");
    }
    Append(out, "%-12s", "Batch size");
    for (int size = 1; size < kWidths; ++size)
        Append(out, "%8d", size);
    Append(out, "     16+\n");
    for (int k = 0; k < 2; ++k) {
        const Category& c = categories_[k];
        Append(out, "%-12s", kCategoryNames[k]);
        for (int size = 1; size <= kWidths; ++size)
            Append(out, "%7.1f%%", Share(c.histogram[size], c.batches));
        Append(out, "\n");
    }
    return out;
}
