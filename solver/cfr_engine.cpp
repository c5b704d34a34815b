#include "solver/cfr_engine.h"

#include <omp.h>

#include <algorithm>
#include <cmath>

#include "cli/progress_bar.h"
#include "cli/solver_state.h"
#include "solver/node_stores.h"
#include "solver/store_selection.h"
#include "solver/terminal_scratch.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"
#include "tree/storage_level.h"

namespace {

// Averages are accumulated as reach x weight x kAverageScale / (largest root reach), so
// that a combo arriving with full reach adds 2^16 units per unit of weight: the 16-bit
// blocks then halve their way to the range they need (average_storage.h).
constexpr double kAverageScale = 65536.0;

// The opponent's root reach sums to this mass. Regrets are integers that move only when a
// change reaches 1/s chips, so the reach must be large enough for the changes at rarely
// reached nodes to register; it must also stay small enough that the largest change,
// about 2 x (largest end value) x mass x s = 250 x mass at p = 0, keeps ten updates
// within the headroom of 16-bit regrets (see adaptive_precision.h).
constexpr double kRootReachMass = 32.0;

// Largest averaging weight of trees that start on the river: no cap.
constexpr double kUncappedWeight = 1.7976931348623157e308;

}  // namespace

CfrEngine::CfrEngine(BuiltTree& tree, const RunoutSetup& setup)
    : tree_(tree), runouts_(setup) {
    if (tree.BaseStreet() == 3) {
        alpha_      = 4.0;
        weight_cap_ = kUncappedWeight;
    }
    PrepareRootVectors();
    PrepareSpanTables();
    PrepareSubtreeFigures();
}

int CfrEngine::DecisionCount() const { return static_cast<int>(tree_.DecisionCount()); }

bool CfrEngine::Incomplete() const { return (tree_.flags & kIncompleteTree) != 0; }

double CfrEngine::RegretScale() const {
    const double largest = std::max(tree_.MaxAbsEndValue(), 1e-9);
    return 125.0 * std::exp2(State().settings.precision) / largest;
}

double CfrEngine::AveragingWeight() const {
    if (iteration_ <= averaging_delay_)
        return 0.0;
    return std::min(std::pow(iteration_ - averaging_delay_, alpha_), weight_cap_);
}

// Root reach: each player's weights over the root list, normalised to kRootReachMass. Root
// weight of a traverser combo c: w(c) * M / (Z * kRootReachMass), with M the opponent's total weight and Z the sum
// of w(c) * w(o) over all pairs of combos that share no card, so that the sum of root
// weight x root value is the expected payoff per deal.
void CfrEngine::PrepareRootVectors() {
    const RunoutCombos& root = runouts_.Root();
    const int           n    = root.Size();
    for (int p = 0; p < 2; ++p) {
        const auto& range = tree_.Range(p);
        double      total = 0;
        root_reach_[p].assign(n, 0.0f);
        for (int i = 0; i < n; ++i)
            total += std::max(range[root.combo[i]], 0.0);
        float largest = 0;
        for (int i = 0; i < n; ++i) {
            root_reach_[p][i] =
                total > 0 ? static_cast<float>(kRootReachMass * std::max(range[root.combo[i]], 0.0) / total)
                          : 0.0f;
            largest           = std::max(largest, root_reach_[p][i]);
        }
        average_scale_[p] = largest > 0 ? static_cast<float>(kAverageScale / largest) : 1.0f;
    }
    for (int p = 0; p < 2; ++p) {
        const int   o = 1 - p;
        const auto& wp = tree_.Range(p);
        const auto& wo = tree_.Range(o);
        double      card_mass[kCardCount] = {};
        double      opponent_mass         = 0;
        for (int i = 0; i < n; ++i) {
            const double w = std::max(wo[root.combo[i]], 0.0);
            card_mass[root.cards[i].first] += w;
            card_mass[root.cards[i].second] += w;
            opponent_mass += w;
        }
        std::vector<double> compatible(n);
        double              pair_mass = 0;
        for (int i = 0; i < n; ++i) {
            compatible[i] = opponent_mass - card_mass[root.cards[i].first] -
                            card_mass[root.cards[i].second] + std::max(wo[root.combo[i]], 0.0);
            pair_mass += std::max(wp[root.combo[i]], 0.0) * compatible[i];
        }
        root_weight_[p].assign(n, 0.0);
        if (pair_mass > 0)
            for (int i = 0; i < n; ++i)
                root_weight_[p][i] =
                    std::max(wp[root.combo[i]], 0.0) * opponent_mass / (pair_mass * kRootReachMass);
    }
}

