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
    if (!Kept(player, epsilon))
        return;
    std::vector<Entry>& entries = entries_[player];
    std::erase_if(entries, [epsilon](const Entry& e) { return e.epsilon == epsilon; });
    entries.push_back({epsilon, tallies});
}

void StatsAnswerCache::Remember(int player, double epsilon) {
    if (epsilon == 0 || epsilon != epsilon)  // NaN is never found again: not worth keeping
        return;
    std::vector<double>& remembered = remembered_[player];
    std::erase(remembered, epsilon);
    remembered.push_back(epsilon);
    if (static_cast<int>(remembered.size()) <= kRememberedThresholds)
        return;
    const double oldest = remembered.front();
    remembered.erase(remembered.begin());
    std::erase_if(entries_[player], [oldest](const Entry& e) { return e.epsilon == oldest; });
}

std::vector<double> StatsAnswerCache::Thresholds(int player) const {
    std::vector<double> thresholds = {0.0};
    thresholds.insert(thresholds.end(), remembered_[player].begin(), remembered_[player].end());
    return thresholds;
}

bool StatsAnswerCache::Kept(int player, double epsilon) const {
    return epsilon == 0 || std::ranges::find(remembered_[player], epsilon) != remembered_[player].end();
}
