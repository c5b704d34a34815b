#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <thread>

#include "cli/solver_state.h"
#include "net/workers.h"
#include "platform/numa_nodes.h"
#include "solver/cfr_engine.h"
#include "solver/averaging_schedule.h"
#include "solver/cfr_pass_state.h"
#include "solver/ev_boost.h"
#include "solver/fold_values.h"
#include "solver/showdown_values.h"
#include "solver/strategy_stats.h"
#include "solver/terminal_scratch.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

namespace {

BoostedReturn ReturnKind(const BuiltNode& child, const BuiltNode& parent) {
    if (child.kind == kShowdownEnd)
        return BoostedReturn::kShowdownEnd;
    if (child.kind == kFoldEnd)
        return BoostedReturn::kFoldEnd;
    return child.street > parent.street ? BoostedReturn::kLaterStreetDecision
                                        : BoostedReturn::kSameStreetDecision;
}

// The chance weight of a dealt runout, as the statistics walk weighs it: the card's weight
// and the street's chance factor, times the cards it stands for under suit isomorphism.
double DealtChance(const StatsLane& lane, const DealtCard& deal, double factor) {
    return lane.chance * deal.weight * static_cast<float>(factor) * (1.0 + deal.images.size());
}

}  // namespace

bool DealsNextCard(const BuiltNode& node, const Runout& runout) {
    return (node.kind == kDecisionNode && node.street > runout.street) ||
           (node.kind == kShowdownEnd && runout.street < kRiver);
}

CfrEngine::PassState CfrEngine::NewPass(int traverser, bool update) {
    const EngineSettings& settings = State().settings;
    task_list_.clear();
    StartKeepingValues(update);
    PassState pass{.tasks = task_list_, .task_data = task_data_};
    pass.traverser                = traverser;
    pass.update                   = update;
    pass.kernels                  = &KernelsFor(SimdPathFor(settings.avx512));
    pass.regret_scale             = RegretScale();
    pass.regret_update.iteration  = iteration_;
    pass.regret_update.adaptive   = settings.adaptive_precision;
    pass.regret_update.precision  = settings.precision;
    pass.average_weight           = AveragingWeight() * average_scale_[1 - traverser];
    pass.river_strategy           = settings.river_strategy;
    pass.width                    = runouts_.Root().Size();
    pass.rake                     = {State().tree.params.rake_fraction, State().tree.params.rake_cap};
    pass.fold_width               = std::clamp(settings.simd_level, 1, kMaxBatchLanes);
    pass.showdown_width = pass.rake.Enabled() ? std::min(pass.fold_width, 4) : pass.fold_width;
    pass.eval_mode      = settings.eval_mode;
    pass.eval_cap       = settings.eval_cap;
    pass.alt1           = settings.eval_alt1;
    pass.counters       = settings.perf_counters ? &State().solver.batch_counters : nullptr;
    pass.prefetch_mode  = settings.prefetch_mode;
    // Batching works on the plain storage forms only: storage parameters (0, 0) or (0, 3).
    const StorageParameters storage = TreeStorageParameters();
    pass.storage_allows = storage.first == 0 && (storage.second == 0 || storage.second == 3);
    pass.river_averages =
        settings.river_strategy && RiverAveragesThisIteration(iteration_, averaging_delay_, storage.second);

    return pass;
}

