// Node locking: whole-node and per-combo locks, written strategies, and the lock data
// query. Every command names one decision node and the runout its path's cards give.
#include <array>
#include <vector>

#include "cards/combo_tables.h"
#include "solver/query_commands.h"
#include "solver/query_lines.h"
#include "solver/query_support.h"

namespace {

constexpr size_t kCombos = kComboCount;

// The 1326 values of tokens [first, first + 1326), hand order in, internal order out.
std::vector<double> ParseComboValues(const Tokens& t, size_t first) {
    std::array<double, kComboCount> hand;
    for (size_t p = 0; p < kCombos; ++p)
        hand[p] = ParseDouble(t[first + p]);
    std::vector<double> internal(kCombos);
    HandToInternalOrder(hand, std::span<double, kComboCount>(internal));
    return internal;
}

struct LockTarget {
    CfrEngine* engine;
    QueryPoint point;
};

LockTarget RequireLockTarget(const std::string& path) {
    CfrEngine& engine = RequireQueryEngine();
    return {&engine, PointOf(RequireDecisionPath(path))};
}

// An edit the engine refused names no runout of the node (a card left open), or the
// node's street has been forgotten.
void Require(bool done, const LockTarget& target) {
    if (done)
        return;
    if (!target.engine->RegretStore(target.point.node))
        CommandError("incomplete tree");
    CommandError("incorrect path");
}

// Runs an edit the engine may refuse as inconsistent with suit isomorphism; the refusal
// becomes the command's error.
template <class Edit>
bool Refusable(const Edit& edit) {
    try {
        return edit();
    } catch (const InconsistentEdit& refused) {
        CommandError(refused.what());
    }
}

}  // namespace

void CmdLockNode(const Tokens& t) {
    const LockTarget target = RequireLockTarget(t[1]);
    Require(target.engine->LockNode(target.point.node, target.point.turn, target.point.river),
            target);
    PrintOk(t);
}

void CmdUnlockNode(const Tokens& t) {
    const LockTarget target = RequireLockTarget(t[1]);
    Require(target.engine->UnlockNode(target.point.node, target.point.turn, target.point.river),
            target);
    PrintOk(t);
}

void CmdComboLockNode(const Tokens& t) {
    const LockTarget          target  = RequireLockTarget(t[1]);
    const std::vector<double> weights = ParseComboValues(t, 2);
    Require(Refusable([&] {
                return target.engine->ComboLockNode(target.point.node, target.point.turn,
                                                    target.point.river, weights);
            }),
            target);
    PrintOk(t);
}

void CmdSetStrategy(const Tokens& t) {
    if (t.size() < 3)
        ArgumentCountError(t);
    const LockTarget target  = RequireLockTarget(t[1]);
    const size_t     actions = target.engine->Tree().Node(target.point.node).child_count;
    int                 action = -1;
    std::vector<double> frequencies;
    if (t.size() == 3 + kCombos) {
        action = ParseInt(t[2]);
        if (action < 0 || size_t(action) >= actions)
            CommandError("invalid child index");
        frequencies = ParseComboValues(t, 3);
    } else {
        if (t.size() != 2 + actions * kCombos)
            ArgumentCountError(t);
        for (size_t a = 0; a < actions; ++a) {
            const std::vector<double> row = ParseComboValues(t, 2 + a * kCombos);
            frequencies.insert(frequencies.end(), row.begin(), row.end());
        }
    }
    Require(Refusable([&] {
                return target.engine->WriteStrategy(target.point.node, target.point.turn,
                                                    target.point.river, action, frequencies);
            }),
            target);
    PrintOk(t);
}

void CmdShowLockedCombos(const Tokens& t) {
    const LockTarget         target = RequireLockTarget(t[1]);
    const std::vector<float> weights =
        target.engine->LockWeightsAt(target.point.node, target.point.turn, target.point.river);
    Require(!weights.empty(), target);
    PrintText(ValueLine(std::vector<double>(weights.begin(), weights.end()), "%.12g", "nan"));
}
