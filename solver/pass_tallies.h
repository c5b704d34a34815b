// The strategy statistics one result pass counts for its traverser (stats_tally.h: counts
// by threshold bin, so that show_stats answers any threshold from the last passes of a
// run without a walk of its own).
//
// The pass carries the traverser's own reach beside the opponent's: the product with the
// traverser's strategy at its own decisions, gathered like the opponent's reach where a
// card is dealt. Each decision of the traverser the pass sweeps counts with its action
// values (CountDecision); a subtree the opponent does not reach, which the pass does not
// enter, counts from its strategies alone (CountUnreachedDecision), so that every stored
// instance counts once, as in the statistics walk.
//
// Units are the walk's: the own reach starts as the traverser's range, the opponent's is
// the pass's root reach (its range scaled to a fixed mass), and the reach weights are
// scaled back to the opponent's range at the end (CountScale).
//
// Each thread counts into counts of its own (the first street, swept before and after the
// subgame tasks, on the calling thread); the counts are integers, so their sum does not
// depend on the thread count or on which thread ran which task.
#pragma once

#include <vector>

#include "solver/decision_tally.h"
#include "solver/solver_kernels.h"
#include "solver/stats_tally.h"
#include "solver/vector_arena.h"

// Where a swept subtree's decisions count: the traverser's own reach over the runout's
// list (the pass's vector width, 0 past the list), the runout's chance weight, the counts.
struct StatsLane {
    const float* own    = nullptr;
    double       chance = 1;
    StatsCounts* counts = nullptr;
};

class PassTallies {
public:
    // 'range' the traverser's range by combo, 'root_combos' the root list's combos.
    PassTallies(const std::vector<double>& range, const std::vector<uint16_t>& root_combos,
                int width, const CountScale& scale);

    const std::vector<double>& Range() const { return range_; }
    const CountScale&          Scale() const { return scale_; }

    // Lanes count into the calling thread's counts.
    StatsLane RootLane();

    // Subgame tasks: AddEdge keeps the own reach (n entries) at a node whose dealt cards
    // become tasks and returns the edge's number; AddTask records the next task (tasks
    // are added in the pass's task order) below 'edge', with the keep masks of its list
    // (solver_kernels.h, GatherKept) and its chance weight. TaskLane gathers the task's own
    // reach into a vector of the calling thread's arena, valid while the caller's scope
    // lasts.
    int       AddEdge(const float* own, int n);
    void      AddTask(int edge, const uint16_t* keep, double chance);
    StatsLane TaskLane(int task, const SolverKernels& kernels, VectorArena& arena);

    // Every thread's counts added, taken out of the tallies (they count nothing more).
    StatsCounts TakeTotals();

private:
    StatsCounts& ThreadCounts();

    const std::vector<double>& range_;
    CountScale                 scale_;
    int                        width_;
    struct TaskRecord {
        int             edge;
        const uint16_t* keep;
        double          chance;
    };

    std::vector<float>              root_own_;
    std::vector<std::vector<float>> edge_own_;
    std::vector<TaskRecord>         tasks_;
    std::vector<StatsCounts>   per_thread_;
};
