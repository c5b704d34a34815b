#include "solver/stats_answer_cache.h"

const PlayerCounts* StatsAnswerCache::Find(int player, const std::vector<double>& stamp) const {
    return stamp == stamp_ && entries_[player] ? &*entries_[player] : nullptr;
}

void StatsAnswerCache::Store(int player, const std::vector<double>& stamp, PlayerCounts counts) {
    if (stamp != stamp_) {
        stamp_ = stamp;
        entries_[0].reset();
        entries_[1].reset();
    }
    entries_[player] = std::move(counts);
}
