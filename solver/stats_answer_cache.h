// Strategy statistics already walked, kept per player for the strategies the tree reports
// now, so that asking again (or asking for both players after one of them) answers at once.
//
// Each entry carries the stamp of the state it was walked under (the engine's
// StrategyStamp: iteration count, strategy generation, rake and reporting); an entry whose
// stamp differs from the present one is never returned, and storing under a new stamp
// drops every older entry. Per player it keeps the threshold 0 and the last other
// threshold asked. The caller holds the engine's tree mutex.
#pragma once

#include <vector>

#include "solver/stats_tally.h"

class StatsAnswerCache {
public:
    // The tallies of 'player' at 'epsilon' walked under 'stamp', or null.
    const StatsTallies* Find(int player, double epsilon, const std::vector<double>& stamp) const;

    void Store(int player, double epsilon, const std::vector<double>& stamp,
               const StatsTallies& tallies);

private:
    struct Entry {
        double       epsilon;
        StatsTallies tallies;
    };
    std::vector<double> stamp_;
    std::vector<Entry>  entries_[2];
};
