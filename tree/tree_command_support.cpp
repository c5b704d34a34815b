#include "tree/tree_command_support.h"

#include <cmath>

#include "cli/solver_state.h"
#include "solver/run_control.h"
#include "tree/node_block.h"

TreeState& Trees() { return State().tree; }

void RefuseWhileSolving() {
    if (SolverRunning())
        CommandError("Can't do that when solver is running");
}

BuiltTree& RequireTree() {
    BuiltTree* tree = Trees().Tree();
    if (!tree)
        CommandError("missing/incorrect tree");
    return *tree;
}

ResolvedPath RequirePath(const std::string& path) {
    BuiltTree&                  tree  = RequireTree();
    std::optional<ResolvedPath> point = ResolvePath(path, *Trees().params.root, tree);
    if (!point)
        CommandError("incorrect path");
    return *point;
}

ResolvedPath RequireBuiltPath(const std::string& path) {
    const ResolvedPath point = RequirePath(path);
    const BuiltTree&   tree  = RequireTree();
    for (const SchematicNode* node = point.node; node; node = node->parent)
        if (!BuiltNodeOf(*node, tree))
            CommandError("incorrect path");
    return point;
}

std::vector<double> ParseAmounts(const Tokens& t) {
    std::vector<double> amounts;
    for (size_t i = 1; i < t.size(); ++i) {
        double amount = ParseDouble(t[i]);
        if (!std::isfinite(amount))
            ArgumentCountError(t);
        amounts.push_back(amount);
    }
    return amounts;
}
