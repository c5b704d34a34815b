// The state of one pass over the tree, shared by the sweeps of the pass and the subgame
// tasks its worker threads run (cfr_sweep.cpp, cfr_batch_sweep.cpp, cfr_subgames.cpp).
// Built by CfrEngine::NewPass; private to the engine. Read-only while the pass's threads
// run, except the task buffers, which phase 0 fills on one thread.
#pragma once

#include <algorithm>
#include <mutex>
#include <span>
#include <vector>

#include "solver/batch_counters.h"
#include "solver/cfr_engine.h"
#include "solver/pass_tallies.h"
#include "solver/rake.h"
#include "solver/runout_lists.h"
#include "solver/solver_kernels.h"
#include "solver/strategy_store.h"
#include "solver/task_buffers.h"
#include "solver/vector_arena.h"

struct CfrEngine::PassState {
    int                  traverser = 0;
    bool                 update    = true;
    int                  phase     = 2;
    const SolverKernels* kernels   = nullptr;
    RegretUpdate         regret_update{};
    double               regret_scale   = 0;
    double               average_weight = 0;  // already times the opponent's average scale
    bool                 river_averages = true;
    bool                 river_strategy = true;
    int                  width          = 0;  // length of every vector: the root list size
    RakeSettings         rake{};

    // Terminal evaluation: batch widths (showdowns, folds), the batching rule's inputs,
    // the alternative single showdown kernel, the counters (null while disabled) and the
    // software prefetch mode.
    int            showdown_width = 16;
    int            fold_width     = 16;
    int            eval_mode      = 3;
    int            eval_cap       = 72;
    bool           alt1           = false;
    bool           storage_allows = true;
    BatchCounters* counters       = nullptr;
    int            prefetch_mode  = 0;

    std::vector<Task>&  tasks;      // the engine's, kept between passes
    // The nodes whose dealt cards phase 0 made tasks of: the reach there (n entries at
    // 'offset' in edge_reach), from which each task gathers its own when it runs; the
    // tasks (from first_task on, one per card of 'deals', in order) and the chance factor.
    // After phase 1 the team adds up each edge's task values (CombineEdges) into
    // edge_values, which phase 2 takes in the same order (edge_cursor).
    struct Edge {
        size_t                     offset;
        int                        n;
        size_t                     first_task;
        std::span<const DealtCard> deals;
        double                     factor;
    };
    std::vector<Edge>  edges{};
    std::vector<float> edge_reach{};
    std::vector<float> edge_values{};  // per edge: values, then best in result passes
    size_t             edge_cursor = 0;

    // Streamed passes (buffers set): a task takes a buffer when it runs, and its values are
    // added to its edge's sums as soon as those of the cards before it are (CloseTask);
    // per edge, the next card to add and a lock, and per task whether it is done.
    TaskBuffers*            buffers = nullptr;
    std::vector<std::mutex> edge_locks{};
    std::vector<size_t>     edge_next{};
    std::vector<uint8_t>    task_done{};
    float* EdgeValues(size_t e) { return edge_values.data() + e * EdgeFloats(); }

    size_t EdgeFloats() const { return TaskFloats(); }
    std::vector<float>& task_data;  // grows, never shrinks: no page faults per pass
    size_t              task_used = 0;
    // Tasks of one river runout that run as one work item, their terminal ends evaluated
    // together (RunTasks): work item -1 - g is group g.
    std::vector<std::vector<int>> task_groups{};
    // The task a work item starts with.
    const Task& FirstTask(int item) const {
        return tasks[item >= 0 ? item : task_groups[-1 - item].front()];
    }

    // A task's room: one vector for its values (a task a master sent holds its entering
    // reach there until it runs, edge -1), and in result passes a second one for its
    // best-response values. In the pass's buffer, or in streamed passes a buffer of their
    // own (task.offset is its id) while the task runs.
    size_t TaskFloats() const { return (update ? 1 : 2) * static_cast<size_t>(width); }
    float* TaskValues(const Task& task) const {
        return buffers ? buffers->Data(task.offset) : task_data.data() + task.offset;
    }
    float* TaskReach(const Task& task) const { return TaskValues(task); }
    float* TaskBest(const Task& task) const { return update ? nullptr : TaskValues(task) + width; }

