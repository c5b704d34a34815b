// Turn subtrees of a flop tree (the subgame tasks of a flop tree's pass) with the river
// subtrees of their lines grouped by river card.
//
// Below one turn card, every line that reaches the river deals the same river cards, and a
// river subtree alone has only a few showdown ends: swept line after line, its ends go in
// narrow batches. Here the turn subtree is swept in three steps instead:
// 1. top down over the turn nodes (DescendBatched): strategies, children's reach, averages;
//    turn folds are left pending, every node that deals the river is kept with its reach;
// 2. river card after river card: the river subtrees and all-in showdowns below every
//    dealing node for that card run as groups of jobs (RunJobs) that fill whole batches,
//    and each one's values are added to its dealing node's sums;
// 3. bottom up over the turn nodes (FinishBatched).
// Every dealing node adds its cards in card order, as the depth-first sweep does, so both
// give the same bits.
#include <algorithm>

#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

bool CfrEngine::TurnGroupable(const PassState& pass, uint32_t root, const Runout& runout) const {
    // Every river subtree must be one the batched sweep takes whole.
    return pass.eval_mode == 3 && pass.storage_allows && !pass.tallies && runout.street == 2 &&
           tree_.BaseStreet() == 1 && tree_.Node(root).kind == kDecisionNode &&
           river_ends_max_[root] <= uint32_t(pass.eval_cap);
}

void CfrEngine::SweepTurnGrouped(PassState& pass, uint32_t root, const Runout& runout,
                                 const float* reach, float* values, float* best) {
    thread_local BatchWork               work;
    thread_local std::vector<SubgameJob> jobs;
    thread_local std::vector<uint32_t>   job_nodes;
    thread_local std::vector<SubgameJob> group;
    VectorArena&                         arena = ThreadVectorArena();
    ArenaScope                           scope(arena);
    const int                            width = pass.width;
    const int                            n     = runout.Size();

    work.Start(root, subtree_end_[root]);
    DescendBatched(pass, work, root, runout, reach, nullptr);
    EvaluatePending(pass, {}, work.folds, runout);

    for (uint32_t index : work.deals) {
        BatchWork::Entry& entry = work.entries[index - root];
        entry.values            = arena.Zeroed(width);
        entry.best              = best ? arena.Zeroed(width) : nullptr;
    }
    for (const DealtCard& deal : runouts_.RiverDeals(runout.turn_slot)) {
        ArenaScope card_scope(arena);
        Runout     child = runout;
        child.street     = 3;
        child.river_slot = deal.slot;
        child.list       = &runouts_.River(runout.turn_slot, deal.slot);
        const int m      = child.Size();
        jobs.clear();
        job_nodes.clear();
        for (uint32_t index : work.deals) {
            float* const child_reach = arena.Zeroed(width);
            pass.kernels->GatherKept(work.entries[index - root].reach, child.list->kept.data(), n,
                                     child_reach);
            if (!AnyPositive(child_reach, m))
                continue;
            jobs.push_back({index, child, child_reach, arena.Zeroed(width),
                            best ? arena.Zeroed(width) : nullptr, nullptr});
            job_nodes.push_back(index);
        }
        for (const std::vector<int>& packed : PackByShowdowns(pass, job_nodes)) {
            group.clear();
            for (int k : packed)
                group.push_back(jobs[k]);
            RunJobs(pass, group);
        }
        for (const SubgameJob& job : jobs) {
            BatchWork::Entry& entry = work.entries[job.node - root];
            AddDealtValues(*pass.kernels, deal, *child.list, n, job.values, job.best, entry.values,
                           entry.best);
        }
    }
    for (uint32_t index : work.deals) {
        BatchWork::Entry& entry = work.entries[index - root];
        ScaleDealtValues(runouts_.RiverChanceFactor(), n, entry.values, entry.best);
    }
    FinishBatched(pass, work, runout, values, best, false);
}
