#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstring>

#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/ev_boost.h"
#include "solver/fold_values.h"
#include "solver/showdown_values.h"
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

bool AnyPositive(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (v[i] > 0)
            return true;
    return false;
}

}  // namespace

CfrEngine::PassState CfrEngine::NewPass(int traverser, bool update) {
    const EngineSettings& settings = State().settings;
    task_list_.clear();
    PassState pass{.tasks = task_list_, .task_data = task_data_};
    pass.traverser                = traverser;
    pass.update                   = update;
    pass.kernels                  = &KernelsFor(SimdPathFor(settings.avx512));
    pass.regret_scale             = RegretScale();
    pass.regret_update.iteration  = iteration_;
    pass.regret_update.adaptive   = settings.adaptive_precision;
    pass.regret_update.precision  = settings.precision;
    pass.average_weight           = AveragingWeight() * average_scale_[1 - traverser];
    pass.river_averages           = settings.river_strategy;
    pass.river_strategy           = settings.river_strategy;
    pass.width                    = runouts_.Root().Size();
    pass.rake                     = {State().tree.params.rake_fraction, State().tree.params.rake_cap};

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

    std::vector<float> values(pass.width, 0.0f), best(pass.width, 0.0f);
    const float*       reach = root_reach_[1 - traverser].data();
    float*             best_out = update ? nullptr : best.data();
    if (base < 3) {
        pass.phase = 0;
        Sweep(pass, 0, root, reach, values.data(), best_out);
        pass.phase = 1;
        RunTasks(pass);
        pass.phase = 2;
    }
    Sweep(pass, 0, root, reach, values.data(), best_out);

    double ev = 0, br = 0;
    for (int i = 0; i < pass.width; ++i) {
        ev += root_weight_[traverser][i] * values[i];
        br += root_weight_[traverser][i] * best[i];
    }
    return {update ? ev : br, ev};
}

void CfrEngine::RunTasks(PassState& pass) {
    const int task_count = static_cast<int>(pass.tasks.size());
#pragma omp parallel for schedule(dynamic, 1)
    for (int t = 0; t < task_count; ++t) {
        const Task& task = pass.tasks[t];
        if (!task.reachable)
            continue;
        // Worker threads need flush-to-zero and denormals-are-zero as the interpreter
        // thread has them: denormal values slow every vector operation down.
        _mm_setcsr(_mm_getcsr() | 0x8040);
        float* base = pass.task_data.data() + task.offset;
        Sweep(pass, task.node, task.runout, base, base + pass.width,
              pass.update ? nullptr : base + 2 * pass.width);
    }
}

void CfrEngine::Sweep(PassState& pass, uint32_t index, const Runout& runout, const float* reach,
                      float* values, float* best) {
    const BuiltNode& node = tree_.Node(index);
    const bool deals = (node.kind == kDecisionNode && node.street > runout.street) ||
                       (node.kind == kShowdownEnd && runout.street < 3);
    if (deals)
        return SweepDealt(pass, index, runout, reach, values, best);
    if (node.kind == kDecisionNode)
        return SweepDecision(pass, index, runout, reach, values, best);
    if (pass.Collecting(runout, tree_.BaseStreet()))
        return;
    SweepTerminal(pass, index, runout, reach, values);
    if (best)
        std::memcpy(best, values, sizeof(float) * runout.Size());
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
    const int base = tree_.BaseStreet();
    const StrengthGroups& groups = base == 3 ? runouts_.Strength(-1, -1)
                                   : base == 2 ? runouts_.Strength(0, runout.river_slot)
                                               : runouts_.Strength(runout.turn_slot, runout.river_slot);
    const float rate = raked ? RakeRate(rake, stake) : 0.0f;
    ShowdownValues(kernels, groups, nullptr, {reach, values, stake, rate}, scratch);
}

