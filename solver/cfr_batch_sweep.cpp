// River subtrees of the CFR engine: the choice between the direct and the batched sweep,
// and the batched sweep itself.
//
// The batched sweep of a river subtree runs in three steps over the subtree's nodes (a
// contiguous run of the pre-order node array):
// 1. Top down: every decision node computes its strategy (BeginDecision) and, at the
//    opponent's nodes, its children's reach; reach vectors that are zero everywhere cut
//    off their subtree. Terminal ends are not evaluated but put on the thread's pending
//    lists (showdowns and folds) with their reach and value buffers.
// 2. The pending ends are evaluated a batch at a time: the largest width W is the SIMD
//    level (at most 4 for showdowns with rake), the remainder goes as one smaller batch,
//    and batches of up to kNarrowBatch ends use the single-terminal kernels lane by lane.
// 3. Bottom up (reverse pre-order visits children before parents): every reached decision
//    node combines its children's values and updates its stores (FinishDecision).
// The strategies of step 1 are those the depth-first sweep computes (a node's own update
// happens only after its subtree), so both sweeps give the same values and updates.
#include <algorithm>

#include "platform/cycle_counter.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/fold_values.h"
#include "solver/showdown_values.h"
#include "solver/terminal_scratch.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"


namespace {

int CountPositive(const float* v, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i)
        count += v[i] > 0.0f;
    return count;
}

}  // namespace

void CfrEngine::PrepareSubtreeFigures() {
    const uint32_t size = tree_.Size();
    subtree_end_.assign(size, 0);
    terminal_count_.assign(size, 0);
    showdown_count_.assign(size, 0);
    river_ends_max_.assign(size, 0);
    river_root_.assign(size, 0);
    for (uint32_t i = size; i-- > 0;) {
        const BuiltNode& node      = tree_.Node(i);
        uint32_t         end       = i + 1;
        uint32_t         terminals = node.kind == kDecisionNode ? 0 : 1;
        uint32_t         showdowns = node.kind == kShowdownEnd ? 1 : 0;
        uint32_t         river_max = 0;
        for (uint32_t child : tree_.Children(i)) {
            end = std::max(end, subtree_end_[child]);
            terminals += terminal_count_[child];
            showdowns += showdown_count_[child];
            river_max = std::max(river_max, river_ends_max_[child]);
        }
        subtree_end_[i]    = end;
        terminal_count_[i] = terminals;
        showdown_count_[i] = showdowns;
        river_root_[i]     = node.kind == kDecisionNode && node.street == 3 &&
                         (node.parent_index == kNoParent || tree_.Node(node.parent_index).street < 3);
        river_ends_max_[i] = river_root_[i] ? std::max(river_max, terminals) : river_max;
    }
}

// River subtree roots are candidates; below a candidate with more terminal ends than the
// cap, its decision children are.
bool CfrEngine::BatchCandidate(uint32_t index, int cap) const {
    if (river_root_[index])
        return true;
    const BuiltNode& node = tree_.Node(index);
    if (node.kind != kDecisionNode || node.street != 3 || node.parent_index == kNoParent)
        return false;
    return terminal_count_[node.parent_index] > uint32_t(cap) && BatchCandidate(node.parent_index, cap);
}

void CfrEngine::SweepRiverSubtree(PassState& pass, uint32_t index, const Runout& runout,
                                  const float* reach, float* values, float* best,
                                  const StatsLane* lane) {
    if (terminal_count_[index] > uint32_t(pass.eval_cap)) {
        if (SweepsInGroups(pass, lane))
            return SweepRiverInGroups(pass, index, runout, reach, values, best);
        return SweepDecision(pass, index, runout, reach, values, best, lane);
    }
    const int    base = tree_.BaseStreet();
    BatchContext context;
    context.mode           = pass.eval_mode;
    context.iteration      = iteration_;
    context.storage_allows = pass.storage_allows;
    context.raked          = pass.rake.Enabled();
    context.decision_count = tree_.DecisionCount();
    context.player         = pass.traverser;
    context.slot           = base == 1 ? runout.turn_slot : base == 2 ? runout.river_slot : 0;
    if (pass.eval_mode <= 1) {
        context.reachable       = CountPositive(reach, runout.Size());
        context.strength_groups = StrengthOf(runout).GroupCount();
    }
    const BatchPolicy::Choice choice = batch_policy_.Choose(context);
    if (pass.counters)
        pass.counters->CountDecision(choice.batched);
    const uint64_t start = choice.timed ? ReadCycleCounter() : 0;
    PrefetchSubtree(pass, index, runout);
    if (choice.batched)
        SweepBatched(pass, index, runout, reach, values, best, lane);
    else
        SweepDecision(pass, index, runout, reach, values, best, lane);
    if (choice.timed)
        batch_policy_.Record(pass.traverser, context.slot, choice.batched, ReadCycleCounter() - start);
}

