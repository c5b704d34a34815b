// The counts behind the strategy statistics of one player.
//
// StatsCounts is what a walk or a result pass counts: per street, the infosets and their
// reach, and per threshold bin (threshold_grid.h) the infosets whose least pure threshold,
// and whose least non-dominated threshold, fall in the bin. Reach weights are counted in
// fixed point (integers), so that the counts of any number of threads add up to the same
// figures in any order. StatsTally is the figure set at one threshold, per street (index
// 0..2, flop to river) and for the whole tree (index 3), what strategy_stats.h defines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/threshold_grid.h"

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

// Infosets of one threshold bin: how many, how many reachable, their fixed-point weight.
struct BinCount {
    int64_t infosets = 0, reachable = 0, weight = 0;

    void Add(int64_t reached, int64_t fixed_weight) {
        ++infosets, reachable += reached, weight += fixed_weight;
    }
    void Add(const BinCount& o) {
        infosets += o.infosets, reachable += o.reachable, weight += o.weight;
    }
    bool Empty() const { return infosets == 0 && reachable == 0 && weight == 0; }
    bool operator==(const BinCount&) const = default;
};

// The bins of one kind on one street: zeroed pages (aligned_buffer.h) that take memory
// only where a bin has counted something (on a turn solve three quarters of the turn's
// bins and a third of the river's stay empty).
// Copies and sums skip empty bins, so that they do not touch their pages either.
class BinArray {
public:
    BinArray() = default;
    BinArray(const BinArray& other) { *this = other; }
    BinArray& operator=(const BinArray& other) {
        if (this != &other) {
            bins_.Reset(other.size());
            AddCounted(other);
        }
        return *this;
    }
    BinArray(BinArray&&) noexcept            = default;
    BinArray& operator=(BinArray&&) noexcept = default;

    void   Allocate() { bins_.Reset(kThresholdBins); }
    bool   empty() const { return bins_.empty(); }
    size_t size() const { return bins_.size(); }

    BinCount&       operator[](size_t bin) { return bins_[bin]; }
    const BinCount& operator[](size_t bin) const { return bins_[bin]; }

    // Adds the other's non-empty bins (both allocated).
    void AddCounted(const BinArray& other) {
        for (size_t b = 0; b < other.size(); ++b)
            if (!other[b].Empty())
                bins_[b].Add(other[b]);
    }

    bool operator==(const BinArray& other) const {
        if (size() != other.size())
            return false;
        for (size_t b = 0; b < size(); ++b)
            if (!(bins_[b] == other[b]))
                return false;
        return true;
    }

private:
    AlignedArray<BinCount> bins_;
};

struct StreetCounts {
    int64_t instances = 0, infosets = 0, infoset_actions = 0, reachable = 0, weight = 0;
    // By the bin of the least threshold at which the infoset is pure, and of the least at
    // which it is not dominated: kThresholdBins each once the street counts anything,
    // empty before (a tree that starts on the turn or river counts no flop).
    BinArray pure, dominated;

    bool operator==(const StreetCounts&) const = default;
};

class StatsCounts {
public:
    StatsCounts() : streets_(3) {}

    // Street 1 (flop) .. 3 (river), its bins allocated.
    StreetCounts& Street(int street);

    void Add(const StatsCounts& o);

    // The figures at 'epsilon', fixed-point weights times 'weight_unit'.
    StatsTallies At(double epsilon, double weight_unit) const;

    bool operator==(const StatsCounts&) const = default;

private:
    std::vector<StreetCounts> streets_;
};

// One player's counts and the unit of their weights (the opponent's range's units).
struct PlayerCounts {
    StatsCounts counts;
    double      weight_unit = 0;

    StatsTallies At(double epsilon) const { return counts.At(epsilon, weight_unit); }
};
