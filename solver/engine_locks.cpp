// The engine's lock and written-strategy accessors, and the strategy queries report.
//
// Every edit goes through one routine: find the runout and storage slot of the given
// cards, take the strategy the node reports now, change the lock records of both stores
// the same way, and store the reported strategy (edited, for WriteStrategy) as the
// slot's written strategy, so that what the node reports does not jump with the edit.
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "cards/card.h"
#include "cards/combo_tables.h"
#include "cards/suit_isomorphism.h"
#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

namespace {

constexpr int kNoStrategy  = -2;  // EditRequest::action of a lock edit
constexpr int kEveryAction = -1;  // WriteStrategy's 'action' for all rows at once

struct EditRequest {
    std::function<void(LockTable& locks, int slot)> edit;  // the lock change, if any
    int                     action = kNoStrategy;  // else the action written, or every one
    std::span<const double> frequencies;           // what WriteStrategy writes

    bool Writes() const { return action != kNoStrategy; }
};

// The solver's runout of the user's cards and the user's combo of each of its entries:
// under suit isomorphism the runout of the representative cards, whose combos are the
// user's with the suits renamed.
struct UserRunout {
    Runout                runout;
    std::vector<uint16_t> user_combo;
};

std::optional<UserRunout> UserRunoutOf(const CfrEngine& engine, int street, int turn_card,
                                       int river_card) {
    const CanonicalRunout canonical = engine.Runouts().Canonical(turn_card, river_card);
    const auto runout = engine.RunoutOf(street, canonical.turn, canonical.river);
    if (!runout)
        return std::nullopt;
    UserRunout            result{*runout, {}};
    const SuitPermutation to_user = InverseSuits(canonical.suits);
    for (uint16_t combo : runout->list->combo)
        result.user_combo.push_back(static_cast<uint16_t>(PermuteCombo(combo, to_user)));
    return result;
}

// Overwrites rows of 'rows' with the written frequencies (internal 1326 order) of the
// runout's combos.
void ApplyFrequencies(const EditRequest& request, const UserRunout& user, int actions,
                      float* rows, size_t stride) {
    const bool every = request.action == kEveryAction;
    const int  first = every ? 0 : request.action;
    const int  last  = every ? actions : request.action + 1;
    for (int a = first; a < last; ++a) {
        const double* values = request.frequencies.data() + size_t(a - first) * kComboCount;
        for (size_t i = 0; i < user.user_combo.size(); ++i)
            rows[a * stride + i] = static_cast<float>(values[user.user_combo[i]]);
    }
}

// Under suit isomorphism the solver deals each later card once for its class and takes
// the other cards of the class as the same subtree with two suits exchanged, which holds
// only while everything before treats the exchanged combos alike. Throws InconsistentEdit
// naming the first two entries of the runout's list that such an exchange maps onto each
// other while 'value' (per entry) tells them apart.
void RequireSuitSymmetric(const CfrEngine& engine, const UserRunout& user, const char* what,
                          const std::function<double(int entry)>& value) {
    if (user.runout.street >= 3)
        return;
    std::set<const std::vector<uint16_t>*> swaps;
    for (const DealtCard& deal : DealsAfter(engine.Runouts(), user.runout))
        swaps.insert(deal.images.begin(), deal.images.end());
    const ComboTables& tables = Combos();
    for (const std::vector<uint16_t>* swap : swaps)
        for (int j = 0; j < user.runout.Size(); ++j) {
            const int k = (*swap)[j];
            if (value(j) == value(k))
                continue;
            auto text = [&](int entry) {
                return std::string(tables.text[tables.hand_of_internal[user.user_combo[entry]]].data(), 4);
            };
            char message[256];
            std::snprintf(message, sizeof message,
                          "inconsistent %s: %s %.2g, %s %.2g, use 'set_isomorphism 0 0' if intended",
                          what, text(j).c_str(), value(j), text(k).c_str(), value(k));
            throw InconsistentEdit(message);
        }
}

bool EditSlot(CfrEngine& engine, uint32_t index, int turn_card, int river_card,
              const EditRequest& request) {
    const BuiltNode& node    = engine.Tree().Node(index);
    const auto       user    = UserRunoutOf(engine, node.street, turn_card, river_card);
    StrategyStore*   regrets = engine.RegretStore(index);
    if (!user || !regrets)
        return false;
    const int           slot   = engine.StorageSlotFor(node.street, turn_card, river_card);
    const RunoutLayout& layout = regrets->Layout();
    const size_t        stride = layout.RowStride();
    std::vector<float>  rows(layout.actions * stride);
    engine.ReportedStrategy(index, user->runout, rows.data(), stride);
    if (request.Writes())
        ApplyFrequencies(request, *user, layout.actions, rows.data(), stride);

    const bool had_written = regrets->Locks().HasWrittenStrategy(slot);
    for (StrategyStore* store : {regrets, engine.AverageStore(index)}) {
        if (!store)
            continue;
        LockTable& locks = store->Locks();
        if (request.edit)
            request.edit(locks, slot);
        if (locks.Flags(slot) != 0 || had_written || request.Writes())
            locks.WriteStrategy(slot, layout.actions, rows.data(), stride);
    }
    if (request.Writes())
        regrets->SeedStrategy(slot, rows.data(), stride);
    return true;
}

}  // namespace

