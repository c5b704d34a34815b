// Counterfactual values of one player below a node instance, under the strategies the
// queries report (those of a result pass: average strategies once averaging started,
// written and locked strategies applied).
//
// The walk is the value half of a result pass, restricted to one subtree: the player's
// decisions sum their children's values weighted by the player's strategy, the
// opponent's decisions pass reach times strategy down and add the children's values,
// chance nodes deal every card of the runout lists (RunoutLists) and scale by the chance
// factor, ends are evaluated by the solver's fold and showdown kernels with the tree's
// rake. Values are per combo of the runout's list, in chips relative to half the pot,
// weighted by the opponent's reach: divide by the opponent's compatible mass
// (CompatibleMass) for the value per matchup.
//
// Threads: the deals of the first chance node the walk meets are spread over the team
// of the parallel runtime (State().settings.thread_count); the per-deal results are
// added in deal order, so the values do not depend on the thread count.
#pragma once

#include <functional>

#include "solver/cfr_engine.h"

// What the walk shows a visitor at each decision of the player (see SetVisitor).
struct DecisionVisit {
    uint32_t            node = 0;
    const Runout*       runout = nullptr;
    double              chance = 1;         // chance weight of the runout below the start
    int                 actions = 0;
    const float*        strategy = nullptr;  // actions rows at 'stride'
    size_t              stride = 0;
    const float* const* action_values = nullptr;  // per action, runout->Size() values
    const float*        own_reach = nullptr;
    const float*        opponent_reach = nullptr;
};

class SubtreeWalk {
public:
    SubtreeWalk(const CfrEngine& engine, int player);

    // Makes the walk enter every instance, reached or not, carry the player's own reach
    // and call 'visitor' at each of the player's decisions, from worker threads
    // (concurrently: the visitor keeps per-thread state).
    void SetVisitor(std::function<void(const DecisionVisit&)> visitor);

    // Throws StrategyUnavailable when a decision in the subtree of 'node' holds no storage
    // (its street was forgotten). Linear in the subtree's nodes.
    void RequireStorage(uint32_t node) const;

    // Fills values[0 .. runout.Size()) for the subtree of 'node' entered on 'runout' with
    // the given reach (own reach only needed with a visitor). Call RequireStorage first: a
    // decision without storage counts as playing uniformly. May run inside a parallel
    // region (then on one thread). The caller holds the tree mutex. Costs what a result
    // pass costs on the subtree.
    void Values(uint32_t node, const Runout& runout, const float* own_reach,
                const float* opponent_reach, float* values) const;

private:
    struct Lane {
        const float* own;
        const float* opponent;
        float*       values;
        double       chance;
    };

    void Walk(uint32_t node, const Runout& runout, const Lane& lane) const;
    void WalkDecision(uint32_t node, const Runout& runout, const Lane& lane) const;
    void WalkDealt(uint32_t node, const Runout& runout, const Lane& lane) const;
    void WalkTerminal(uint32_t node, const Runout& runout, const Lane& lane) const;

    const CfrEngine&                          engine_;
    int                                       player_;
    const SolverKernels&                      kernels_;
    std::function<void(const DecisionVisit&)> visitor_;
};

// Per combo of the list: the sum of 'reach' over the combos sharing no card with it.
void CompatibleMass(const RunoutCombos& list, const float* reach, float* mass);

// Showdown at a runout before the river: per combo, the chance-weighted sums over the
// boards that complete the runout of reach(o) x outcome (+1 win, 0 tie, -1 loss) and of
// reach(o), over the opponent combos o sharing no card with the combo and the board.
// The ratio scores / mass is the combo's all-in score in [-1, 1]. Linear in the combo
// count per completing board (49 x 48 boards from a flop).
void ShowdownScores(const RunoutLists& lists, const Runout& runout, const float* reach,
                    float* scores, float* mass);