std::pair<double, double> CfrEngine::Pass(int traverser, bool update) {
    std::lock_guard lock(tree_mutex_);
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero, denormals-are-zero
    const int base = tree_.BaseStreet();

    PassState pass = NewPass(traverser, update);
    pass.task_street = base + 1;
    Runout root;
    root.street    = base;
    root.turn_slot = base == 2 ? 0 : -1;
    root.list      = &runouts_.Root();

    // Tasks that may run on workers keep their vectors until all are back; those run here
    // hold a buffer only while they run (streamed). The task buffer takes its largest size
    // once: growing it by doubling would leave up to half of it unused and hold the old and
    // new copies at once while it grows.
    if (base == 1 && WorkersConnected()) {
        const size_t floats = size_t(TaskCapacity()) * pass.TaskFloats();
        if (task_data_.size() < floats)
            task_data_.resize(floats);
    } else if (base < 3) {
        pass.buffers = &task_buffers_;
    }
    if (base < 3) {
        // Sized at once: grown by doubling, the edges' reach and the task list would hold
        // up to twice their size, and leave the smaller copies behind in the heap.
        const size_t edges = size_t(TaskEdges());
        pass.edges.reserve(edges);
        pass.edge_reach.reserve(edges * size_t(pass.width));
        pass.tasks.reserve(edges * size_t(TaskDeals()));
    }

    std::optional<PassTallies> tallies;
    if (CountsStatistics(pass)) {
        tallies.emplace(tree_.Range(traverser), root.list->combo, pass.width,
                        StatsCountScale(*this, traverser));
        pass.tallies = &*tallies;
    }
    const StatsLane    root_lane = tallies ? tallies->RootLane() : StatsLane{};
    const StatsLane*   lane      = tallies ? &root_lane : nullptr;
    std::vector<float> values(pass.width, 0.0f), best(pass.width, 0.0f);
    const float*       reach = root_reach_[1 - traverser].data();
    float*             best_out = update ? nullptr : best.data();
    if (base < 3) {
        pass.phase = 0;
        Sweep(pass, 0, root, reach, values.data(), best_out, lane);
        pass.phase = 1;
        pass.remote = !pass.buffers && RunTasksOnWorkers(pass);
        if (!pass.remote)
            RunTasks(pass);
        if (!pass.buffers)
            CombineEdges(pass);
        pass.phase = 2;
    }
    Sweep(pass, 0, root, reach, values.data(), best_out, lane);
    if (tallies)
        KeepPassStatistics(pass);

    double ev = 0, br = 0;
    for (int i = 0; i < pass.width; ++i) {
        ev += root_weight_[traverser][i] * values[i];
        br += root_weight_[traverser][i] * best[i];
    }
    return {update ? ev : br, ev};
}

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

// A streamed pass holds a buffer for every task that has finished before a card of its
// edge that comes earlier: when one thread stalls in a long item (or is descheduled), the
// others run ahead and their tasks wait, up to 219 buffers seen on a loaded machine. So a
// thread that would start an item while the pass holds buffers_per_thread_ buffers per
// thread or more waits until the earlier items still in progress are done. The earliest
// item never waits, so the pass always moves on; the sums are added in card order as
// before, so waiting changes no figure.
void CfrEngine::RunTaskList(PassState& pass, const std::vector<int>& order) {
    constexpr int kIdle = std::numeric_limits<int>::max();
    const int     count = static_cast<int>(order.size());
    const int     team  = omp_get_max_threads();
    const size_t  cap   = size_t(std::max(buffers_per_thread_, 0)) * size_t(team);
    // The item each thread has (started or waiting to start), or kIdle.
    std::vector<std::atomic<int>> current(static_cast<size_t>(team));
    for (std::atomic<int>& item : current)
        item.store(kIdle);
    auto earlier_running = [&](int k) {
        for (const std::atomic<int>& item : current)
            if (item.load(std::memory_order_acquire) < k)
                return true;
        return false;
    };
#pragma omp parallel
    {
        // Worker threads need flush-to-zero and denormals-are-zero as the interpreter
        // thread has them: denormal values slow every vector operation down.
        _mm_setcsr(_mm_getcsr() | 0x8040);
        std::atomic<int>& mine = current[size_t(omp_get_thread_num())];
#pragma omp for schedule(dynamic, 1)
        for (int k = 0; k < count; ++k) {
            mine.store(k, std::memory_order_release);
            while (pass.buffers && pass.buffers->Held() >= cap && earlier_running(k))
                std::this_thread::yield();
            if (k + 1 < count && order[k + 1] >= 0)
                PrefetchSubtree(pass, pass.tasks[order[k + 1]].node, pass.tasks[order[k + 1]].runout);
            RunTask(pass, order[k]);
            mine.store(kIdle, std::memory_order_release);
        }
    }
}

