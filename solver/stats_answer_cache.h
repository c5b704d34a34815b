// Strategy statistics already counted, kept per player for the strategies the tree reports
// now, so that show_stats answers at once, at any threshold (the counts are by threshold
// bin, stats_tally.h). Counts come from a walk of the tree (strategy_stats.h) or from a
// result pass (pass_tallies.h).
//
// The counts carry the stamp of the state they were counted under (the engine's
// StrategyStamp: iteration count, strategy generation, rake and reporting, and the pot);
// counts whose stamp differs from the present one are never returned, and storing under a
// new stamp drops every older entry. The caller holds the engine's tree mutex.
#pragma once

#include <optional>
#include <vector>

#include "solver/stats_tally.h"

class StatsAnswerCache {
public:
    // The counts of 'player' counted under 'stamp', or null.
    const PlayerCounts* Find(int player, const std::vector<double>& stamp) const;

    void Store(int player, const std::vector<double>& stamp, PlayerCounts counts);

private:
    std::vector<double>         stamp_;
    std::optional<PlayerCounts> entries_[2];
};
