// The subgame tasks of a pass: the river (or turn) runouts below the first street's
// nodes, ordered and grouped for the thread team, run with a bounded number of value
// buffers, and their values added back to their edges in card order.
#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include "cli/solver_state.h"
#include "platform/numa_nodes.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/task_buffers.h"
#include "tree/built_tree.h"

namespace {

// A streamed pass holds a buffer for every task that has finished before a card of its
// edge that comes earlier: when one thread stalls in a long item (or is descheduled), the
// others run ahead and their tasks wait, up to 219 buffers seen on a loaded machine. So a
// thread that would start an item while the pass holds its share of buffers per thread or
// more waits until the items before it (in the pass's order) still in progress are done.
// The earliest item in progress never waits, so the pass always moves on; the sums are
// added in card order as before, so waiting changes no figure.
class TaskPacer {
public:
    TaskPacer(TaskBuffers* buffers, int team, int buffers_per_thread)
        : buffers_(buffers),
          cap_(size_t(std::max(buffers_per_thread, 0)) * size_t(team)),
          current_(static_cast<size_t>(team)) {
        for (std::atomic<int>& item : current_)
            item.store(kIdle);
    }

    // Thread 'thread' is about to run item 'k' (its position in the pass's order).
    void Enter(int thread, int k) {
        current_[size_t(thread)].store(k, std::memory_order_release);
        while (buffers_ && buffers_->Held() >= cap_ && EarlierInProgress(k))
            std::this_thread::yield();
    }
    void Leave(int thread) { current_[size_t(thread)].store(kIdle, std::memory_order_release); }

private:
    static constexpr int kIdle = std::numeric_limits<int>::max();

    bool EarlierInProgress(int k) const {
        for (const std::atomic<int>& item : current_)
            if (item.load(std::memory_order_acquire) < k)
                return true;
        return false;
    }

    TaskBuffers* const            buffers_;
    const size_t                  cap_;
    std::vector<std::atomic<int>> current_;  // each thread's item, or kIdle
};

}  // namespace

// The nodes of the first street whose subtree deals the next street: the most edges one
// pass can record.
int CfrEngine::TaskEdges() const {
    const int base  = tree_.BaseStreet();
    int       edges = 0;
    for (uint32_t i = 1; i < tree_.Size(); ++i) {
        const BuiltNode& node = tree_.Node(i);
        if (node.parent_index == kNoParent || tree_.Node(node.parent_index).street != base)
            continue;
        edges += (node.kind == kDecisionNode && node.street > base) || node.kind == kShowdownEnd;
    }
    return edges;
}

// The cards each of those nodes deals.
int CfrEngine::TaskDeals() const {
    return static_cast<int>(tree_.BaseStreet() == 1 ? runouts_.TurnDeals().size()
                                                    : runouts_.RiverDeals(0).size());
}

// Every dealt card below those nodes: the most tasks one pass can record.
int CfrEngine::TaskCapacity() const { return TaskEdges() * TaskDeals(); }

// Tasks run largest first (a stable sort keeps equal sizes in tree order), so that the
// long subgames do not end up last on one thread while the others idle.
void CfrEngine::RunTasks(PassState& pass) {
    std::vector<int> order;
    order.reserve(pass.tasks.size());
    // A pass that counts statistics also counts the decisions below the tasks nobody
    // reaches (RunTask), on the team rather than on one thread in phase 2.
    for (int t = 0; t < static_cast<int>(pass.tasks.size()); ++t)
        if (pass.tasks[t].reachable || (pass.tallies && tree_.Node(pass.tasks[t].node).IsDecision()))
            order.push_back(t);
    StartStreaming(pass, order);
    RunTasksInOrder(pass, std::move(order));
}

// Runs the given tasks, largest first so that the dynamic loop ends evenly.
void CfrEngine::RunTasksInOrder(PassState& pass, std::vector<int> order) {
    GroupTasks(pass, order);
    const int numa_mode = State().settings.numa_mode;
    const int nodes     = numa_mode == 2 ? 2 : numa_mode == 1 ? NumaNodeCount() : 1;
    if (nodes >= 2)
        TraverseSubgamesNUMA(pass, order, nodes);
    else
        RunTaskList(pass, order);
}

