#include "solver/query_support.h"

#include "cli/solver_state.h"
#include "tree/tree_command_support.h"

CfrEngine& RequireQueryEngine() {
    if (!State().tree.Tree() || !State().solver.engine)
        CommandError("missing/incorrect tree");
    return *State().solver.engine;
}

ResolvedPath RequireQueryPath(const std::string& path, bool root_as_first) {
    RequireQueryEngine();
    return RequirePath(root_as_first && path == "r" ? "r:0" : path);
}

ResolvedPath RequireDecisionPath(const std::string& path) {
    ResolvedPath   point = RequireQueryPath(path);
    const PathKind kind  = point.Kind();
    if (kind != PathKind::kOopDecision && kind != PathKind::kIpDecision)
        CommandError("incorrect path");
    return point;
}

QueryPoint PointOf(const ResolvedPath& path) { return MakeQueryPoint(path, *State().tree.Tree()); }

double HalfPot() { return 0.5 * State().tree.params.StartingPot(); }
