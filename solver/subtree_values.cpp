#include "solver/subtree_values.h"

#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <vector>

#include "cli/solver_state.h"
#include "solver/fold_values.h"
#include "solver/point_runouts.h"
#include "solver/query_point.h"
#include "solver/showdown_values.h"
#include "solver/terminal_scratch.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

namespace {

constexpr int kMaxLanes = 2;  // reach vectors carried through a chance node

// Sums per-deal results over the chance node after 'runout'. For each deal, 'child'
// gets the deal's runout, the reach vectors gathered into its list (null stays null),
// zeroed output vectors and the deal's chance (times the number of cards it stands for
// under suit isomorphism), and returns false when it skipped the deal; the outputs are
// added into 'out' with the deal weight, also through the deal's suit-swap images as the
// solver's sweep does, in deal order, and scaled by the chance factor at the end. The
// deals run on the team of the parallel runtime when no parallel region is active yet,
// each into its own buffer, and are added in deal order afterwards, so that the sums do
// not depend on the thread count.
template <class Child>
void SumOverDeals(const RunoutLists& lists, const Runout& runout, const float* const* reach,
                  int outputs, float* const* out, double chance, const Child& child) {
    const auto  deals    = DealsAfter(lists, runout);
    const float factor   = static_cast<float>(ChanceFactorAfter(lists, runout));
    const int   count    = static_cast<int>(deals.size());
    const bool  parallel = !omp_in_parallel() && count > 1;
    std::vector<Runout> children;
    for (const DealtCard& deal : deals)
        children.push_back(DealtRunout(lists, runout, deal));

    // One deal: gathers the reach into the child's list and runs 'child' into 'child_out'.
    std::vector<char> used(count, 0);
    auto run = [&](int d, float* const* child_out) {
        const Runout& next  = children[d];
        VectorArena&  arena = ThreadVectorArena();
        ArenaScope    scope(arena);
        const float*  gathered[kMaxLanes] = {};
        for (int k = 0; k < kMaxLanes; ++k) {
            if (!reach[k])
                continue;
            float* g = arena.Allocate(next.Size());
            for (int j = 0; j < next.Size(); ++j)
                g[j] = reach[k][next.list->parent[j]];
            gathered[k] = g;
        }
        const double stands_for = 1.0 + deals[d].images.size();  // cards merged into this one
        used[d] = child(next, gathered, child_out, chance * deals[d].weight * factor * stands_for);
    };
    // Output k of deal d, in 'results' (parallel) or in the arena (serial).
    std::vector<std::vector<float>> results(parallel ? count : 0);
    auto outputs_of = [&](int d, float** child_out) {
        const int m = children[d].Size();
        if (parallel && results[d].empty())
            results[d].assign(static_cast<size_t>(outputs) * m, 0.0f);
        for (int k = 0; k < outputs; ++k)
            child_out[k] = parallel ? results[d].data() + static_cast<size_t>(k) * m
                                    : ThreadVectorArena().Zeroed(m);
    };
    if (parallel) {
#pragma omp parallel for schedule(dynamic, 1)
        for (int d = 0; d < count; ++d) {
            _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero, denormals-are-zero
            float* child_out[kMaxLanes];
            outputs_of(d, child_out);
            run(d, child_out);
        }
    }
    for (int k = 0; k < outputs; ++k)
        std::fill(out[k], out[k] + runout.Size(), 0.0f);
    for (int d = 0; d < count; ++d) {
        ArenaScope scope(ThreadVectorArena());
        float*     child_out[kMaxLanes];
        outputs_of(d, child_out);
        if (!parallel)
            run(d, child_out);
        if (!used[d])
            continue;
        const uint16_t* parent = children[d].list->parent.data();
        const float     weight = deals[d].weight;
        for (int k = 0; k < outputs; ++k)
            for (int j = 0; j < children[d].Size(); ++j)
                out[k][parent[j]] += weight * child_out[k][j];
        // The cards this one stands for under suit isomorphism: the same outputs with two
        // suits exchanged.
        for (const std::vector<uint16_t>* image : deals[d].images) {
            const uint16_t* swap = image->data();
            for (int k = 0; k < outputs; ++k)
                for (int j = 0; j < children[d].Size(); ++j)
                    out[k][swap[parent[j]]] += weight * child_out[k][j];
        }
    }
    for (int k = 0; k < outputs; ++k)
        for (int i = 0; i < runout.Size(); ++i)
            out[k][i] *= factor;
}

// True when every decision of the subtree of 'index' holds storage.
bool SubtreeHasStorage(const BuiltTree& tree, uint32_t index) {
    const BuiltNode& node = tree.Node(index);
    if (node.IsDecision() && !node.strategy)
        return false;
    for (uint32_t child : tree.Children(index))
        if (!SubtreeHasStorage(tree, child))
            return false;
    return true;
}

}  // namespace

SubtreeWalk::SubtreeWalk(const CfrEngine& engine, int player)
    : engine_(engine), player_(player),
      kernels_(KernelsFor(SimdPathFor(State().settings.avx512))) {}

void SubtreeWalk::SetVisitor(std::function<void(const DecisionVisit&)> visitor) {
    visitor_ = std::move(visitor);
}

void SubtreeWalk::RequireStorage(uint32_t node) const {
    if (!SubtreeHasStorage(engine_.Tree(), node))
        throw StrategyUnavailable();
}