StrategyStore* CfrEngine::RegretStore(uint32_t node) const {
    return StoreOf(tree_.Node(node).strategy.get());
}

StrategyStore* CfrEngine::AverageStore(uint32_t node) const {
    return StoreOf(tree_.Node(node).second.get());
}

RunoutLayout CfrEngine::LayoutOf(uint32_t index) const {
    const BuiltNode& node  = tree_.Node(index);
    const int        base  = tree_.BaseStreet();
    RunoutLayout     layout;
    layout.actions = static_cast<int>(node.child_count);
    layout.slots   = 1;
    if (node.street == 2 && base == 1)
        layout.slots = std::max(runouts_.TurnSlotCount(), 1);
    if (node.street == 3 && base < 3)
        layout.slots = std::max(runouts_.RiverSlotCount(), 1);
    layout.combos = runouts_.Root().Size();
    layout.spans  = span_tables_[node.street][node.player];
    return layout;
}

// Each street's storage slots with the lists they use, so that every node's store keeps
// its acting player's span of each slot's list. Slots numbered but never dealt keep
// nothing.
void CfrEngine::PrepareSpanTables() {
    const int base = tree_.BaseStreet();
    for (int player = 0; player < 2; ++player) {
        std::vector<ComboSpan> turns(std::max(runouts_.TurnSlotCount(), 1));
        std::vector<ComboSpan> rivers(std::max(runouts_.RiverSlotCount(), 1));
        if (base == 1)
            for (const DealtCard& turn : runouts_.TurnDeals())
                turns[runouts_.TurnStorageSlot(turn.slot)] = runouts_.Turn(turn.slot).span[player];
        const int turn_slots = base == 1 ? RunoutLists::kTurnSlotCount : base == 2 ? 1 : 0;
        for (int t = 0; t < turn_slots; ++t) {
            if (base == 1 && runouts_.TurnStorageSlot(t) < 0)
                continue;
            for (const DealtCard& river : runouts_.RiverDeals(t))
                rivers[runouts_.RiverStorageSlot(t, river.slot)] =
                    runouts_.River(t, river.slot).span[player];
        }
        span_tables_[base][player] =
            std::make_shared<const SpanTable>(std::vector{runouts_.Root().span[player]});
        if (base == 1)
            span_tables_[2][player] = std::make_shared<const SpanTable>(std::move(turns));
        if (base <= 2)
            span_tables_[3][player] = std::make_shared<const SpanTable>(std::move(rivers));
    }
}

int CfrEngine::StorageSlot(int street, const Runout& runout) const {
    const int base = tree_.BaseStreet();
    if (street == base)
        return 0;
    if (street == 2)
        return runouts_.TurnStorageSlot(runout.turn_slot);
    return runouts_.RiverStorageSlot(base == 1 ? runout.turn_slot : 0, runout.river_slot);
}

// A whole iteration holds the results mutex: result passes asked for on another thread
// (calc_results during a run) come between iterations, never between an iteration's two
// passes or their own two, so both players' figures belong to one set of strategies and
// to the iteration count they are stamped with.
void CfrEngine::Iterate(int threads) {
    std::lock_guard lock(results_mutex_);
    const int       freq = State().settings.info_freq;
    omp_set_num_threads(std::max(threads, 1));
    Pass(1, true);
    DrawProgressBar(iteration_ % freq + 1, 0, freq);
    Pass(0, true);
    DrawProgressBar(iteration_ % freq + 1, 1, freq);
    ++iteration_;
    tree_.flags &= ~kNewTree;
    TidyStores();
}

StorageParameters CfrEngine::TreeStorageParameters() const {
    return tree_.BaseStreet() == 1 ? StorageLevelParameters(State().tree.actual_level)
                                   : StorageParameters{};
}

// Between iterations no task holds a store: packed stores compact their memory, one
// node per thread. Storage levels without packed stores skip the walk (and the team's
// start, which on a small river tree costs as much as a tenth of an iteration).
void CfrEngine::TidyStores() {
    if (!PacksStores(TreeStorageParameters()))
        return;
    std::lock_guard lock(tree_mutex_);
    const int nodes = static_cast<int>(tree_.Size());
#pragma omp parallel for schedule(dynamic, 16)
    for (int i = 0; i < nodes; ++i)
        for (StrategyStore* store : {RegretStore(i), AverageStore(i)})
            if (store)
                store->Tidy();
}