// Tasks are dealt to NUMA nodes by their runout slot, so that a slot's storage is always
// worked on from the same node; the team's threads are spread over the nodes (bound to
// them in mode 1; mode 2 runs the same split on any machine). A thread whose node has no
// tasks left helps the other nodes.
void CfrEngine::TraverseSubgamesNUMA(PassState& pass, const std::vector<int>& order, int nodes) {
    std::vector<std::vector<int>> lists(nodes);
    for (int t : order) {
        const Runout& runout = pass.FirstTask(t).runout;
        const int     slot   = runout.street == 3 ? runout.river_slot : runout.turn_slot;
        lists[std::max(slot, 0) % nodes].push_back(t);
    }
    std::vector<std::atomic<size_t>> next(nodes);
    const bool bind = State().settings.numa_mode == 1;
#pragma omp parallel
    {
        _mm_setcsr(_mm_getcsr() | 0x8040);
        const int home = omp_get_thread_num() % nodes;
        if (bind)
            RunOnNumaNode(home);
        for (int step = 0; step < nodes; ++step) {
            const int node = (home + step) % nodes;
            for (;;) {
                const size_t k = next[node].fetch_add(1, std::memory_order_relaxed);
                if (k >= lists[node].size())
                    break;
                if (k + 1 < lists[node].size() && lists[node][k + 1] >= 0)
                    PrefetchSubtree(pass, pass.tasks[lists[node][k + 1]].node,
                                    pass.tasks[lists[node][k + 1]].runout);
                RunTask(pass, lists[node][k]);
            }
        }
    }
}

void CfrEngine::Sweep(PassState& pass, uint32_t index, const Runout& runout, const float* reach,
                      float* values, float* best, const StatsLane* lane) {
    const BuiltNode& node = tree_.Node(index);
    if (DealsNextCard(node, runout))
        return SweepDealt(pass, index, runout, reach, values, best, lane);
    if (node.kind == kDecisionNode) {
        if (SplitsRiverRoot(pass, index))
            return SweepRiverInGroups(pass, index, runout, reach, values, best);
        if (runout.street == 3 && BatchCandidate(index, pass.eval_cap))
            return SweepRiverSubtree(pass, index, runout, reach, values, best, lane);
        return SweepDecision(pass, index, runout, reach, values, best, lane);
    }
    if (pass.Collecting(runout, tree_.BaseStreet()))
        return;
    SweepTerminal(pass, index, runout, reach, values);
    if (best)
        std::memcpy(best, values, sizeof(float) * runout.Size());
}

const StrengthGroups& CfrEngine::StrengthOf(const Runout& runout) const {
    const int base = tree_.BaseStreet();
    return base == 3   ? runouts_.Strength(-1, -1)
           : base == 2 ? runouts_.Strength(0, runout.river_slot)
                       : runouts_.Strength(runout.turn_slot, runout.river_slot);
}

void CfrEngine::SweepTerminal(PassState& pass, uint32_t index, const Runout& runout,
                              const float* reach, float* values) {
    const BuiltNode&     node    = tree_.Node(index);
    const SolverKernels& kernels = *pass.kernels;
    TerminalScratch&     scratch = ThreadTerminalScratch();
    const float          stake   = static_cast<float>(node.value);
    const RakeSettings&  rake    = pass.rake;
    const bool           raked   = rake.Enabled();
    if (node.kind == kFoldEnd) {
        const float payoff = node.player == pass.traverser ? -stake : stake;
        const float rate   = raked ? RakeRate(rake, payoff) : 0.0f;
        FoldValues(kernels, std::span(runout.list->cards), {reach, values, payoff, rate}, scratch);
        return;
    }
    const float        rate = raked ? RakeRate(rake, stake) : 0.0f;
    const ShowdownLane lane{reach, values, stake, rate};
    if (pass.alt1 && !raked)
        ShowdownValuesAlt1(kernels, StrengthOf(runout), nullptr, lane, scratch);
    else
        ShowdownValues(kernels, StrengthOf(runout), nullptr, lane, scratch);
}

