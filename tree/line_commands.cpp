// Commands of the tree parameters and lines: pot, lines, rake, expected-value boost.
#include <cmath>

#include "cli/solver_state.h"
#include "tree/line_editing.h"
#include "tree/node_block.h"
#include "tree/tree_build.h"
#include "tree/tree_command_support.h"
#include "tree/tree_commands.h"

namespace {

constexpr double kMinEvBoost = -0.99;
constexpr double kMaxEvBoost = 1.0;

void MergeLine(const Tokens& t, bool force) {
    std::vector<double> amounts = ParseAmounts(t);
    if (AddLine(*Trees().params.root, amounts, force) != LineStatus::kOk)
        ArgumentCountError(t);
    PrintOk(t);
}

// The never-set accuracy target (0 chips) for a new pot, used until the solver installs
// its own hook.
AccuracyForms UnsetAccuracy(double pot) { return {0.0, 0.0 / pot}; }

}  // namespace

void CmdSetPot(const Tokens& t) {
    std::array<double, 3> pot = {static_cast<double>(ParseInt(t[1])),
                                 static_cast<double>(ParseInt(t[2])),
                                 static_cast<double>(ParseInt(t[3]))};
    TreeParams& params = Trees().params;
    params.pot         = pot;
    AccuracyForms accuracy =
        params.pot_changed ? params.pot_changed(pot[2]) : UnsetAccuracy(pot[2]);
    if (State().interp.verbosity > 0)
        Print("[accuracy %.6g (%.6g fraction)]\n", accuracy.absolute, accuracy.fraction);
    PrintOk(t);
}

void CmdClearLines(const Tokens& t) {
    Trees().params.ClearLines();
    PrintOk(t);
}

void CmdAddLine(const Tokens& t) { MergeLine(t, /*force=*/false); }

void CmdForceLine(const Tokens& t) { MergeLine(t, /*force=*/true); }

void CmdRemoveLine(const Tokens& t) {
    RemoveLine(*Trees().params.root, ParseAmounts(t));
    PrintOk(t);
}

void CmdCutLine(const Tokens& t) {
    ResolvedPath point = RequirePath(t[1]);
    if (!point.node || !point.node->parent)
        CommandError("can't cut root");
    // The line goes first; the rebuild then refuses while a run exists, and the lines stay
    // cut (dump_tree reports them changed until the next build).
    SchematicNode& parent = *point.node->parent;
    std::erase_if(parent.children,
                  [&](const auto& entry) { return entry.second.get() == point.node; });
    MakeTreeFromLines();
    PrintOk(t);
}

void CmdShowTreeParams(const Tokens&) {
    const TreeState& trees = Trees();
    std::string      board;
    if (const BuiltTree* tree = trees.Tree())
        board = BoardText(tree->Board(), tree->Board().turn, tree->Board().river);
    Print("board: %s\n", board.c_str());
    Print("pot: %g %g %g\n", 0.0, 0.0, trees.params.StartingPot());
    Print("bet_sizes: \n");
    Print("donk_bet: FALSE\n");
    PrintEnd();
}

void CmdShowEffectiveStack(const Tokens&) {
    RequireTree();
    Print("%d\n", static_cast<int>(Trees().params.effective_stack));
}

void CmdSetRake(const Tokens& t) {
    RequireTree();
    double fraction = ParseDouble(t[1]);
    double cap      = ParseDouble(t[2]);
    if (!(fraction >= 0 && fraction <= 1) || !(cap >= 0))
        ArgumentCountError(t);
    Trees().BetweenPasses(
        [&] { Trees().params.SetRake(static_cast<float>(fraction), static_cast<float>(cap)); });
    PrintOk(t);
}

void CmdSetEvBoost(const Tokens& t) {
    BuiltTree&   tree  = RequireTree();
    ResolvedPath point = RequirePath(t[1]);
    PathKind     kind  = point.Kind();
    if (kind != PathKind::kOopDecision && kind != PathKind::kIpDecision)
        ArgumentCountError(t);
    const BuiltNode* built = BuiltNodeOf(*point.node, tree);
    if (!built || !built->IsDecision())
        ArgumentCountError(t);
    double boost = ParseDouble(t[2]);
    if (!(boost >= kMinEvBoost && boost <= kMaxEvBoost))
        ArgumentCountError(t);
    BuiltNode& node = tree.Node(static_cast<uint32_t>(point.node->built_index));
    Trees().BetweenPasses([&] { node.ev_boost = static_cast<float>(boost); });
    PrintOk(t);
}
