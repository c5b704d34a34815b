// The counts behind the strategy statistics of one player: per street (index 0..2, flop
// to river) and for the whole tree (index 3), what strategy_stats.h defines.
#pragma once

#include <array>
#include <cstdint>

struct StatsTally {
    int64_t instances = 0, infosets = 0, infoset_actions = 0, reachable = 0;
    int64_t pure = 0, reachable_pure = 0, dominated = 0, reachable_dominated = 0;
    double  weight = 0, pure_weight = 0, dominated_weight = 0;

    void Add(const StatsTally& o) {
        instances += o.instances, infosets += o.infosets, infoset_actions += o.infoset_actions;
        reachable += o.reachable, pure += o.pure, reachable_pure += o.reachable_pure;
        dominated += o.dominated, reachable_dominated += o.reachable_dominated;
        weight += o.weight, pure_weight += o.pure_weight, dominated_weight += o.dominated_weight;
    }

    bool operator==(const StatsTally&) const = default;
};

using StatsTallies = std::array<StatsTally, 4>;
