// Counterfactual values of fold ends, linear in the number of combos.
//
// For every traverser combo i the value is the sum, over the opponent combos j that share
// no card with i, of reach[j] * P, where P is the traverser's payoff: +A when the opponent
// folded, -A when the traverser did (A = the terminal's stake), with rake applied to a
// positive P (P - 2r * P, rake.h).
//
// Card removal without a pairwise loop (inclusion-exclusion):
// 1. sums[c] = sum of P * reach[j] over the opponent combos j holding card c; T = the sum
//    over all j (only combos with reach > 0 are visited);
// 2. if |T| is not above the smallest normal float, every value is 0;
// 3. value[i] = P * reach[i] + T - sums[first(i)] - sums[second(i)]: the opponent combos
//    sharing a card with i are subtracted, and the combo identical to i, subtracted twice,
//    is added back once.
// Step 1 is a scalar pass (two scattered adds per combo collide too often to vectorise);
// step 3 runs in the kernel table's FoldOutput (gathers from the 52 sums).
#pragma once

#include <span>

#include "solver/card_pair.h"
#include "solver/solver_kernels.h"
#include "solver/terminal_scratch.h"

// One fold end: opponent reach in (combo-list order, or null for "no reach": values all
// 0), traverser values out (may be the same buffer as reach), signed payoff P (+A / -A,
// before rake) and the terminal's rake rate (0 without rake; see RakeRate, which gives 0
// for a negative payoff).
struct FoldLane {
    const float* reach;
    float*       values;
    float        payoff;
    float        rake_rate;
};

// Fills lane.values[0 .. cards.size()) for one fold end. 'cards' is the runout's combo
// list. Linear in the combo count; uses 'scratch' for the 52 card sums.
void FoldValues(const SolverKernels& kernels, std::span<const CardPair> cards,
                const FoldLane& lane, TerminalScratch& scratch);

// Evaluates several fold ends of the same runout: one sweep over the combos for every 16
// of them, one SIMD lane per terminal (kernel table: FoldBatch). Each lane's values have
// the bits of its single evaluation. Up to kNarrowBatch lanes go lane by lane.
void EvaluateFolds(const SolverKernels& kernels, std::span<const CardPair> cards,
                   std::span<const FoldLane> lanes, TerminalScratch& scratch);
