// The strategy statistics one result pass counts for its traverser, at threshold 0 and the
// thresholds asked before (stats_answer_cache.h), so that show_stats answers from the
// last passes of a run without a walk of its own.
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
// scaled back to the opponent's range at the end (StatsWeightScale).
//
// Each subgame task counts into tallies of its own and the rest of the pass (the first
// street, swept on one thread) into the root's; they are added in task order at the end,
// so the figures do not depend on the thread count or on which thread ran which task.
#pragma once

#include <vector>

#include "solver/decision_tally.h"
#include "solver/stats_tally.h"

// Where a swept subtree's decisions count: the traverser's own reach over the runout's
// list (the pass's vector width, 0 past the list), the runout's chance weight, the tallies.
struct StatsLane {
    const float*      own     = nullptr;
    double            chance  = 1;
    ThresholdTallies* tallies = nullptr;
};

class PassTallies {
public:
    // 'range' the traverser's range by combo, 'root_combos' the root list's combos,
    // 'weight_scale' what the reach weights are multiplied by at the end.
    PassTallies(const std::vector<double>& range, const std::vector<uint16_t>& root_combos,
                int width, double weight_scale, std::vector<double> epsilons,
                double starting_pot);

    const std::vector<double>&         Range() const { return range_; }
    const std::vector<StatsThreshold>& Thresholds() const { return thresholds_; }
    const std::vector<double>&         Epsilons() const { return epsilons_; }

    StatsLane RootLane();

    // Room for 'tasks' subgame tasks, so that recording them does not move the vectors.
    void      ReserveTasks(int tasks);
    // Records the next subgame task (tasks are added in the pass's task order): returns its
    // own reach vector (zeroed, the pass's width) to fill before the next call.
    float*    AddTask(double chance);
    StatsLane TaskLane(int task);

    // The figures at threshold 'threshold' (an index into Epsilons()): the root's tallies,
    // then every task's in task order; flop, turn, river and their total.
    StatsTallies Totals(int threshold) const;

private:
    const std::vector<double>&    range_;
    std::vector<double>           epsilons_;
    std::vector<StatsThreshold>   thresholds_;
    int                           width_;
    double                        weight_scale_;
    std::vector<float>            root_own_;
    ThresholdTallies              root_;
    std::vector<float>            task_own_;
    std::vector<double>           task_chance_;
    std::vector<ThresholdTallies> task_tallies_;
};