std::vector<std::vector<int>> CfrEngine::PackByShowdowns(const PassState& pass,
                                                         const std::vector<uint32_t>& nodes) const {
    std::vector<int> order(nodes.size());
    std::iota(order.begin(), order.end(), 0);
    auto lanes = [&](int k) { return static_cast<int>(showdown_count_[nodes[k]]); };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return lanes(a) > lanes(b); });
    std::vector<std::vector<int>> groups;
    std::vector<int>              taken;  // showdown lanes per group
    for (int k : order) {
        size_t g = 0;
        while (g < groups.size() && taken[g] + lanes(k) > pass.showdown_width)
            ++g;
        if (g == groups.size()) {
            groups.emplace_back();
            taken.push_back(0);
        }
        groups[g].push_back(k);
        taken[g] += lanes(k);
    }
    return groups;
}

// A reached task on a river runout that is a showdown end, or a river subtree that the
// batched sweep would take whole.
bool CfrEngine::Groups(const PassState& pass, const Task& task) const {
    const BuiltNode& node = tree_.Node(task.node);
    if (!task.reachable || task.runout.street != 3)
        return false;
    return node.kind == kShowdownEnd ||
           (node.kind == kDecisionNode && node.street == 3 &&
            terminal_count_[task.node] <= uint32_t(pass.eval_cap));
}

