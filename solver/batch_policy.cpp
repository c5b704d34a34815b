#include "solver/batch_policy.h"

#include <algorithm>

namespace {

constexpr int      kAdaptiveStart   = 30;
constexpr int      kAdaptiveEnd     = 40;
constexpr uint32_t kLargeTree       = 999;
constexpr int      kDenseReach      = 8;
constexpr double   kRequiredSpeedup = 0.99;

}  // namespace

bool BatchPolicy::StaticRule(const BatchContext& context) {
    if (context.raked || context.decision_count > kLargeTree)
        return false;
    return context.reachable < kDenseReach * std::max(context.strength_groups, 1);
}

BatchPolicy::Choice BatchPolicy::Choose(const BatchContext& context) const {
    if (!context.storage_allows)
        return {};
    switch (context.mode) {
    case 1: return {StaticRule(context), false};
    case 2: return {};
    case 3: return {true, false};
    default: break;
    }
    if (context.iteration < kAdaptiveStart)
        return {StaticRule(context), false};
    if (context.iteration < kAdaptiveEnd)
        return {context.iteration % 2 == 1, true};
    const int   slot    = std::clamp(context.slot, 0, kSlots - 1);
    const Stat& direct  = stats_[context.player][slot][0];
    const Stat& batched = stats_[context.player][slot][1];
    if (direct.count == 0 || batched.count == 0)
        return {StaticRule(context), false};
    const double direct_mean  = double(direct.cycles) / double(direct.count);
    const double batched_mean = double(batched.cycles) / double(batched.count);
    return {batched_mean < kRequiredSpeedup * direct_mean, false};
}

void BatchPolicy::Record(int player, int slot, bool batched, uint64_t cycles) {
    Stat& stat = stats_[player][std::clamp(slot, 0, kSlots - 1)][batched ? 1 : 0];
    stat.cycles.fetch_add(cycles, std::memory_order_relaxed);
    stat.count.fetch_add(1, std::memory_order_relaxed);
}

void BatchPolicy::Reset() {
    for (auto& player : stats_)
        for (auto& slot : player)
            for (Stat& stat : slot) {
                stat.cycles = 0;
                stat.count  = 0;
            }
}
