#include "solver/query_support.h"

#include <algorithm>

#include "cli/solver_state.h"
#include "solver/regret_storage.h"
#include "tree/built_tree.h"
#include "tree/tree_command_support.h"

CfrEngine& RequireQueryEngine() {
    if (!State().tree.Tree() || !State().solver.engine)
        CommandError("missing/incorrect tree");
    return *State().solver.engine;
}

ResolvedPath RequireQueryPath(const std::string& path, bool root_as_first) {
    RequireQueryEngine();
    return RequireBuiltPath(root_as_first && path == "r" ? "r:0" : path);
}

ResolvedPath RequireDecisionPath(const std::string& path) {
    ResolvedPath   point = RequireQueryPath(path);
    const PathKind kind  = point.Kind();
    if (kind != PathKind::kOopDecision && kind != PathKind::kIpDecision)
        CommandError("incorrect path");
    return point;
}

namespace {

// The latest street of a decision in the subtree of 'index' (0 without decisions).
int DeepestDecisionStreet(const BuiltTree& tree, uint32_t index) {
    const BuiltNode& node    = tree.Node(index);
    int              deepest = node.IsDecision() ? node.street : 0;
    for (uint32_t child : tree.Children(index))
        deepest = std::max(deepest, DeepestDecisionStreet(tree, child));
    return deepest;
}

// True when the subgame at 'root' holds numbers for the runout of the user's cards: it was
// re-solved since its storage was created (fresh storage is all zero, and a re-solve
// leaves regrets behind).
bool Resolved(const CfrEngine& engine, uint32_t root, int turn, int river) {
    const StrategyStore* store = engine.RegretStore(root);
    const int slot = engine.StorageSlotFor(engine.Tree().Node(root).street, turn, river);
    if (!store || slot < 0 || store->Kind() != StoreKind::kRunoutRegrets)
        return false;
    const auto&         regrets = static_cast<const RunoutRegretStorage&>(*store);
    const RunoutLayout& layout  = regrets.Layout();
    for (int a = 0; a < layout.actions; ++a)
        for (int i = 0; i < layout.Span(slot).count; ++i)
            if (regrets.Row(slot, a)[i] != 0)
                return true;
    return false;
}

}  // namespace

void ResolveForgottenStreets(CfrEngine& engine, const QueryPoint& point, StrategyReads reads) {
    const BuiltTree& tree  = engine.Tree();
    const int        first = tree.first_forgotten_street;
    // Once rebuilt, forgotten streets hold storage again, which the solver fills.
    if (first < 0 || !engine.Incomplete())
        return;
    int deepest = 0;
    for (const PathStep& step : point.steps)
        deepest = std::max(deepest, step.street);
    if (reads != StrategyReads::kPath && point.Actor(tree) >= 0)
        deepest = std::max(deepest, point.street);
    if (reads == StrategyReads::kSubtree)
        deepest = std::max(deepest, DeepestDecisionStreet(tree, point.node));
    if (deepest < first)
        return;
    for (int street = std::max(first, tree.BaseStreet() + 1); street <= deepest; ++street)
        if ((street == kTurn ? point.turn : point.river) < 0)
            CommandError("incomplete tree");
    // The subgame's root: the first decision of the earliest forgotten street read.
    uint32_t root = point.node;
    while (tree.Node(root).parent &&
           (tree.Node(root).street > deepest || tree.Node(root).parent->street >= first))
        root = tree.Node(root).parent_index;
    if (!Resolved(engine, root, point.turn, point.river))
        engine.SolveSubgame(root, point.turn, point.river, State().solver.driver.Accuracy());
}

QueryPoint PointOf(const ResolvedPath& path) { return MakeQueryPoint(path, *State().tree.Tree()); }

double HalfPot() { return 0.5 * State().tree.params.StartingPot(); }
