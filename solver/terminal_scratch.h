// Per-thread working memory of the terminal evaluations (fold_values.h,
// showdown_values.h): the per-card sums, the compact list of reachable opponent combos and
// the group records of a showdown sweep.
//
// Sized once for the largest runout (1326 combos), so an evaluation never allocates. Each
// solver worker thread uses its own (ThreadTerminalScratch); tests and benches may own
// one directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "solver/aligned_buffer.h"
#include "solver/card_pair.h"

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

    TerminalScratch()
        : card_sums_(kCardTableSize), card_totals_(kCardTableSize), members_(kMaxRunoutCombos),
          records_(kMaxRunoutCombos) {}

    float*          card_sums() { return card_sums_.data(); }
    float*          card_totals() { return card_totals_.data(); }
    ShowdownMember* members() { return members_.data(); }
    ShowdownRecord* records() { return records_.data(); }

    // Batched evaluations keep 16 lanes per entry, lane-interleaved: entry i's lanes at
    // [i * 16, i * 16 + 16). Created on the first batch of the thread.
    float*    lane_rows() { return Batch().lane_rows.data(); }      // per combo (reach, then values)
    float*    lane_weights() { return Batch().lane_weights.data(); }  // per showdown member
    CardPair* member_cards() { return Batch().member_cards.data(); }
    float*    lane_card_sums() { return Batch().card_sums.data(); }    // per card
    float*    lane_card_totals() { return Batch().card_totals.data(); }

private:
    struct BatchBuffers {
        AlignedArray<float>    lane_rows{size_t(kMaxRunoutCombos + kLanes) * kLanes};
        AlignedArray<float>    lane_weights{size_t(kMaxRunoutCombos) * kLanes};
        AlignedArray<CardPair> member_cards{kMaxRunoutCombos};
        AlignedArray<float>    card_sums{size_t(kCardTableSize) * kLanes};
        AlignedArray<float>    card_totals{size_t(kCardTableSize) * kLanes};
    };
    BatchBuffers& Batch() {
        if (!batch_)
            batch_ = std::make_unique<BatchBuffers>();
        return *batch_;
    }

    AlignedArray<float>           card_sums_;
    AlignedArray<float>           card_totals_;
    AlignedArray<ShowdownMember>  members_;
    AlignedArray<ShowdownRecord>  records_;
    std::unique_ptr<BatchBuffers> batch_;
};

// The calling thread's scratch, created on first use. Never shared between threads.
TerminalScratch& ThreadTerminalScratch();

// Frees the calling thread's scratch (the end of a pass releases the workers' pools); the
// next ThreadTerminalScratch() creates it again.
void ReleaseThreadTerminalScratch();

// A per-thread float buffer of at least 'count' elements (kernel scratch such as the
// strategy rows of a fused update); grows on demand, contents undefined. Valid until the
// next call on the same thread or ReleaseThreadTerminalScratch().
float* ThreadVectorScratch(size_t count);
