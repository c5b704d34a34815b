// Per-thread working memory of the terminal evaluations (fold_values.h,
// showdown_values.h): the per-card sums, the compact list of reachable opponent combos and
// the group records of a showdown sweep; and the strategy rows of the store operations
// that have no fused kernel.
//
// Sized once for the largest runout (1326 combos), so an evaluation never allocates. Each
// solver worker thread uses its own (ThreadTerminalScratch); tests and benches may own
// one directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/aligned_buffer.h"
#include "solver/card_pair.h"
#include "solver/runout_layout.h"

// An opponent combo with non-zero reach, as the showdown sweep keeps it.
struct ShowdownMember {
    CardPair cards;
    float    weight;  // stake * reach
};

// A strength group with reachable members, or a merged run of consecutive groups without
// any: sorted positions [begin, end), members [first_member, end_member), their weight sum.
struct ShowdownRecord {
    uint16_t begin;
    uint16_t end;
    uint16_t first_member;
    uint16_t end_member;
    float    group_sum;
};

class TerminalScratch {
public:
    // 64 floats per card table: the 52 cards, padded to whole cache lines.
    static constexpr int kCardTableSize = 64;

    // Lanes of a batched evaluation (solver_kernels.h: kMaxBatchLanes).
    static constexpr int kLanes = 16;

    TerminalScratch() : block_(kBlockBytes) {}

    float*          card_sums() { return Part<float>(kCardSums); }
    float*          card_totals() { return Part<float>(kCardTotals); }
    ShowdownMember* members() { return Part<ShowdownMember>(kMembers); }
    ShowdownRecord* records() { return Part<ShowdownRecord>(kRecords); }

    // Batched evaluations keep 16 lanes per entry, lane-interleaved: entry i's lanes at
    // [i * 16, i * 16 + 16).
    float*    lane_rows() { return Part<float>(kLaneRows); }        // per combo: reach, values
    float*    lane_weights() { return Part<float>(kLaneWeights); }  // per showdown member
    CardPair* member_cards() { return Part<CardPair>(kMemberCards); }
    float*    lane_card_sums() { return Part<float>(kLaneCardSums); }  // per card
    float*    lane_card_totals() { return Part<float>(kLaneCardTotals); }

    // Room for a strategy of up to kMaxActions rows of PaddedRow(kMaxRunoutCombos) floats
    // (the stores' kernels without a fused form).
    float* strategy_rows() { return Part<float>(kStrategyRows); }

private:
    // Every part in one block of mapped pages (aligned_buffer.h), each on a cache line:
    // the pages of the parts a thread never uses (the lane tables of a thread that
    // evaluates no batch, the rows past the largest list) take no memory, and the
    // allocator keeps no pools for the parts.
    static constexpr size_t kCombos       = kMaxRunoutCombos;
    static constexpr size_t kCardBytes    = size_t{kCardTableSize} * sizeof(float);
    static constexpr size_t kLaneRowBytes = size_t{kLanes} * sizeof(float);
    static constexpr size_t kCardSums     = 0;
    static constexpr size_t kCardTotals   = CacheLinesOf(kCardSums + kCardBytes);
    static constexpr size_t kMembers      = CacheLinesOf(kCardTotals + kCardBytes);
    static constexpr size_t kRecords = CacheLinesOf(kMembers + kCombos * sizeof(ShowdownMember));
    static constexpr size_t kLaneRows = CacheLinesOf(kRecords + kCombos * sizeof(ShowdownRecord));
    static constexpr size_t kLaneWeights =
        CacheLinesOf(kLaneRows + (kCombos + kLanes) * kLaneRowBytes);
    static constexpr size_t kMemberCards = CacheLinesOf(kLaneWeights + kCombos * kLaneRowBytes);
    static constexpr size_t kLaneCardSums =
        CacheLinesOf(kMemberCards + kCombos * sizeof(CardPair));
    static constexpr size_t kLaneCardTotals = CacheLinesOf(kLaneCardSums + kCardBytes * kLanes);
    static constexpr size_t kStrategyRows   = CacheLinesOf(kLaneCardTotals + kCardBytes * kLanes);
    static constexpr size_t kBlockBytes =
        CacheLinesOf(kStrategyRows + kMaxActions * PaddedRow(kMaxRunoutCombos) * sizeof(float));
    static_assert(kBlockBytes >= kPageBlockBytes);

    template <class T>
    T* Part(size_t offset) {
        return reinterpret_cast<T*>(block_.data() + offset);
    }

    AlignedArray<std::byte> block_;
};

// The calling thread's scratch, created on first use. Never shared between threads.
TerminalScratch& ThreadTerminalScratch();