void CfrEngine::SweepDealt(PassState& pass, uint32_t index, const Runout& runout,
                           const float* reach, float* values, float* best,
                           const StatsLane* lane) {
    const int  base       = tree_.BaseStreet();
    const bool task_edge  = runout.street == pass.task_street - 1 && pass.phase != 1;
    const bool turn_deal  = runout.street == 1;
    const auto deals      = turn_deal ? runouts_.TurnDeals()
                                      : runouts_.RiverDeals(base == 1 ? runout.turn_slot : 0);
    const double factor   = turn_deal ? runouts_.TurnChanceFactor() : runouts_.RiverChanceFactor();
    const int    n        = runout.Size();
    const int    width    = pass.width;
    VectorArena& arena    = ThreadVectorArena();

    if (task_edge && pass.phase == 0) {
        // The tasks gather their reach from this node's when they run, on the team.
        const int own_edge = lane ? pass.tallies->AddEdge(lane->own, n) : -1;
        const int edge     = static_cast<int>(pass.edges.size());
        pass.edges.push_back({pass.edge_reach.size(), n, pass.tasks.size(), deals, factor});
        pass.edge_reach.insert(pass.edge_reach.end(), reach, reach + n);
        const bool reached = AnyPositive(reach, n);
        for (const DealtCard& deal : deals) {
            Runout child = runout;
            child.street = runout.street + 1;
            (turn_deal ? child.turn_slot : child.river_slot) = deal.slot;
            child.list = turn_deal ? &runouts_.Turn(deal.slot)
                                   : &runouts_.River(base == 1 ? runout.turn_slot : 0, deal.slot);
            pass.tasks.push_back({index, child, pass.TaskOffset(), reached, edge});
            if (lane)
                pass.tallies->AddTask(own_edge, child.list->kept.data(), DealtChance(*lane, deal, factor));
        }
        return;
    }

    if (task_edge) {
        const float* summed = pass.EdgeValues(pass.edge_cursor++);
        std::copy_n(summed, n, values);
        if (best)
            std::copy_n(summed + width, n, best);
        return;
    }

    std::fill(values, values + n, 0.0f);
    if (best)
        std::fill(best, best + n, 0.0f);
    for (const DealtCard& deal : deals) {
        Runout child = runout;
        child.street = runout.street + 1;
        (turn_deal ? child.turn_slot : child.river_slot) = deal.slot;
        child.list = turn_deal ? &runouts_.Turn(deal.slot)
                               : &runouts_.River(base == 1 ? runout.turn_slot : 0, deal.slot);
        ArenaScope scope(arena);
        float*     child_reach = arena.Zeroed(width);
        pass.kernels->GatherKept(reach, child.list->kept.data(), n, child_reach);
        if (!AnyPositive(child_reach, child.Size())) {
            if (lane)
                CountUnreached(pass, index, child, *lane->counts);
            continue;
        }
        float*    v = arena.Zeroed(width);
        float*    b = best ? arena.Zeroed(width) : nullptr;
        StatsLane child_lane;
        if (lane) {
            float* own = arena.Zeroed(width);
            pass.kernels->GatherKept(lane->own, child.list->kept.data(), n, own);
            child_lane = {own, DealtChance(*lane, deal, factor), lane->counts};
        }
        Sweep(pass, index, child, child_reach, v, b, lane ? &child_lane : nullptr);
        AddDealtValues(*pass.kernels, deal, *child.list, n, v, b, values, best);
    }
    ScaleDealtValues(factor, n, values, best);
}

// The values of one dealt card's child (over its list) added, times the card's weight, to
// the parent's 'n' entries, and to those of the cards it stands for under isomorphism.
void CfrEngine::AddDealtValues(const SolverKernels& kernels, const DealtCard& deal,
                               const RunoutCombos& list, int n, const float* child_values,
                               const float* child_best, float* values, float* best) {
    const float     weight = deal.weight;
    const uint16_t* kept   = list.kept.data();
    const uint16_t* parent = list.parent.data();
    const int       m      = list.Size();
    kernels.ScatterKeptAdd(child_values, kept, n, weight, values);
    if (best)
        kernels.ScatterKeptAdd(child_best, kept, n, weight, best);
    // The cards this one stands for: their values are these with two suits exchanged.
    for (const std::vector<uint16_t>* image : deal.images) {
        const uint16_t* swap = image->data();
        for (int j = 0; j < m; ++j)
            values[swap[parent[j]]] = std::fma(weight, child_values[j], values[swap[parent[j]]]);
        if (best)
            for (int j = 0; j < m; ++j)
                best[swap[parent[j]]] = std::fma(weight, child_best[j], best[swap[parent[j]]]);
    }
}

