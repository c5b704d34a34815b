// Lookup tables of the hand evaluator, indexed by a 13-bit rank mask (bit r = rank r
// present). A hand of at most seven cards never has a rank mask above 8128 (ranks
// A K Q J T 9 8), so every table has 8129 entries.
#pragma once

#include <cstdint>

constexpr int kRankMaskEntries = 8129;

// Each table as narrow as its values allow (98 KB in all, against 160 KB at 32 bits).
struct EvalTables {
    uint8_t  rank_count[kRankMaskEntries];  // number of ranks in the mask
    uint8_t  top_rank[kRankMaskEntries];    // highest rank (0 for the empty mask)
    uint16_t top_bit[kRankMaskEntries];     // the mask of the highest rank only
    // The highest min(5, count) ranks as nibbles, the highest most significant; with k < 5
    // ranks they occupy bits 4k-1..0.
    uint32_t top_five[kRankMaskEntries];
    // 0 without five consecutive ranks, else 0x04000000 + (top << 16) for the highest
    // straight; A-2-3-4-5 counts with top 3 when there is no higher one.
    uint32_t straight[kRankMaskEntries];
};

// Builds the tables; called once, through EvaluatorTables().
const EvalTables* BuildEvalTables();

// The tables, built on the first call (thread-safe) and kept for the program's life. Inline so that hot callers pay one predictable test, not a call.
inline const EvalTables& EvaluatorTables() {
    static const EvalTables* const tables = BuildEvalTables();
    return *tables;
}

// Builds the tables now, at start-up, so that no command pays for it. Calling it again
// does nothing.
void InitEvaluatorTables();
