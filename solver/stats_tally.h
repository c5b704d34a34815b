// The counts behind the strategy statistics of one player: per street (index 0..2, flop
// to river) and for the whole tree (index 3), what strategy_stats.h defines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

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

    void ScaleWeights(double scale) {
        weight *= scale, pure_weight *= scale, dominated_weight *= scale;
    }

    bool operator==(const StatsTally&) const = default;
};

using StatsTallies = std::array<StatsTally, 4>;

// The tallies of one part of a count, per threshold and per street (1 flop .. 3 river).
class ThresholdTallies {
public:
    explicit ThresholdTallies(int thresholds = 0) : tallies_(3 * static_cast<size_t>(thresholds)) {}

    StatsTally& At(int threshold, int street) { return tallies_[3 * threshold + street - 1]; }

    void Add(const ThresholdTallies& o) {
        for (size_t i = 0; i < tallies_.size(); ++i)
            tallies_[i].Add(o.tallies_[i]);
    }

    // The streets at one threshold and their total (flop, turn, river added in order),
    // the weights times 'weight_scale'.
    StatsTallies Columns(int threshold, double weight_scale) const {
        StatsTallies columns{};
        for (int s = 0; s < 3; ++s) {
            columns[s] = tallies_[3 * threshold + s];
            columns[s].ScaleWeights(weight_scale);
            columns[3].Add(columns[s]);
        }
        return columns;
    }

private:
    std::vector<StatsTally> tallies_;
};