void CfrEngine::SweepDealt(PassState& pass, uint32_t index, const Runout& runout,
                           const float* reach, float* values, float* best) {
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
        for (const DealtCard& deal : deals) {
            Runout child = runout;
            child.street = runout.street + 1;
            (turn_deal ? child.turn_slot : child.river_slot) = deal.slot;
            child.list = turn_deal ? &runouts_.Turn(deal.slot)
                                   : &runouts_.River(base == 1 ? runout.turn_slot : 0, deal.slot);
            const size_t offset      = pass.TaskOffset();
            float*       child_reach = pass.task_data.data() + offset;
            for (int j = 0; j < child.Size(); ++j)
                child_reach[j] = reach[child.list->parent[j]];
            pass.tasks.push_back({index, child, offset, AnyPositive(child_reach, child.Size())});
        }
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
        const uint16_t* parent = child.list->parent.data();
        const int       m      = child.Size();
        ArenaScope      scope(arena);
        const float*    child_values;
        const float*    child_best = nullptr;
        if (task_edge) {
            const Task& task = pass.tasks[pass.cursor++];
            if (!task.reachable)
                continue;
            const float* base_ptr = pass.task_data.data() + task.offset;
            child_values          = base_ptr + width;
            child_best            = best ? base_ptr + 2 * width : nullptr;
        } else {
            float* child_reach = arena.Zeroed(width);
            for (int j = 0; j < m; ++j)
                child_reach[j] = reach[parent[j]];
            if (!AnyPositive(child_reach, m))
                continue;
            float* v = arena.Zeroed(width);
            float* b = best ? arena.Zeroed(width) : nullptr;
            Sweep(pass, index, child, child_reach, v, b);
            child_values = v;
            child_best   = b;
        }
        const float weight = deal.weight;
        for (int j = 0; j < m; ++j)
            values[parent[j]] += weight * child_values[j];
        if (best)
            for (int j = 0; j < m; ++j)
                best[parent[j]] += weight * child_best[j];
        // The cards this one stands for: their values are these with two suits exchanged.
        for (const std::vector<uint16_t>* image : deal.images) {
            const uint16_t* swap = image->data();
            for (int j = 0; j < m; ++j)
                values[swap[parent[j]]] += weight * child_values[j];
            if (best)
                for (int j = 0; j < m; ++j)
                    best[swap[parent[j]]] += weight * child_best[j];
        }
    }
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

void CfrEngine::SweepDecision(PassState& pass, uint32_t index, const Runout& runout,
                              const float* reach, float* values, float* best) {
    const BuiltNode&     node       = tree_.Node(index);
    const auto           children   = tree_.Children(index);
    const int            actions    = static_cast<int>(children.size());
    const int            n          = runout.Size();
    const int            width      = pass.width;
    const bool           collecting = pass.Collecting(runout, tree_.BaseStreet());
    const SolverKernels& k          = *pass.kernels;
    StrategyStore*       regrets    = RegretStore(index);
    StrategyStore*       averages   = AverageStore(index);
    const int            slot       = StorageSlot(node.street, runout);
    VectorArena&         arena      = ThreadVectorArena();
    ArenaScope           scope(arena);

    // A node whose street's storage was forgotten plays uniformly and learns nothing.
    const size_t stride   = regrets ? regrets->Layout().RowStride() : static_cast<size_t>(width);
    float*       strategy = arena.Allocate(stride * actions);
    const StrategyStore* source = UsesAverage(pass, node) && averages ? averages : regrets;
    if (source)
        source->PlayedStrategy(slot, k, strategy, stride);
    else
        std::fill(strategy, strategy + stride * actions, 1.0f / actions);

    float* child_values[kMaxActions];
    float* child_best[kMaxActions];
    float* child_reach[kMaxActions];
    for (int a = 0; a < actions; ++a) {
        child_values[a] = arena.Zeroed(width);
        child_best[a]   = best ? arena.Zeroed(width) : nullptr;
    }

    const bool traverser = node.player == pass.traverser;
    if (traverser) {
        for (int a = 0; a < actions; ++a)
            Sweep(pass, children[a], runout, reach, child_values[a], child_best[a]);
    } else {
        for (int a = 0; a < actions; ++a) {
            child_reach[a]  = arena.Zeroed(width);
            bool reachable  = k.ReachProduct(reach, strategy + a * stride, n, child_reach[a]);
            if (reachable)
                Sweep(pass, children[a], runout, child_reach[a], child_values[a], child_best[a]);
            else
                child_reach[a] = nullptr;
        }
    }
    if (collecting)
        return;

    if (pass.update && node.ev_boost != 0)
        for (int a = 0; a < actions; ++a)
            ApplyEvBoost(ReturnKind(tree_.Node(children[a]), node), node.ev_boost,
                         child_values[a], n);

    if (traverser) {
        k.WeightedValueSum(strategy, stride, child_values, actions, n, values);
        if (pass.update && regrets) {
            RegretUpdate update = pass.regret_update;
            update.scale        = pass.regret_scale;
            regrets->UpdateRegrets(slot, k, child_values, values, update);
        } else if (!pass.update) {
            k.ValueMax(child_best, actions, n, best);
            if (!regrets)
                return;
            const LockTable& locks = regrets->Locks();
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
        }
        return;
    }
    k.ValueSum(child_values, actions, n, values);
    if (best)
        k.ValueSum(child_best, actions, n, best);
    const bool river_ok = node.street < 3 || pass.river_averages;
    if (pass.update && averages && pass.average_weight > 0 && river_ok) {
        const float* rows[kMaxActions];
        for (int a = 0; a < actions; ++a)
            rows[a] = child_reach[a];
        averages->AccumulateAverage(slot, k, rows, pass.average_weight);
    }
}
