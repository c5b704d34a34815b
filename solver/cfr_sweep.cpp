// One pass of the CFR engine over the tree: the first street swept on the calling thread,
// the subgame tasks below it handed to the team (cfr_tasks.cpp), and the recursive sweep of
// decisions, dealt cards and terminal ends that both run.
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "cli/solver_state.h"
#include "net/workers.h"
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
