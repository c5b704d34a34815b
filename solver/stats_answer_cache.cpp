#include "solver/stats_answer_cache.h"

#include <algorithm>

const StatsTallies* StatsAnswerCache::Find(int player, double epsilon,
                                           const std::vector<double>& stamp) const {
    if (stamp != stamp_)
        return nullptr;
    for (const Entry& entry : entries_[player])
        if (entry.epsilon == epsilon)
            return &entry.tallies;
    return nullptr;
}

void StatsAnswerCache::Store(int player, double epsilon, const std::vector<double>& stamp,
                             const StatsTallies& tallies) {
    if (stamp != stamp_) {
        stamp_ = stamp;
        entries_[0].clear();
        entries_[1].clear();
    }
    std::vector<Entry>& entries = entries_[player];
    // The new entry replaces one at the same threshold, and a nonzero one the last nonzero.
    std::erase_if(entries, [epsilon](const Entry& e) {
        return e.epsilon == epsilon || (epsilon != 0 && e.epsilon != 0);
    });
    entries.push_back({epsilon, tallies});
}