void CfrEngine::ScaleDealtValues(double factor, int n, float* values, float* best) {
    const float scale = static_cast<float>(factor);
    for (int i = 0; i < n; ++i)
        values[i] *= scale;
    if (best)
        for (int i = 0; i < n; ++i)
            best[i] *= scale;
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

bool CfrEngine::UsesAverage(const PassState& pass, const BuiltNode& node) const {
    if (pass.update || iteration_ <= averaging_delay_)
        return false;
    return node.street < 3 || pass.river_strategy;
}

CfrEngine::DecisionFrame CfrEngine::BeginDecision(PassState& pass, uint32_t index,
                                                  const Runout& runout) {
    const BuiltNode& node = tree_.Node(index);
    DecisionFrame    frame;
    frame.index     = index;
    frame.actions   = static_cast<int>(node.child_count);
    frame.n         = runout.Size();
    frame.slot      = StorageSlot(node.street, runout);
    frame.traverser = node.player == pass.traverser;
    frame.regrets   = RegretStore(index);
    frame.averages  = AverageStore(index);
    frame.fused     = pass.update && frame.traverser && frame.regrets;
    // A node whose street's storage was forgotten plays uniformly and learns nothing.
    frame.stride = frame.regrets ? frame.regrets->Layout().RowStride() : static_cast<size_t>(pass.width);
    frame.source = UsesAverage(pass, node) && frame.averages ? frame.averages : frame.regrets;
    if (frame.fused && node.street == 3 && early_grouping_ > 0 && iteration_ <= early_grouping_)
        frame.early_groups = &StrengthOf(runout);
    // Fused updates compute their strategy themselves; at the opponent's nodes the store
    // turns its numbers into the children's reach directly (ChildReaches). The traverser's
    // other nodes need theirs only once the children are done (FinishDecision), unless the
    // pass counts statistics with it on the way down: taken then, the vectors of a whole
    // group of subtrees swept in batches would be held at once.
    if (frame.fused || (!frame.traverser && frame.source) || (frame.traverser && !pass.tallies))
        return frame;
    frame.strategy = PlayedStrategy(pass, frame);
    return frame;
}

float* CfrEngine::PlayedStrategy(const PassState& pass, const DecisionFrame& frame) const {
    float* strategy = ThreadVectorArena().Allocate(frame.stride * frame.actions);
    if (frame.source)
        frame.source->PlayedStrategy(frame.slot, *pass.kernels, strategy, frame.stride);
    else
        std::fill(strategy, strategy + frame.stride * frame.actions, 1.0f / frame.actions);
    return strategy;
}

uint64_t CfrEngine::ChildReaches(const PassState& pass, const DecisionFrame& frame,
                                 const float* reach, float* const* out) const {
    if (frame.source)
        return frame.source->ChildReach(frame.slot, *pass.kernels, reach, frame.n, out);
    uint64_t live = 0;
    for (int a = 0; a < frame.actions; ++a)
        if (pass.kernels->ReachProduct(reach, frame.strategy + a * frame.stride, frame.n, out[a]))
            live |= uint64_t(1) << a;
    return live;
}

void CfrEngine::FinishDecision(PassState& pass, const DecisionFrame& frame,
                               float* const* child_values, float* const* child_best,
                               float* values, float* best) {
    const BuiltNode&     node     = tree_.Node(frame.index);
    const int            actions  = frame.actions;
    const int            n        = frame.n;
    const int            slot     = frame.slot;
    const size_t         stride   = frame.stride;
    const SolverKernels& k        = *pass.kernels;

    if (pass.update && node.ev_boost != 0) {
        const auto children = tree_.Children(frame.index);
        for (int a = 0; a < actions; ++a)
            ApplyEvBoost(ReturnKind(tree_.Node(children[a]), node), node.ev_boost,
                         child_values[a], n);
    }

    if (frame.traverser) {
        if (frame.fused) {
            RegretUpdate update = pass.regret_update;
            update.scale        = pass.regret_scale;
            if (frame.early_groups)
                update.early_groups = {frame.early_groups->group_sizes, frame.early_groups->order};
            frame.regrets->FusedUpdate(slot, k, child_values, values, update);
            return;
        }
        ArenaScope   scope(ThreadVectorArena());
        const float* strategy = frame.strategy ? frame.strategy : PlayedStrategy(pass, frame);
        k.WeightedValueSum(strategy, stride, child_values, actions, n, values);
        if (pass.update || !frame.regrets) {
            if (!pass.update)
                k.ValueMax(child_best, actions, n, best);
            return;
        }
        k.ValueMax(child_best, actions, n, best);
        const LockTable& locks = frame.regrets->Locks();
        if (locks.Locked(slot))
            k.WeightedValueSum(strategy, stride, child_best, actions, n, best);
        else if (const uint32_t* skip = locks.SkipBits(slot))
            for (int i = 0; i < n; ++i)
                if (skip[i / 32] >> (i % 32) & 1) {
                    float sum = 0;
                    for (int a = 0; a < actions; ++a)
                        sum += strategy[a * stride + i] * child_best[a][i];
                    best[i] = sum;
                }
        return;
    }
    k.ValueSum(child_values, actions, n, values);
    if (best)
        k.ValueSum(child_best, actions, n, best);
}

// The averages of an opponent's node take its children's reach (null for the children
// nobody reaches) as soon as it is computed, while it is still in the first-level cache;
// nothing reads a node's averages during the update pass, so the moment does not matter.
void CfrEngine::AccumulateAverages(const PassState& pass, const DecisionFrame& frame,
                                   const float* const* next, uint64_t live) {
    const bool river_ok = tree_.Node(frame.index).street < 3 || pass.river_averages;
    if (!pass.update || !frame.averages || !(pass.average_weight > 0) || !river_ok)
        return;
    const float* child_reach[kMaxActions];
    for (int a = 0; a < frame.actions; ++a)
        child_reach[a] = live >> a & 1 ? next[a] : nullptr;
    frame.averages->AccumulateAverage(frame.slot, *pass.kernels, child_reach, pass.average_weight);
}

CfrEngine::OpenedDecision CfrEngine::OpenDecision(PassState& pass, uint32_t index,
                                                  const Runout& runout, const float* reach,
                                                  bool with_best, bool collecting) {
    VectorArena&   arena = ThreadVectorArena();
    const int      width = pass.width;
    OpenedDecision open{BeginDecision(pass, index, runout)};
    const int      actions = open.frame.actions;
    for (int a = 0; a < actions; ++a) {
        open.child_values[a] = arena.Zeroed(width);
        open.child_best[a]   = with_best ? arena.Zeroed(width) : nullptr;
    }
    if (open.frame.traverser) {
        for (int a = 0; a < actions; ++a)
            open.child_reach[a] = reach;
        open.live = actions < 64 ? (uint64_t(1) << actions) - 1 : ~uint64_t(0);
        return open;
    }
    float* next[kMaxActions];
    for (int a = 0; a < actions; ++a)
        open.child_reach[a] = next[a] = TailZeroed(arena, width, open.frame.n);
    open.live = ChildReaches(pass, open.frame, reach, next);
    if (!collecting)
        AccumulateAverages(pass, open.frame, next, open.live);
    return open;
}

void CfrEngine::CloseDecision(PassState& pass, const DecisionFrame& frame,
                              float* const* child_values, float* const* child_best,
                              const Runout& runout, const float* reach, float* values,
                              float* best, const StatsLane* lane) {
    FinishDecision(pass, frame, child_values, child_best, values, best);
    if (lane && frame.traverser)
        CountSweptDecision(pass, frame, runout, *lane, reach, child_values);
    if (!pass.update && runout.street < 3)
        KeepValues(pass, frame.index, frame.slot, runout, reach, values);
}

void CfrEngine::SweepDecision(PassState& pass, uint32_t index, const Runout& runout, const float* reach,
                              float* values, float* best, const StatsLane* lane) {
    const auto           children   = tree_.Children(index);
    const int            actions    = static_cast<int>(children.size());
    const bool           collecting = pass.Collecting(runout, tree_.BaseStreet());
    ArenaScope           scope(ThreadVectorArena());
    const OpenedDecision open = OpenDecision(pass, index, runout, reach, best != nullptr, collecting);
    const bool           traverser = open.frame.traverser;
    for (int a = 0; a < actions; ++a) {
        if (a + 1 < actions)
            PrefetchChild(pass, children[a + 1], runout);
        if (traverser) {
            const StatsLane own = lane ? OwnChildLane(pass, open.frame, *lane, a) : StatsLane{};
            Sweep(pass, children[a], runout, reach, open.child_values[a], open.child_best[a],
                  lane ? &own : nullptr);
        } else if (open.live >> a & 1) {
            Sweep(pass, children[a], runout, open.child_reach[a], open.child_values[a],
                  open.child_best[a], lane);
        } else if (lane && !collecting) {
            CountUnreached(pass, children[a], runout, *lane->counts);
        }
    }
    if (!collecting)
        CloseDecision(pass, open.frame, open.child_values, open.child_best, runout, reach, values,
                      best, lane);
}