    // Reserves room for one task (in the buffer, unless the pass is streamed).
    size_t TaskOffset() {
        if (buffers)
            return 0;
        const size_t floats = TaskFloats();
        if (task_used + floats > task_data.size())
            task_data.resize(std::max(task_data.size() * 2, task_used + floats));
        const size_t offset = task_used;
        task_used += floats;
        return offset;
    }

    // Statistics this result pass counts (null in update passes and in passes that do not
    // count them); 'remote' when workers ran some of its tasks, whose decisions it missed.
    PassTallies* tallies = nullptr;
    bool         remote  = false;

    // Tasks root at the cards that deal this street: the street after the tree's first
    // for a solving pass, a later one when the subgames of one street are re-solved.
    int task_street = 2;

    bool Collecting(const Runout& runout, int) const {
        return phase == 0 && runout.street < task_street;
    }
};

// A vector of 'width' floats whose entries from n on are 0: stores cover the root list,
// and entries past the runout's list must add nothing to them.
inline float* TailZeroed(VectorArena& arena, int width, int n) {
    float* v = arena.Allocate(width);
    std::fill(v + n, v + width, 0.0f);
    return v;
}

// A decision node between BeginDecision and FinishDecision.
struct CfrEngine::DecisionFrame {
    uint32_t       index     = 0;
    int            actions   = 0;
    int            n         = 0;  // combos of the runout
    int            slot      = 0;
    bool           traverser = false;
    bool           fused     = false;  // one fused regret update computes strategy and values
    StrategyStore* regrets   = nullptr;
    StrategyStore* averages  = nullptr;
    // Where the strategy comes from (regrets, or averages in a result pass); null when the
    // node's storage was forgotten and it plays uniformly.
    const StrategyStore* source   = nullptr;
    // Taken at the start only where the descent needs it: at the opponent's nodes that play
    // uniformly, and at the traverser's in passes that count statistics.
    float*               strategy = nullptr;
    // River regrets while the early grouping lasts: the runout's combos of equal strength.
    const StrengthGroups* early_groups = nullptr;
    size_t               stride   = 0;
};

// A decision node whose children are to be swept: its frame, each child's reach (the
// node's own at the traverser's nodes) and the vectors their values go to. 'live' has bit
// a set when child a is reached.
struct CfrEngine::OpenedDecision {
    DecisionFrame frame;
    const float*  child_reach[kMaxActions]  = {};
    float*        child_values[kMaxActions] = {};
    float*        child_best[kMaxActions]   = {};
    uint64_t      live = 0;
};

// The thread's working set of one batched subtree.
struct CfrEngine::BatchWork {
    struct Entry {
        const float*  reach  = nullptr;
        float*        values = nullptr;
        float*        best   = nullptr;
        bool          live   = false;  // reached with some positive reach
        bool          dealt  = false;  // a node that deals the river (turn sweeps only)
        DecisionFrame decision;
        StatsLane     lane;  // own reach and counts in passes that count statistics
    };
    uint32_t                root = 0;
    std::vector<Entry>      entries;  // by node index - root
    std::vector<PendingEnd> showdowns;
    std::vector<PendingEnd> folds;
    std::vector<uint32_t>   deals;  // turn sweeps: the nodes that deal the river, in order

    // Ready for the subtree at 'first' .. 'end' - 1: entries are filled when their node
    // is reached, so only the flags need resetting.
    void Start(uint32_t first, uint32_t end) {
        root = first;
        if (entries.size() < end - first)
            entries.resize(end - first);
        for (uint32_t i = 0; i < end - first; ++i)
            entries[i].live = entries[i].dealt = false;
        showdowns.clear();
        folds.clear();
        deals.clear();
    }
};
