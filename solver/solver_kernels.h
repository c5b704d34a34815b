// The solver's vector kernels behind one table of function pointers.
//
// Every kernel has one signature and three bodies: a scalar reference (the readable
// definition, *_kernels_scalar.cpp, declared in scalar_kernels.h), an AVX2 body working 8
// combos at a time and an AVX-512 body working 16 at a time with lane masks for the tail
// (kernels_avx2.cpp, kernels_avx512.cpp, both compiled from the generic bodies in
// *_kernels_generic.h over the lane types of simd_avx2.h and simd_avx512.h). A caller
// picks a table once, from the engine setting:
//
//     const SolverKernels& k = KernelsFor(SimdPathFor(State().settings.avx512));
//     k.RegretMatch2(regrets, stride, combos, strategy, strategy_stride);
//
// and hands it down; there is no global "current" table, so tests and benches run every
// body side by side. Calls through the table cost one indirect call per node and runout,
// never per combo.
//
// Conventions shared by all kernels:
// - 'n' is the combo count (0 allowed); per-action data is action-major: action a's row
//   starts at base + a * stride. Rows need no alignment; inputs and outputs must not
//   overlap unless a kernel says so.
// - Regrets and average sums are u16; every kernel that writes them saturates at 65535.
// - 'skip_bits', when not null, is a bitset over combos (bit i of word i / 32): set bits
//   mark combos fixed by a combo lock, whose regrets stay as they are.
// - An absent per-action value row (null pointer) reads as all zeros.
// - Bodies that end in the same bits as the scalar reference: value sums, reach products,
//   regret updates given a node value, average accumulation and the terminal outputs
//   (each does the same operations in the same order, with fused multiply-adds exactly
//   where the reference calls std::fma). Regret matching and average normalisation use a
//   reciprocal estimate refined by one Newton step instead of a division, so they agree
//   with the reference to a few units in the last place; a fused update agrees bit for bit
//   with "regret matching of the same body, then value sum, then update".
#pragma once

#include <cstddef>
#include <cstdint>

#include "solver/card_pair.h"

enum class SimdPath { kScalar, kAvx2, kAvx512 };

// The table the engine uses: AVX-512 unless the setting turns it off (then AVX2). The
// scalar table is for tests and benches.
SimdPath SimdPathFor(bool avx512_enabled);

// Human-readable name of a path: "scalar", "avx2", "avx512".
const char* SimdPathName(SimdPath path);

// Constants of one regret update, derived from the scale s (times the adaptive factor f)
// by MakeRegretStep. A change d moves a regret only when |d| >= threshold = 1/s, by
// trunc((s * |d|)^(3/4)), computed as sqrt(|d|) * s^(3/4) * sqrt(sqrt(|d|)).
struct RegretStep {
    float threshold = 0.0f;
    float scale_3_4 = 0.0f;
};
RegretStep MakeRegretStep(double scale);

// Inputs of the fold output loop (see fold_values.h for the whole evaluation).
struct FoldOutputArgs {
    const float*    reach;      // opponent reach, combo order
    const CardPair* cards;      // cards of each combo, combo order
    const float*    card_sums;  // 52 sums of payoff * reach over combos holding the card
    float*          out;        // may alias 'reach' (each element is read before written)
    float           payoff;     // P, rake already applied
    float           total;      // sum of payoff * reach over all combos
};

// Inputs of the showdown output loop over a run of strength-sorted positions (see
// showdown_values.h). out[order[k]] = S - sums[c1] - sums[c2]; with rake
// (1 - r) * that - r * (T - totals[c1] - totals[c2] + stake * reach[order[k]]).
struct ShowdownOutputArgs {
    const CardPair* sorted_cards;  // cards by sorted position
    const uint16_t* order;         // sorted position -> combo index; null = identity
    const float*    card_sums;     // running per-card sums of the sweep
    const float*    card_totals;   // per-card total mass (rake only)
    const float*    reach;         // opponent reach, combo order (rake only)
    float*          out;           // combo order; may alias 'reach'
    float           stake;         // A (rake only)
    float           rake_rate;     // r (rake only)
    float           total_mass;    // T (rake only)
};

// Batched terminal evaluation: up to kMaxBatchLanes terminals of the same runout, one
// SIMD lane per terminal (showdown_values.h, fold_values.h describe the evaluations).
// Lanes beyond 'lanes' are idle; a null reach evaluates as all-zero reach. Every lane's
// output has the same bits as the single-terminal evaluation of that lane.
inline constexpr int kMaxBatchLanes = 16;

// Batches this narrow are evaluated lane by lane (showdown_values.h, fold_values.h).
inline constexpr int kNarrowBatch = 3;

class TerminalScratch;
struct StrengthGroups;

struct ShowdownBatchArgs {
    int                   lanes  = 0;
    const StrengthGroups* groups = nullptr;
    const uint16_t*     masks        = nullptr;  // reachable masks covering every lane, or null
    const float* const* reach        = nullptr;  // per lane, combo order
    float* const*       out          = nullptr;  // per lane; may be the lane's reach buffer
    const float*        stake        = nullptr;  // kMaxBatchLanes stakes A
    const float*        rate         = nullptr;  // kMaxBatchLanes rake rates (raked only)
    bool                raked        = false;
    TerminalScratch*    scratch      = nullptr;
};

struct FoldBatchArgs {
    int                 lanes       = 0;
    int                 combo_count = 0;
    const CardPair*     cards       = nullptr;   // combo order
    const float* const* reach       = nullptr;   // per lane
    float* const*       out         = nullptr;   // per lane; may be the lane's reach buffer
    const float*        payoff      = nullptr;   // kMaxBatchLanes payoffs, rake applied
    TerminalScratch*    scratch     = nullptr;
};