void CfrEngine::SweepBatched(PassState& pass, uint32_t root, const Runout& runout,
                             const float* reach, float* values, float* best,
                             const StatsLane* lane) {
    thread_local BatchWork work;
    ArenaScope             scope(ThreadVectorArena());
    work.Start(root, subtree_end_[root]);
    DescendBatched(pass, work, root, runout, reach, lane);
    EvaluatePending(pass, work.showdowns, work.folds, runout);
    FinishBatched(pass, work, runout, values, best, lane != nullptr);
}

// Subgame tasks of one river runout (RunTasks), run as one group of jobs.
void CfrEngine::RunTaskGroup(PassState& pass, const std::vector<int>& group) {
    thread_local std::vector<SubgameJob> jobs;
    thread_local std::vector<StatsLane>  lanes;
    VectorArena&                         arena = ThreadVectorArena();
    ArenaScope                           scope(arena);
    jobs.clear();
    lanes.resize(group.size());  // the jobs point at them: no reallocation below
    for (int t : group) {
        Task&           task     = pass.tasks[t];
        const bool      showdown = tree_.Node(task.node).kind == kShowdownEnd;
        const StatsLane lane     = pass.tallies && !showdown
                                       ? pass.tallies->TaskLane(t, *pass.kernels, arena)
                                       : StatsLane{};
        float* const    reach    = arena.Allocate(pass.width);
        if (!LoadTaskReach(pass, task, reach)) {
            if (pass.tallies && !showdown)
                CountUnreached(pass, task.node, task.runout, *lane.counts);
            continue;
        }
        OpenTask(pass, task);
        lanes[jobs.size()] = lane;
        jobs.push_back({task.node, task.runout, reach, pass.TaskValues(task), pass.TaskBest(task),
                        pass.tallies ? &lanes[jobs.size()] : nullptr});
    }
    if (!jobs.empty())
        RunJobs(pass, jobs);
    for (int t : group)
        CloseTask(pass, t);
}

// River subtrees and terminal ends of one runout: each subtree is swept top down and each
// end joins the pending ends, then the ends of all of them are evaluated together, then
// each subtree is finished bottom up.
void CfrEngine::RunJobs(PassState& pass, std::span<const SubgameJob> jobs) {
    thread_local std::vector<BatchWork>  works;
    thread_local std::vector<PendingEnd> showdowns, folds;
    if (works.size() < jobs.size())
        works.resize(jobs.size());
    showdowns.clear();
    folds.clear();
    for (size_t i = 0; i < jobs.size(); ++i) {
        const SubgameJob& job  = jobs[i];
        const BuiltNode&  node = tree_.Node(job.node);
        if (!node.IsDecision()) {
            (node.kind == kShowdownEnd ? showdowns : folds).push_back({job.node, job.reach, job.values});
            continue;
        }
        if (pass.counters)
            pass.counters->CountDecision(true);
        PrefetchSubtree(pass, job.node, job.runout);
        works[i].Start(job.node, subtree_end_[job.node]);
        DescendBatched(pass, works[i], job.node, job.runout, job.reach, job.lane);
        showdowns.insert(showdowns.end(), works[i].showdowns.begin(), works[i].showdowns.end());
        folds.insert(folds.end(), works[i].folds.begin(), works[i].folds.end());
    }
    EvaluatePending(pass, showdowns, folds, jobs.front().runout);
    for (size_t i = 0; i < jobs.size(); ++i) {
        const SubgameJob& job = jobs[i];
        if (tree_.Node(job.node).IsDecision())
            FinishBatched(pass, works[i], job.runout, job.values, job.best, pass.tallies != nullptr);
        else if (job.best)
            std::copy_n(job.values, job.runout.Size(), job.best);
    }
}