void SubtreeWalk::Values(uint32_t node, const Runout& runout, const float* own_reach,
                         const float* opponent_reach, float* values) const {
    _mm_setcsr(_mm_getcsr() | 0x8040);
    omp_set_num_threads(State().settings.Threads());
    Walk(node, runout, {visitor_ ? own_reach : nullptr, opponent_reach, values, 1.0});
}

void SubtreeWalk::Walk(uint32_t index, const Runout& runout, const Lane& lane) const {
    const BuiltNode& node  = engine_.Tree().Node(index);
    if (DealsNextCard(node, runout))
        WalkDealt(index, runout, lane);
    else if (node.IsDecision())
        WalkDecision(index, runout, lane);
    else
        WalkTerminal(index, runout, lane);
}

void SubtreeWalk::WalkDealt(uint32_t index, const Runout& runout, const Lane& lane) const {
    const float* reach[kMaxLanes] = {lane.own, lane.opponent};
    float*       out[1]           = {lane.values};
    SumOverDeals(engine_.Runouts(), runout, reach, 1, out, lane.chance,
                 [&](const Runout& child, const float* const* child_reach, float* const* child_out,
                     double chance) {
                     if (!visitor_ && !AnyPositive(child_reach[1], child.Size()))
                         return false;
                     Walk(index, child, {child_reach[0], child_reach[1], child_out[0], chance});
                     return true;
                 });
}

void SubtreeWalk::WalkDecision(uint32_t index, const Runout& runout, const Lane& lane) const {
    const BuiltNode& node     = engine_.Tree().Node(index);
    const auto       children = engine_.Tree().Children(index);
    const int        actions  = static_cast<int>(children.size());
    const int        n        = runout.Size();
    VectorArena&     arena    = ThreadVectorArena();
    ArenaScope       scope(arena);

    const size_t stride   = engine_.LayoutOf(index).RowStride();
    float*       strategy = arena.Allocate(stride * actions);
    if (!engine_.ReportedStrategy(index, runout, strategy, stride))
        std::fill(strategy, strategy + stride * actions, 1.0f / actions);

    float*     child_values[kMaxActions];
    const bool own = node.player == player_;
    for (int a = 0; a < actions; ++a) {
        child_values[a]  = arena.Zeroed(n);
        const float* row = strategy + a * stride;
        Lane         child{lane.own, lane.opponent, child_values[a], lane.chance};
        if (own && lane.own) {
            float* reach = arena.Allocate(n);
            kernels_.ReachProduct(lane.own, row, n, reach);
            child.own = reach;
        }
        if (!own) {
            float* reach    = arena.Allocate(n);
            bool   positive = kernels_.ReachProduct(lane.opponent, row, n, reach);
            if (!positive && !visitor_)
                continue;
            child.opponent = reach;
        }
        Walk(children[a], runout, child);
    }
    if (!own) {
        kernels_.ValueSum(child_values, actions, n, lane.values);
        return;
    }
    kernels_.WeightedValueSum(strategy, stride, child_values, actions, n, lane.values);
    if (visitor_)
        visitor_({index, &runout, lane.chance, actions, strategy, stride, child_values, lane.own,
                  lane.opponent});
}

void SubtreeWalk::WalkTerminal(uint32_t index, const Runout& runout, const Lane& lane) const {
    if (!AnyPositive(lane.opponent, runout.Size())) {  // unreached (statistics walks)
        std::fill(lane.values, lane.values + runout.Size(), 0.0f);
        return;
    }
    const BuiltNode&   node    = engine_.Tree().Node(index);
    TerminalScratch&   scratch = ThreadTerminalScratch();
    const TreeParams&  params  = State().tree.params;
    const RakeSettings rake{params.rake_fraction, params.rake_cap};
    const float        stake   = static_cast<float>(node.value);
    if (node.kind == kFoldEnd) {
        const float payoff = node.player == player_ ? -stake : stake;
        const float rate   = rake.Enabled() ? RakeRate(rake, payoff) : 0.0f;
        FoldValues(kernels_, std::span(runout.list->cards),
                   {lane.opponent, lane.values, payoff, rate}, scratch);
        return;
    }
    const float rate = rake.Enabled() ? RakeRate(rake, stake) : 0.0f;
    ShowdownValues(kernels_, StrengthOf(engine_.Runouts(), runout), nullptr,
                   {lane.opponent, lane.values, stake, rate}, scratch);
}

void CompatibleMass(const RunoutCombos& list, const float* reach, float* mass) {
    const SolverKernels& kernels = KernelsFor(SimdPathFor(State().settings.avx512));
    FoldValues(kernels, std::span(list.cards), {reach, mass, 1.0f, 0.0f}, ThreadTerminalScratch());
}

void ShowdownScores(const RunoutLists& lists, const Runout& runout, const float* reach,
                    float* scores, float* mass) {
    if (runout.street == kRiver) {
        const SolverKernels& kernels = KernelsFor(SimdPathFor(State().settings.avx512));
        ShowdownValues(kernels, StrengthOf(lists, runout), nullptr, {reach, scores, 1.0f, 0.0f},
                       ThreadTerminalScratch());
        CompatibleMass(*runout.list, reach, mass);
        return;
    }
    const float* lanes[kMaxLanes] = {nullptr, reach};
    float*       out[2]           = {scores, mass};
    SumOverDeals(lists, runout, lanes, 2, out, 1.0,
                 [&](const Runout& child, const float* const* child_reach, float* const* child_out,
                     double) {
                     ShowdownScores(lists, child, child_reach[1], child_out[0], child_out[1]);
                     return true;
                 });
}
