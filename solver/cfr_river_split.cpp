// River subtrees too large to batch whole, and river trees on a team of threads.
//
// A subtree with more terminal ends than the evaluation cap is not batched as a whole. It
// is swept in groups instead: the calling thread opens its root and every decision below
// whose subtree is still over the cap, setting up their children's reach and value
// vectors as SweepDecision would; the subtrees below the opened decisions are then swept
// in sets of jobs of at most the cap's ends, each set's ends evaluated together (RunJobs),
// so that the batches stay wide; last, the opened decisions are closed, children before
// parents.
//
// A tree that starts on the river has no dealt cards, so no subgame tasks: with a team of
// threads, the passes of such a tree over the cap sweep it that way, also opening every
// decision whose subtree is a large share of the tree, and deal the subtrees below into
// one group per thread, largest expected cost first into the group with the least so far. Which
// subtrees the opponent's reach prunes changes from pass to pass, so node counts are a
// poor guide to the cost of a subtree: each group's cycles are measured, and the costs of
// its subtrees scaled towards its share of them.
//
// A batched subtree gives the same values and updates, bit for bit, as one swept directly,
// and each terminal's values do not depend on the others in its batch: sweeping in
// groups, on any team, changes no figure.
#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <vector>

#include "platform/cycle_counter.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

namespace {

// A decision is opened when its subtree holds more than 1 / (kOpenShare x team) of the
// tree's nodes: no single subtree then keeps one thread busy while the others wait.
constexpr uint32_t kOpenShare = 2;

// How far one measurement moves a subtree's cost towards its group's share of the cycles.
constexpr double kCostSmoothing = 0.25;

}  // namespace

// A river tree within the cap stays one batched subtree on one thread: its ends fill the
// widest batches there are, and it takes a few tens of microseconds, where starting the
// team's threads can take a millisecond.
bool CfrEngine::SplitsRiverRoot(const PassState& pass, uint32_t index) const {
    return index == 0 && tree_.BaseStreet() == 3 && !pass.tallies && !omp_in_parallel() &&
           omp_get_max_threads() > 1 && terminal_count_[0] > uint32_t(pass.eval_cap);
}

bool CfrEngine::SweepsInGroups(const PassState& pass, const StatsLane* lane) const {
    return !lane && pass.eval_mode == 3 && pass.storage_allows;
}

// The jobs (terminal ends, and subtrees within the evaluation cap) in sets of at most the
// cap's terminal ends, what one batched subtree may hold, each set's ends evaluated
// together; without batching, each job on its own.
void CfrEngine::RunJobGroup(PassState& pass, std::span<const SubgameJob> jobs) {
    if (jobs.empty())
        return;
    if (!SweepsInGroups(pass, nullptr)) {
        for (const SubgameJob& job : jobs) {
            if (tree_.Node(job.node).IsDecision())
                SweepRiverSubtree(pass, job.node, job.runout, job.reach, job.values, job.best, nullptr);
            else
                Sweep(pass, job.node, job.runout, job.reach, job.values, job.best, nullptr);
        }
        return;
    }
    size_t   first = 0;
    uint32_t ends  = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const uint32_t more = terminal_count_[jobs[i].node];
        if (i > first && ends + more > uint32_t(pass.eval_cap)) {
            RunJobs(pass, jobs.subspan(first, i - first));
            first = i;
            ends  = 0;
        }
        ends += more;
    }
    RunJobs(pass, jobs.subspan(first));
}

