// When a river subtree is evaluated in batches (its terminal ends collected and evaluated
// several at a time, one SIMD lane per terminal) or directly (depth first, every terminal
// on its own), by the evaluation mode of set_eval_mode:
//
//   0 adaptive: iterations below 30 use the static rule; in iterations 30 to 39 the two
//     methods alternate by the parity of the iteration count (even: direct, odd: batched)
//     and the cycles of each are accumulated per player and node slot; from iteration 40
//     on a slot is batched only when its batched average is below 0.99 times its direct
//     average (the static rule while a slot lacks one of the two);
//   1 static: never with rake or on trees of more than 999 decision nodes; otherwise when
//     the entering opponent reach has fewer than 8 reachable combos per strength group on
//     average;
//   2 never; 3 always.
// In every mode batching needs the storage parameters (0, 0) or (0, 3), and a subtree
// with more terminal ends than the evaluation cap is not batched as a whole: its decision
// node is swept directly, and the subtrees below are batched in sets of at most the cap's
// ends when batching is always on (cfr_river_split.cpp), each considered on its own
// otherwise.
//
// Both methods compute the same values and updates; the choice only changes speed.
#pragma once

#include <atomic>
#include <cstdint>

struct BatchContext {
    int      mode             = 3;
    int      iteration        = 0;
    bool     storage_allows   = true;
    bool     raked            = false;
    uint32_t decision_count   = 0;
    int      player           = 0;  // the traverser
    int      slot             = 0;  // node slot: the runout slot of the subtree (0 .. 48)
    int      reachable        = 0;  // opponent combos with entering reach > 0
    int      strength_groups  = 1;  // groups of the subtree's runout
};

class BatchPolicy {
public:
    static constexpr int kSlots = 49;

    // Whether to batch, and whether to time the subtree for the adaptive statistics.
    struct Choice {
        bool batched = false;
        bool timed   = false;
    };
    Choice Choose(const BatchContext& context) const;

    // Adds one timed subtree of the measuring iterations.
    void Record(int player, int slot, bool batched, uint64_t cycles);
    void Reset();

private:
    static bool StaticRule(const BatchContext& context);

    struct Stat {
        std::atomic<uint64_t> cycles{0};
        std::atomic<uint64_t> count{0};
    };
    Stat stats_[2][kSlots][2];
};