// Step 3: the reached decision nodes of the subtree, each after all of its subtree; the
// root's values go to 'values' and 'best'.
void CfrEngine::FinishBatched(PassState& pass, BatchWork& work, const Runout& runout,
                              float* values, float* best, bool counting) {
    VectorArena& arena = ThreadVectorArena();
    ArenaScope   scope(arena);
    float* const zeros = arena.Zeroed(pass.width);  // values of children nobody reaches
    FinishBatchedNode(pass, work, runout, work.root, values, best, zeros, counting);
}

// A decision node's children that are decisions are finished first, each into vectors
// taken here and given back once this node has used them: a node's vectors live only
// while its parent is being finished, not until the whole subtree is (the largest
// subtree a batch takes has about 30 decisions).
void CfrEngine::FinishBatchedNode(PassState& pass, BatchWork& work, const Runout& runout,
                                  uint32_t index, float* values, float* best, float* zeros,
                                  bool counting) {
    VectorArena&   arena    = ThreadVectorArena();
    ArenaScope     scope(arena);
    const int      width    = pass.width;
    const int      n        = runout.Size();
    const auto     children = tree_.Children(index);
    float*         child_values[kMaxActions];
    float*         child_best[kMaxActions];
    for (size_t a = 0; a < children.size(); ++a) {
        const uint32_t          c     = children[a];
        const BatchWork::Entry& child = work.entries[c - work.root];
        if (!child.live) {
            child_values[a] = zeros;
            child_best[a]   = best ? zeros : nullptr;
            continue;
        }
        if (!child.dealt && tree_.Node(c).kind == kDecisionNode) {
            float* const v = TailZeroed(arena, width, n);
            float* const b = best ? TailZeroed(arena, width, n) : nullptr;
            FinishBatchedNode(pass, work, runout, c, v, b, zeros, counting);
        }
        child_values[a] = child.values;
        child_best[a]   = best ? child.best : nullptr;
    }
    BatchWork::Entry& entry = work.entries[index - work.root];
    entry.values            = values;
    entry.best              = best;
    CloseDecision(pass, entry.decision, child_values, child_best, runout, entry.reach, values,
                  best, counting ? &entry.lane : nullptr);
}

void CfrEngine::DescendBatched(PassState& pass, BatchWork& work, uint32_t index,
                               const Runout& runout, const float* reach, const StatsLane* lane) {
    VectorArena&      arena = ThreadVectorArena();
    const int         width = pass.width;
    const int         n     = runout.Size();
    const BuiltNode&  node  = tree_.Node(index);
    BatchWork::Entry& entry = work.entries[index - work.root];
    entry.live              = true;
    entry.reach             = reach;
    if (DealsNextCard(node, runout)) {
        entry.dealt = true;  // the turn sweep deals the river here (cfr_turn_sweep.cpp)
        work.deals.push_back(index);
        return;
    }
    if (node.kind != kDecisionNode) {
        entry.values = TailZeroed(arena, width, n);
        entry.best   = pass.update ? nullptr : entry.values;
        (node.kind == kShowdownEnd ? work.showdowns : work.folds).push_back({index, reach, entry.values});
        return;
    }
    entry.decision            = BeginDecision(pass, index, runout);
    const DecisionFrame frame = entry.decision;
    if (lane)
        entry.lane = *lane;
    const auto          children = tree_.Children(index);
    float*              next[kMaxActions];
    uint64_t            live = 0;
    if (!frame.traverser) {
        for (size_t a = 0; a < children.size(); ++a)
            next[a] = TailZeroed(arena, width, n);
        live = ChildReaches(pass, frame, reach, next);
        AccumulateAverages(pass, frame, next, live);
    }
    for (size_t a = 0; a < children.size(); ++a) {
        if (a + 1 < children.size())
            PrefetchChild(pass, children[a + 1], runout);
        if (frame.traverser) {
            const StatsLane own = lane ? OwnChildLane(pass, frame, *lane, int(a)) : StatsLane{};
            DescendBatched(pass, work, children[a], runout, reach, lane ? &own : nullptr);
        } else if (live >> a & 1) {
            DescendBatched(pass, work, children[a], runout, next[a], lane);
        } else if (lane) {
            CountUnreached(pass, children[a], runout, *lane->counts);
        }
    }
}