bool CfrEngine::ReportedStrategy(uint32_t index, const Runout& runout, float* rows,
                                 size_t stride) const {
    const BuiltNode& node    = tree_.Node(index);
    StrategyStore*   regrets = RegretStore(index);
    if (!regrets)
        return false;
    StrategyStore* averages = AverageStore(index);
    const bool     average  = averages && iteration_ > averaging_delay_ &&
                         (node.street < 3 || State().settings.river_strategy);
    const SolverKernels& kernels = KernelsFor(SimdPathFor(State().settings.avx512));
    (average ? averages : regrets)->PlayedStrategy(StorageSlot(node.street, runout), kernels, rows,
                                                   stride);
    return true;
}

bool CfrEngine::LockNode(uint32_t node, int turn_card, int river_card) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    EditRequest     request;
    request.edit = [](LockTable& locks, int slot) { locks.Lock(slot); };
    kept_values_.Clear();
    return EditSlot(*this, node, turn_card, river_card, request);
}

bool CfrEngine::UnlockNode(uint32_t node, int turn_card, int river_card) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    EditRequest     request;
    request.edit = [](LockTable& locks, int slot) { locks.Unlock(slot); };
    kept_values_.Clear();
    return EditSlot(*this, node, turn_card, river_card, request);
}

bool CfrEngine::ComboLockNode(uint32_t node, int turn_card, int river_card,
                              std::span<const double> weights) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    const auto      user = UserRunoutOf(*this, tree_.Node(node).street, turn_card, river_card);
    if (!user || !RegretStore(node))
        return false;
    // The lock weights of the runout's combos, in the slot's combo order.
    std::vector<float> slot_weights(RegretStore(node)->Layout().combos, 0.0f);
    for (size_t i = 0; i < user->user_combo.size(); ++i)
        slot_weights[i] = static_cast<float>(weights[user->user_combo[i]]);
    RequireSuitSymmetric(*this, *user, "lock", [&](int entry) { return slot_weights[entry]; });
    EditRequest request;
    request.edit = [&slot_weights](LockTable& locks, int slot) {
        locks.ComboLock(slot, slot_weights);
    };
    kept_values_.Clear();
    return EditSlot(*this, node, turn_card, river_card, request);
}

void CfrEngine::BetweenPasses(const std::function<void()>& edit) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    edit();
}

bool CfrEngine::WriteStrategy(uint32_t node, int turn_card, int river_card, int action,
                              std::span<const double> frequencies) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    if (const auto user = UserRunoutOf(*this, tree_.Node(node).street, turn_card, river_card)) {
        const int rows = action == kEveryAction ? tree_.Node(node).child_count : 1;
        for (int a = 0; a < rows; ++a)
            RequireSuitSymmetric(*this, *user, "strategy", [&](int entry) {
                return frequencies[size_t(a) * kComboCount + user->user_combo[entry]];
            });
    }
    EditRequest     request;
    request.action      = action;
    request.frequencies = frequencies;
    kept_values_.Clear();
    return EditSlot(*this, node, turn_card, river_card, request);
}

void CfrEngine::StartKeepingValues(bool update) {
    if (update) {
        kept_values_.Clear();
        return;
    }
    if (!kept_values_.Prepared()) {
        std::vector<int> slots(tree_.Size(), 0);
        for (uint32_t i = 0; i < tree_.Size(); ++i)
            if (tree_.Node(i).IsDecision() && tree_.Node(i).street < 3)
                slots[i] = LayoutOf(i).slots;
        kept_values_.Prepare(slots);
    }
    kept_values_.SetKey(KeptValuesKey());
}

std::vector<double> CfrEngine::KeptValuesKey() const {
    const TreeParams& params = State().tree.params;
    return {params.rake_fraction, params.rake_cap,
            double(State().settings.river_strategy), double(iteration_ > averaging_delay_)};
}

std::vector<double> CfrEngine::StrategyStamp() const {
    std::vector<double> stamp = KeptValuesKey();
    stamp.push_back(double(iteration_));
    stamp.push_back(double(kept_values_.Generation()));
    return stamp;
}

bool CfrEngine::KeptValuesComplete() const {
    return kept_values_.Complete() && kept_values_.Matches(KeptValuesKey());
}

void CfrEngine::KeepValues(const PassState& pass, uint32_t node, int slot, const Runout& runout,
                           const float* reach, const float* values) {
    VectorArena& arena = ThreadVectorArena();
    ArenaScope   scope(arena);
    float*       mass = arena.Allocate(runout.Size());
    CompatibleMass(*runout.list, reach, mass);
    kept_values_.Store(pass.traverser, node, slot, values, mass, runout.Size());
}

const float* CfrEngine::KeptValues(int player, uint32_t node, const Runout& runout) const {
    const BuiltNode& built = tree_.Node(node);
    if (!built.IsDecision() || built.street != runout.street || built.street >= 3 ||
        !kept_values_.Matches(KeptValuesKey()))
        return nullptr;
    return kept_values_.Find(player, node, StorageSlot(built.street, runout));
}

std::vector<float> CfrEngine::LockWeightsAt(uint32_t index, int turn_card, int river_card) {
    std::lock_guard  lock(tree_mutex_);
    const BuiltNode& node    = tree_.Node(index);
    const auto       user    = UserRunoutOf(*this, node.street, turn_card, river_card);
    StrategyStore*   regrets = RegretStore(index);
    if (!user || !regrets)
        return {};
    const LockTable&       locks   = regrets->Locks();
    const int              slot    = StorageSlot(node.street, user->runout);
    std::span<const float> weights = locks.ComboLockWeights(slot);
    std::vector<float>     result(kComboCount, std::numeric_limits<float>::quiet_NaN());
    for (size_t i = 0; i < user->user_combo.size(); ++i) {
        float weight = locks.Locked(slot) ? 1.0f : 0.0f;
        if (!weights.empty())
            weight = weights[i];
        result[user->user_combo[i]] = weight;
    }
    return result;
}
