// Counterfactual values of showdown ends, linear in the number of combos.
//
// For every traverser combo i: the sum over opponent combos j sharing no card with i of
// A * reach[j] * outcome, outcome +1 when i is stronger, 0 on a tie, -1 when weaker (A =
// the stake). With rake rate r the payoffs are A(1 - 2r), -A r and -A, i.e. per combo
// (1 - r)(W - L) - r (W + L + E), where W, L, E are the card-removed weighted masses of
// the weaker, stronger and equal opponent combos.
//
// One sweep over the strength groups of the runout (strength_groups.h), weakest first:
// 1. First pass: every opponent combo with non-zero reach (found through the group's
//    reachable mask when it has one, by testing reach otherwise) gets weight w = A * reach;
//    w is subtracted from the running sums of its two cards and added to its group's sum
//    G; the combo goes into a compact member list. S -= G per group. Consecutive groups
//    without reachable members merge into one record. Now every opponent combo counts as
//    stronger: S = -sum w, sums[c] = -(weights of combos holding c).
// 2. Second pass, per record: (a) the group's members move from "stronger" to "tied": add
//    each w back to its two card sums, S += G; (b) each traverser combo k of the record
//    gets S - sums[first(k)] - sums[second(k)], which is W - L with the conflicting
//    opponent combos removed (the identical combo sits in the same group, counts as tied
//    and adds 0); (c) the members move from "tied" to "weaker": add w again, S += G.
// 3. With rake the output of (b) becomes (1 - r) * (W - L) - r * M, where
//    M = T - totals[first] - totals[second] + A * reach[i] is the card-removed total mass
//    (T and totals are S and the card sums negated after pass 1; the identical combo,
//    subtracted twice, is added back once).
// Step 2b runs in the kernel table's ShowdownOutput(Raked) for records of 8 combos or
// more (gathers from the card sums, and a scatter through the group order unless the
// runout's combo list is already in strength order), in the scalar loop for shorter ones.
// Steps 1, 2a and 2c touch only reachable members. The per-terminal sweep is serial by
// nature (each record depends on the sums of all weaker groups); SIMD pays across
// terminals, one lane per terminal, in the batched kernels (terminal_batch_generic.h).
#pragma once

#include <cstdint>
#include <span>

#include "solver/solver_kernels.h"
#include "solver/strength_groups.h"
#include "solver/terminal_scratch.h"

// One showdown end: opponent reach in (combo-list order, or null: values all 0), values
// out (may be the reach buffer: the evaluation turns reach into values in place), stake A
// and rake rate r (0 = no rake).
struct ShowdownLane {
    const float* reach;
    float*       values;
    float        stake;
    float        rake_rate;
};

// Fills lane.values[0 .. groups.combo_count) for one showdown end. 'masks' are reachable
// masks of the groups covering lane.reach (BuildReachableMasks), or null to test every
// combo's reach. Linear in the combo count; uses 'scratch'.
void ShowdownValues(const SolverKernels& kernels, const StrengthGroups& groups,
                    const uint16_t* masks, const ShowdownLane& lane, TerminalScratch& scratch);

// The same values through the alternative single-terminal kernel ("alt1"): every record
// goes through the scalar output loop, none through the gathering wide loop. Same bits.
void ShowdownValuesAlt1(const SolverKernels& kernels, const StrengthGroups& groups,
                        const uint16_t* masks, const ShowdownLane& lane, TerminalScratch& scratch);

// Evaluates several showdown ends of the same runout with masks covering all of them
// (the OR of their patterns' masks): one sweep over the groups for every 16 of them, one
// SIMD lane per terminal (kernel table: ShowdownBatch). Each lane's values have the bits
// of its single evaluation.
// Batches of up to kNarrowBatch terminals go through the single-terminal sweep lane by
// lane (for so few lanes the interleaving costs more than it saves), with the "alt1"
// kernel for lanes without rake when 'alt1' is set.
void EvaluateShowdowns(const SolverKernels& kernels, const StrengthGroups& groups,
                       const uint16_t* masks, std::span<const ShowdownLane> lanes,
                       TerminalScratch& scratch, bool alt1 = false);