void CfrEngine::EvaluatePending(PassState& pass, std::span<const PendingEnd> showdowns,
                                std::span<const PendingEnd> folds, const Runout& runout) {
    const SolverKernels& kernels = *pass.kernels;
    TerminalScratch&     scratch = ThreadTerminalScratch();
    const RakeSettings&  rake    = pass.rake;
    const bool           raked   = rake.Enabled();
    const int            n       = runout.Size();

    auto batches = [&](std::span<const PendingEnd> ends, int width, BatchCategory category,
                       auto&& evaluate) {
        for (size_t first = 0; first < ends.size(); first += width) {
            const int      count = static_cast<int>(std::min<size_t>(width, ends.size() - first));
            const uint64_t start = pass.counters ? ReadCycleCounter() : 0;
            evaluate(&ends[first], count);
            if (pass.counters)
                pass.counters->CountBatch(category, count, n, ReadCycleCounter() - start);
        }
    };

    if (!showdowns.empty()) {
        const StrengthGroups& groups = StrengthOf(runout);
        batches(showdowns, pass.showdown_width, BatchCategory::kShowdown,
                [&](const PendingEnd* ends, int count) {
                    ShowdownLane lanes[kMaxBatchLanes];
                    for (int l = 0; l < count; ++l) {
                        const float stake = static_cast<float>(tree_.Node(ends[l].node).value);
                        lanes[l] = {ends[l].reach, ends[l].values, stake, raked ? RakeRate(rake, stake) : 0.0f};
                    }
                    EvaluateShowdowns(kernels, groups, nullptr, std::span(lanes, count), scratch,
                                      pass.alt1);
                });
    }
    if (!folds.empty()) {
        const std::span<const CardPair> cards(runout.list->cards);
        batches(folds, pass.fold_width, BatchCategory::kFold,
                [&](const PendingEnd* ends, int count) {
                    FoldLane lanes[kMaxBatchLanes];
                    for (int l = 0; l < count; ++l) {
                        const BuiltNode& node   = tree_.Node(ends[l].node);
                        const float      stake  = static_cast<float>(node.value);
                        const float      payoff = node.player == pass.traverser ? -stake : stake;
                        lanes[l] = {ends[l].reach, ends[l].values, payoff, raked ? RakeRate(rake, payoff) : 0.0f};
                    }
                    EvaluateFolds(kernels, cards, std::span(lanes, count), scratch);
                });
    }
}

void CfrEngine::PrefetchChild(const PassState& pass, uint32_t index, const Runout& runout) const {
    if (pass.prefetch_mode == 0)
        return;
    const BuiltNode& node = tree_.Node(index);
    if (node.kind != kDecisionNode || node.street > runout.street)
        return;
    const int slot = StorageSlot(node.street, runout);
    if (const StrategyStore* regrets = RegretStore(index))
        regrets->Prefetch(slot, pass.prefetch_mode);
    if (UsesAverage(pass, node))
        if (const StrategyStore* averages = AverageStore(index))
            averages->Prefetch(slot, pass.prefetch_mode);
}

// Mode 2: the whole subtree's numbers for this runout (down to the next dealt card) are
// requested at once (they fit the second-level cache), so that their misses overlap
// instead of stalling node after node. Subgame tasks request the next task's numbers
// before they start, so that those arrive while the current task runs.
void CfrEngine::PrefetchSubtree(const PassState& pass, uint32_t root, const Runout& runout) const {
    if (pass.prefetch_mode != 2)
        return;
    for (uint32_t index = root; index < subtree_end_[root]; ++index) {
        const BuiltNode& node = tree_.Node(index);
        if (node.kind != kDecisionNode || node.street > runout.street)
            continue;
        const int  slot      = StorageSlot(node.street, runout);
        const bool traverser = node.player == pass.traverser;
        if (const StrategyStore* regrets = RegretStore(index); regrets && !UsesAverage(pass, node))
            regrets->Prefetch(slot, 2);
        const bool averaging = pass.update ? !traverser : UsesAverage(pass, node);
        if (const StrategyStore* averages = AverageStore(index); averages && averaging)
            averages->Prefetch(slot, 2);
    }
}