void CfrEngine::InvalidateResults() {
    std::lock_guard lock(results_mutex_);
    cached_at_ = -1;
}

ResultFigures CfrEngine::Evaluate(int threads) {
    std::lock_guard lock(results_mutex_);
    if (cached_at_ == iteration_)
        return cached_;
    omp_set_num_threads(std::max(threads, 1));
    const uint64_t kept_from = WithTreeMutex([&] { return kept_values_.Generation(); });
    auto [mes_ip, ev_ip]     = Pass(1, false);
    auto [mes_oop, ev_oop]   = Pass(0, false);
    WithTreeMutex([&] { kept_values_.MarkComplete(kept_from); });
    cached_    = {ev_oop, ev_ip, mes_oop, mes_ip};
    cached_at_ = iteration_;
    return cached_;
}

std::optional<Runout> CfrEngine::RunoutOf(int street, int turn_card, int river_card) const {
    const int      base  = tree_.BaseStreet();
    const uint64_t board = tree_.Board().Mask();
    Runout         runout;
    runout.street = street;
    runout.list   = &runouts_.Root();
    if (street == base) {
        runout.turn_slot = base == 2 ? 0 : -1;
        return runout;
    }
    auto dealt = [](std::span<const DealtCard> deals, int card) {
        for (const DealtCard& deal : deals)
            if (deal.card == card)
                return deal.slot;
        return -1;
    };
    if (base == 1) {
        runout.turn_slot = turn_card < 0 ? -1 : dealt(runouts_.TurnDeals(), turn_card);
        if (runout.turn_slot < 0)
            return std::nullopt;
        runout.list = &runouts_.Turn(runout.turn_slot);
        if (street == 2)
            return runout;
    } else {
        runout.turn_slot = 0;
    }
    if (river_card < 0 || (board >> river_card & 1))
        return std::nullopt;
    runout.river_slot = dealt(runouts_.RiverDeals(runout.turn_slot), river_card);
    if (runout.river_slot < 0)
        return std::nullopt;
    runout.list = &runouts_.River(runout.turn_slot, runout.river_slot);
    return runout;
}

std::vector<float> CfrEngine::StrategyAt(uint32_t index, int turn_card, int river_card) {
    std::lock_guard       lock(tree_mutex_);
    const BuiltNode&      node      = tree_.Node(index);
    const CanonicalRunout canonical = runouts_.Canonical(turn_card, river_card);
    const auto            runout    = RunoutOf(node.street, canonical.turn, canonical.river);
    StrategyStore*   regrets = RegretStore(index);
    if (!runout || !regrets)
        return {};
    StrategyStore*       averages = AverageStore(index);
    const bool           average  = averages && iteration_ > averaging_delay_ &&
                         (node.street < 3 || State().settings.river_strategy);
    const StrategyStore& source   = average ? *averages : *regrets;
    const SolverKernels& kernels  = KernelsFor(SimdPathFor(State().settings.avx512));
    const int            actions  = static_cast<int>(node.child_count);
    const size_t         stride   = source.Layout().RowStride();
    std::vector<float>   rows(stride * actions);
    source.PlayedStrategy(StorageSlot(node.street, *runout), kernels, rows.data(), stride);
    std::vector<float> strategy(static_cast<size_t>(actions) * kComboCount, 0.0f);
    // Entries of the representative runout belong to the user's combos with the suits
    // renamed back.
    const RunoutCombos&   list    = *runout->list;
    const SuitPermutation to_user = InverseSuits(canonical.suits);
    for (int i = 0; i < list.Size(); ++i) {
        const int combo = PermuteCombo(list.combo[i], to_user);
        for (int a = 0; a < actions; ++a)
            strategy[static_cast<size_t>(a) * kComboCount + combo] = rows[a * stride + i];
    }
    return strategy;
}

int CfrEngine::StorageSlotFor(int street, int turn_card, int river_card) const {
    const CanonicalRunout canonical = runouts_.Canonical(turn_card, river_card);
    const auto            runout    = RunoutOf(street, canonical.turn, canonical.river);
    if (!runout)
        return -1;
    return StorageSlot(street, *runout);
}