struct SolverKernels {
    SimdPath path;

    // Regret matching: strategy(a) = R(a) / sum R when the sum is positive, else 1/actions.
    // The two-action body sets strategy(1) = 1 - strategy(0). Linear in n * actions.
    void (*RegretMatch2)(const uint16_t* regrets, size_t stride, int n, float* strategy,
                         size_t out_stride);
    void (*RegretMatch3)(const uint16_t* regrets, size_t stride, int n, float* strategy,
                         size_t out_stride);
    void (*RegretMatch4)(const uint16_t* regrets, size_t stride, int n, float* strategy,
                         size_t out_stride);
    void (*RegretMatchN)(const uint16_t* regrets, size_t stride, int actions, int n,
                         float* strategy, size_t out_stride);

    // Child reach of an opponent node from its regrets, for 2 or more actions: out[a] =
    // reach x (the regret-matching strategy of action a), the bits of RegretMatchX then
    // ReachProduct, without storing the strategy. Bit a of the result: out[a] has a
    // positive entry.
    uint64_t (*RegretReach)(const uint16_t* regrets, size_t stride, int actions, int n,
                            const float* reach, float* const* out);

    // Average strategy: weight(a) = sums(a) * row_scale[a] (the 2^exponent of the action's
    // block, relative to the largest), normalised per combo; uniform where all are 0.
    void (*NormalizeAverages)(const uint16_t* sums, size_t stride, const float* row_scale,
                              int actions, int n, float* strategy, size_t out_stride);

    // Regret update given the node value v: d = v(a) - v per action and combo, then the
    // rule of RegretStep; a fall is floored at 0, a rise saturates at 65535.
    void (*UpdateRegrets)(uint16_t* regrets, size_t stride, int actions, int n,
                          const float* const* action_values, const float* node_values,
                          RegretStep step, const uint32_t* skip_bits);

    // Fused update of a 2-, 3- or 4-action node in one pass over memory: regret matching,
    // node value v = sum strategy(a) * v(a) written to node_values, then the update.
    void (*FusedUpdate2)(uint16_t* regrets, size_t stride, int n,
                         const float* const* action_values, float* node_values, RegretStep step,
                         const uint32_t* skip_bits);
    void (*FusedUpdate3)(uint16_t* regrets, size_t stride, int n,
                         const float* const* action_values, float* node_values, RegretStep step,
                         const uint32_t* skip_bits);
    void (*FusedUpdate4)(uint16_t* regrets, size_t stride, int n,
                         const float* const* action_values, float* node_values, RegretStep step,
                         const uint32_t* skip_bits);

    // out = reach * strategy row; returns whether any entry of out is positive, so that an
    // all-zero child reach is known without a second scan. 'out' may alias 'reach'.
    bool (*ReachProduct)(const float* reach, const float* strategy, int n, float* out);

    // out = sum over a of strategy(a) * v(a), first term a multiply, then fused adds.
    void (*WeightedValueSum)(const float* strategy, size_t stride,
                             const float* const* action_values, int actions, int n, float* out);

    // out = v(0) + v(1) + ... in action order.
    void (*ValueSum)(const float* const* action_values, int actions, int n, float* out);

    // out = max over a of v(a) (best-response values).
    void (*ValueMax)(const float* const* action_values, int actions, int n, float* out);

    // Average accumulation, two steps (average_storage.h): AveragePeak returns the largest
    // sums[i] + floor(reach[i] * multiplier + 0.5) (as float, 0 for n = 0) without writing;
    // AverageAdd writes sums[i] = min(floor((sums[i] + floor(reach[i] * multiplier + 0.5))
    // * shrink), 65535), shrink being 2^-k for the k halvings that bring the peak in range.
    float (*AveragePeak)(const uint16_t* sums, const float* reach, float multiplier, int n);
    void (*AverageAdd)(uint16_t* sums, const float* reach, float multiplier, float shrink,
                       int n);
    // The common case in one pass: writes sums[i] + floor(reach[i] * multiplier + 0.5)
    // for i below the returned count k and leaves sums[k .. n) as they were; k == n when
    // none of the raised sums exceeds 65535, otherwise one in [k, n) does. Steps whose
    // additions are all 0 are neither read nor written. Requires finite raised sums.
    int (*AverageAddInRange)(uint16_t* sums, const float* reach, float multiplier, int n);

    // Terminal output loops (gathers from the per-card sums).
    void (*FoldOutput)(const FoldOutputArgs& args, int n);
    void (*ShowdownOutput)(const ShowdownOutputArgs& args, int begin, int end,
                           float running_sum);
    void (*ShowdownOutputRaked)(const ShowdownOutputArgs& args, int begin, int end,
                                float running_sum);

    // Chance nodes: a child list keeps the parent entries whose bit is set in 'keep' (one
    // 16-bit mask per 16 parent entries, bits past parent_n clear). GatherKept copies the
    // kept entries of a parent vector into the child vector; ScatterKeptAdd adds weight x
    // child[j] to the parent entry child entry j came from (one fused multiply-add).
    void (*GatherKept)(const float* parent, const uint16_t* keep, int parent_n, float* child);
    void (*ScatterKeptAdd)(const float* child, const uint16_t* keep, int parent_n, float weight,
                           float* parent);

    // Batched terminals (the scalar table evaluates lane after lane).
    void (*ShowdownBatch)(const ShowdownBatchArgs& args);
    void (*FoldBatch)(const FoldBatchArgs& args);
};

const SolverKernels& KernelsFor(SimdPath path);

// The three tables (defined by the body files).
extern const SolverKernels kScalarKernels;
extern const SolverKernels kAvx2Kernels;
extern const SolverKernels kAvx512Kernels;
