// Strategy statistics already counted, kept per player for the strategies the tree reports
// now, so that asking again (or asking for both players after one of them) answers at once.
// Figures come from a walk of the tree (strategy_stats.h) or from a result pass, which
// counts threshold 0 and the thresholds asked before (pass_tallies.h).
//
// Each entry carries the stamp of the state it was counted under (the engine's
// StrategyStamp: iteration count, strategy generation, rake and reporting, and the pot);
// an entry whose stamp differs from the present one is never returned, and storing under a
// new stamp drops every older entry. Per player it keeps threshold 0 and the last
// kRememberedThresholds other thresholds asked. The caller holds the engine's tree mutex.
#pragma once

#include <vector>

#include "solver/stats_tally.h"

class StatsAnswerCache {
public:
    static constexpr int kRememberedThresholds = 4;

    // The tallies of 'player' at 'epsilon' counted under 'stamp', or null.
    const StatsTallies* Find(int player, double epsilon, const std::vector<double>& stamp) const;

    // Keeps the tallies at threshold 0 or at a remembered threshold; others are dropped.
    void Store(int player, double epsilon, const std::vector<double>& stamp,
               const StatsTallies& tallies);

    // Notes that 'epsilon' was asked for 'player'; the oldest of more than
    // kRememberedThresholds nonzero thresholds is forgotten, with its figures.
    void Remember(int player, double epsilon);

    // The thresholds a result pass counts for 'player': 0, then the remembered ones from
    // the oldest.
    std::vector<double> Thresholds(int player) const;

private:
    bool Kept(int player, double epsilon) const;

    struct Entry {
        double       epsilon;
        StatsTallies tallies;
    };
    std::vector<double> stamp_;
    std::vector<Entry>  entries_[2];
    std::vector<double> remembered_[2];  // nonzero, oldest first
};