void CfrEngine::SweepRiverInGroups(PassState& pass, uint32_t root, const Runout& runout,
                                   const float* reach, float* values, float* best) {
    struct Opened {
        OpenedDecision decision;
        const float*   reach;
        float*         values;
        float*         best;
    };
    const int      team       = omp_in_parallel() ? 1 : omp_get_max_threads();
    const uint32_t nodes      = subtree_end_[root] - root;
    const uint32_t open_above = team > 1 ? nodes / (kOpenShare * uint32_t(team)) : nodes;
    ArenaScope     scope(ThreadVectorArena());
    std::vector<Opened>     opened;  // in pre-order
    std::vector<SubgameJob> jobs;
    auto opens = [&](uint32_t node) {
        return tree_.Node(node).IsDecision() &&
               (subtree_end_[node] - node > open_above ||
                terminal_count_[node] > uint32_t(pass.eval_cap));
    };
    auto open = [&](auto& self, uint32_t index, const float* r, float* v, float* b) -> void {
        const size_t k = opened.size();
        opened.push_back({OpenDecision(pass, index, runout, r, b != nullptr, false), r, v, b});
        const auto children = tree_.Children(index);
        for (size_t a = 0; a < children.size(); ++a) {
            const OpenedDecision& d = opened[k].decision;  // the vector grows while opening
            if (!(d.live >> a & 1))
                continue;
            if (opens(children[a]))
                self(self, children[a], d.child_reach[a], d.child_values[a], d.child_best[a]);
            else
                jobs.push_back({children[a], runout, d.child_reach[a], d.child_values[a],
                                d.child_best[a], nullptr});
        }
    };
    open(open, root, reach, values, best);

    if (team == 1 || jobs.size() < 2) {
        ArenaScope group_scope(ThreadVectorArena());
        RunJobGroup(pass, jobs);
    } else {
        RunGroupsOnTeam(pass, jobs, team);
    }
    for (size_t k = opened.size(); k-- > 0;) {
        const OpenedDecision& d = opened[k].decision;
        CloseDecision(pass, d.frame, d.child_values, d.child_best, runout, opened[k].reach,
                      opened[k].values, opened[k].best, nullptr);
    }
}

void CfrEngine::RunGroupsOnTeam(PassState& pass, std::vector<SubgameJob>& jobs, int team) {
    std::vector<double>& cost = team_job_cost_[pass.traverser];
    cost.resize(tree_.Size(), 0.0);
    for (const SubgameJob& job : jobs)
        if (!(cost[job.node] > 0))
            cost[job.node] = subtree_end_[job.node] - job.node;
    std::stable_sort(jobs.begin(), jobs.end(), [&](const SubgameJob& x, const SubgameJob& y) {
        return cost[x.node] > cost[y.node];
    });
    const int groups = std::min(team, static_cast<int>(jobs.size()));
    std::vector<std::vector<SubgameJob>> group(groups);
    std::vector<double>                  expected(groups, 0.0);
    for (const SubgameJob& job : jobs) {
        const size_t g = std::min_element(expected.begin(), expected.end()) - expected.begin();
        group[g].push_back(job);
        expected[g] += cost[job.node];
    }

    std::vector<uint64_t> cycles(groups, 0);
#pragma omp parallel for schedule(static, 1) num_threads(groups)
    for (int g = 0; g < groups; ++g) {
        _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero, denormals-are-zero
        const uint64_t start = ReadCycleCounter();
        ArenaScope     group_scope(ThreadVectorArena());
        RunJobGroup(pass, group[g]);
        cycles[g] = ReadCycleCounter() - start;
    }
    LearnJobCosts(cost, group, expected, cycles);
}

// Costs stay in the units they started in: the subtrees of a group that took more than
// its expected share of the cycles cost more from now on, those of one that took less
// cost less.
void CfrEngine::LearnJobCosts(std::vector<double>& cost,
                              const std::vector<std::vector<SubgameJob>>& group,
                              const std::vector<double>& expected,
                              const std::vector<uint64_t>& cycles) {
    double all_cycles = 0, all_expected = 0;
    for (size_t g = 0; g < group.size(); ++g) {
        all_cycles += double(cycles[g]);
        all_expected += expected[g];
    }
    if (!(all_cycles > 0))
        return;
    for (size_t g = 0; g < group.size(); ++g) {
        const double share = double(cycles[g]) / all_cycles * all_expected / expected[g];
        for (const SubgameJob& job : group[g])
            cost[job.node] *= 1 + kCostSmoothing * (share - 1);
    }
}
