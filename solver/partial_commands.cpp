// solve_partial and explo_partial: the figures of subgames on forgotten streets.
#include <algorithm>

#include "cli/solver_state.h"
#include "solver/solver_commands.h"
#include "tree/built_tree.h"
#include "tree/node_path.h"
#include "tree/tree_command_support.h"

namespace {

// The exploitability of the re-solved subgame that holds the node of 'path' on its
// runout, or 0 when the node lies before the forgotten streets or its runout is not
// named (no street forgotten, a turn node without a turn card, a river node without a
// river card).
double PartialFigure(const std::string& path) {
    BuiltTree&         tree     = RequireTree();
    const ResolvedPath resolved = RequireBuiltPath(path);
    CfrEngine*         engine   = State().solver.engine.get();
    const int          first    = tree.first_forgotten_street;
    if (!engine || first < 0 || !resolved.node)
        return 0;
    uint32_t index = static_cast<uint32_t>(resolved.node->built_index);
    const int street = tree.Node(index).street;
    if (tree.Node(index).kind != kDecisionNode || street < first)
        return 0;
    if ((street == 3 && resolved.river < 0) || (street == 2 && resolved.turn < 0))
        return 0;
    while (tree.Node(index).parent && tree.Node(index).parent->street >= first)
        index = tree.Node(index).parent_index;
    return engine->SolveSubgame(index, resolved.turn, resolved.river,
                                State().solver.driver.Accuracy());
}

}  // namespace

void CmdSolvePartial(const Tokens& t) {
    PartialFigure(t[1]);
    PrintOk(t);
}

void CmdExploPartial(const Tokens& t) { Print("%.6g\n", PartialFigure(t[1])); }