// Orders the work items largest first (a stable sort keeps equal sizes in tree order).
// When batching is always on, the tasks of one river runout that are a single showdown
// end (all-in before the river) or a river subtree are grouped (pass.task_groups) so that
// their showdown ends fill one batch as nearly as they can (first fit, most ends first):
// the few ends of each are then evaluated in wide batches with those of the others.
void CfrEngine::GroupTasks(PassState& pass, std::vector<int>& order) const {
    pass.task_groups.clear();
    const bool grouping = pass.eval_mode == 3 && pass.storage_allows;
    constexpr int kRiverSlots = kMaxRunoutSlots / 49;  // river slots per turn slot
    std::vector<int> runout_list;
    std::vector<std::vector<int>> runouts;  // per river runout with such tasks, in task order
    if (grouping)
        runout_list.assign(size_t(kMaxRunoutSlots), -1);
    std::vector<int> items;
    items.reserve(order.size());
    for (int t : order) {
        const Task& task = pass.tasks[t];
        if (!grouping || !Groups(pass, task)) {
            items.push_back(t);
            continue;
        }
        const int key = std::max(task.runout.turn_slot, 0) * kRiverSlots + task.runout.river_slot;
        if (runout_list[key] < 0) {
            runout_list[key] = static_cast<int>(runouts.size());
            runouts.emplace_back();
        }
        runouts[runout_list[key]].push_back(t);
    }
    for (const std::vector<int>& list : runouts) {
        std::vector<uint32_t> nodes;
        for (int t : list)
            nodes.push_back(pass.tasks[t].node);
        for (const std::vector<int>& packed : PackByShowdowns(pass, nodes)) {
            pass.task_groups.emplace_back();
            items.push_back(-static_cast<int>(pass.task_groups.size()));
            for (int k : packed)
                pass.task_groups.back().push_back(list[k]);
        }
    }
    auto task_work = [&](int t) {
        const Task& task = pass.tasks[t];
        return uint64_t(subtree_end_[task.node] - task.node) * uint64_t(task.runout.Size());
    };
    auto work = [&](int item) {
        if (item >= 0)
            return task_work(item);
        uint64_t sum = 0;
        for (int t : pass.task_groups[-1 - item])
            sum += task_work(t);
        return sum;
    };
    std::vector<uint64_t> size(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        size[i] = work(items[i]);
    // Streamed passes take the cards in order, largest first within a card: a card's values
    // wait for those of the cards before it, so that taking them in order keeps few waiting.
    std::vector<size_t> card(items.size(), 0);
    if (pass.buffers)
        for (size_t i = 0; i < items.size(); ++i) {
            const Task& task = pass.FirstTask(items[i]);
            card[i] = size_t(&task - pass.tasks.data()) - pass.edges[task.edge].first_task;
        }
    std::vector<int> index(items.size());
    std::iota(index.begin(), index.end(), 0);
    std::stable_sort(index.begin(), index.end(), [&](int a, int b) {
        return card[a] != card[b] ? card[a] < card[b] : size[a] > size[b];
    });
    order.clear();
    for (int i : index)
        order.push_back(items[i]);
}

void CfrEngine::RunTask(PassState& pass, int t) {
    if (t < 0)
        return RunTaskGroup(pass, pass.task_groups[-1 - t]);
    Task&        task  = pass.tasks[t];
    VectorArena& arena = ThreadVectorArena();
    ArenaScope   scope(arena);
    const StatsLane lane  = pass.tallies ? pass.tallies->TaskLane(t, *pass.kernels, arena) : StatsLane{};
    float* const    reach = arena.Allocate(pass.width);
    if (!task.reachable || !LoadTaskReach(pass, task, reach)) {
        if (pass.tallies && tree_.Node(task.node).IsDecision())
            CountUnreached(pass, task.node, task.runout, *lane.counts);
        return CloseTask(pass, t);
    }
    OpenTask(pass, task);
    if (TurnGroupable(pass, task.node, task.runout))
        SweepTurnGrouped(pass, task.node, task.runout, reach, pass.TaskValues(task),
                         pass.TaskBest(task));
    else
        Sweep(pass, task.node, task.runout, reach, pass.TaskValues(task), pass.TaskBest(task),
              pass.tallies ? &lane : nullptr);
    CloseTask(pass, t);
}

bool CfrEngine::LoadTaskReach(const PassState& pass, Task& task, float* out) const {
    const int n = task.runout.Size();
    if (task.edge < 0) {
        std::copy_n(pass.TaskReach(task), n, out);
    } else {
        const PassState::Edge& edge = pass.edges[task.edge];
        pass.kernels->GatherKept(pass.edge_reach.data() + edge.offset, task.runout.list->kept.data(),
                                 edge.n, out);
    }
    std::fill(out + n, out + pass.width, 0.0f);
    task.reachable = AnyPositive(out, n);
    return task.reachable;
}

void CfrEngine::RunTaskList(PassState& pass, const std::vector<int>& order) {
    const int count = static_cast<int>(order.size());
    TaskPacer pacer(pass.buffers, omp_get_max_threads(), buffers_per_thread_);
#pragma omp parallel
    {
        // Worker threads need flush-to-zero and denormals-are-zero as the interpreter
        // thread has them: denormal values slow every vector operation down.
        _mm_setcsr(_mm_getcsr() | 0x8040);
        const int thread = omp_get_thread_num();
#pragma omp for schedule(dynamic, 1)
        for (int k = 0; k < count; ++k) {
            pacer.Enter(thread, k);
            if (k + 1 < count && order[k + 1] >= 0)
                PrefetchSubtree(pass, pass.tasks[order[k + 1]].node, pass.tasks[order[k + 1]].runout);
            RunTask(pass, order[k]);
            pacer.Leave(thread);
        }
    }
}

// Tasks are dealt to NUMA nodes by their runout slot, so that a slot's storage is always
// worked on from the same node; the team's threads are spread over the nodes (bound to
// them in mode 1; mode 2 runs the same split on any machine). A thread whose node has no
// tasks left helps the other nodes. The nodes' lists keep the pass's order, and threads
// are paced by their items' places in it as in RunTaskList.
void CfrEngine::TraverseSubgamesNUMA(PassState& pass, const std::vector<int>& order, int nodes) {
    std::vector<std::vector<int>> lists(nodes);  // places in 'order'
    for (int k = 0; k < static_cast<int>(order.size()); ++k) {
        const Runout& runout = pass.FirstTask(order[k]).runout;
        const int     slot   = runout.street == 3 ? runout.river_slot : runout.turn_slot;
        lists[std::max(slot, 0) % nodes].push_back(k);
    }
    std::vector<std::atomic<size_t>> next(nodes);
    const bool bind = State().settings.numa_mode == 1;
    TaskPacer  pacer(pass.buffers, omp_get_max_threads(), buffers_per_thread_);
#pragma omp parallel
    {
        _mm_setcsr(_mm_getcsr() | 0x8040);
        const int thread = omp_get_thread_num();
        const int home   = thread % nodes;
        if (bind)
            RunOnNumaNode(home);
        for (int step = 0; step < nodes; ++step) {
            const std::vector<int>& list = lists[(home + step) % nodes];
            std::atomic<size_t>&    own  = next[(home + step) % nodes];
            for (;;) {
                const size_t i = own.fetch_add(1, std::memory_order_relaxed);
                if (i >= list.size())
                    break;
                pacer.Enter(thread, list[i]);
                if (i + 1 < list.size() && order[list[i + 1]] >= 0)
                    PrefetchSubtree(pass, pass.tasks[order[list[i + 1]]].node,
                                    pass.tasks[order[list[i + 1]]].runout);
                RunTask(pass, order[list[i]]);
                pacer.Leave(thread);
            }
        }
    }
}

// Every task edge's dealt cards added up (in card order, one edge per thread at a time, so
// that the sums do not depend on the thread count), for phase 2 to take.
void CfrEngine::CombineEdges(PassState& pass) {
    const size_t floats = pass.EdgeFloats();
    const int    count  = static_cast<int>(pass.edges.size());
    pass.edge_values.resize(size_t(count) * floats);
    pass.edge_cursor = 0;
#pragma omp parallel for schedule(dynamic, 1)
    for (int e = 0; e < count; ++e) {
        _mm_setcsr(_mm_getcsr() | 0x8040);
        const PassState::Edge& edge   = pass.edges[e];
        float* const           values = pass.EdgeValues(e);
        float* const           best   = pass.update ? nullptr : values + pass.width;
        std::fill_n(values, edge.n, 0.0f);
        if (best)
            std::fill_n(best, edge.n, 0.0f);
        for (size_t k = 0; k < edge.deals.size(); ++k) {
            const Task& task = pass.tasks[edge.first_task + k];
            if (!task.reachable)  // counted by RunTask in a pass that counts statistics
                continue;
            AddDealtValues(*pass.kernels, edge.deals[k], *task.runout.list, edge.n,
                           pass.TaskValues(task), pass.TaskBest(task), values, best);
        }
        ScaleDealtValues(edge.factor, edge.n, values, best);
    }
}

void CfrEngine::StartStreaming(PassState& pass, const std::vector<int>& order) const {
    if (!pass.buffers)
        return;
    // Buffers are as wide as a result pass needs, so that update and result passes share them.
    pass.buffers->Start(pass.tasks.size(), 2 * size_t(pass.width));
    pass.edge_values.assign(pass.edges.size() * pass.EdgeFloats(), 0.0f);
    pass.edge_cursor = 0;
    pass.edge_locks  = std::vector<std::mutex>(pass.edges.size());
    pass.edge_next.assign(pass.edges.size(), 0);
    pass.task_done.assign(pass.tasks.size(), 1);
    for (int t : order)
        pass.task_done[t] = 0;
}

void CfrEngine::OpenTask(PassState& pass, Task& task) {
    if (pass.buffers)
        task.offset = pass.buffers->Acquire();
}

// The task is done: its edge's values take those of every done task from the next card
// on, up to the first card still running or waiting; the last card scales the sums.
void CfrEngine::CloseTask(PassState& pass, int t) {
    if (!pass.buffers)
        return;
    const int              e    = pass.tasks[t].edge;
    const PassState::Edge& edge = pass.edges[e];
    float* const           values = pass.EdgeValues(e);
    float* const           best   = pass.update ? nullptr : values + pass.width;
    std::lock_guard        lock(pass.edge_locks[e]);
    pass.task_done[t] = 1;
    size_t&      next  = pass.edge_next[e];
    const size_t cards = edge.deals.size();
    for (; next < cards && pass.task_done[edge.first_task + next]; ++next) {
        const Task& task = pass.tasks[edge.first_task + next];
        if (!task.reachable)
            continue;
        AddDealtValues(*pass.kernels, edge.deals[next], *task.runout.list, edge.n,
                       pass.TaskValues(task), pass.TaskBest(task), values, best);
        pass.buffers->Release(task.offset);
    }
    if (next == cards)
        ScaleDealtValues(edge.factor, edge.n, values, best);
}
