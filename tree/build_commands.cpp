// Commands that build, size, free, forget and rebuild the tree.
#include <cmath>

#include "cli/solver_state.h"
#include "tree/node_count.h"
#include "tree/storage_level.h"
#include "tree/system_memory.h"
#include "tree/tree_build.h"
#include "tree/tree_command_support.h"
#include "tree/tree_commands.h"

namespace {

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// "turns" is street 2 and "rivers" street 3; anything else is an argument error.
int StreetWord(const Tokens& t) {
    if (t[1] == "turns")
        return kTurn;
    if (t[1] == "rivers")
        return kRiver;
    ArgumentCountError(t);
}

}  // namespace

void CmdBuildTree(const Tokens& t) {
    CheckBuildInputs();
    MakeTreeFromLines();
    const TreeState& trees = Trees();
    if (State().interp.verbosity > 0)
        Print("[compression set %d (%s) actual %d (%s)]\n", trees.configured_level,
              StorageLevelName(trees.configured_level), trees.actual_level,
              StorageLevelName(trees.actual_level));
    PrintOk(t);
}

void CmdFreeTree(const Tokens& t) {
    RefuseWhileSolving();
    Trees().FreeTree();
    PrintOk(t);
}

void CmdEstimateSchematicTree(const Tokens&) {
    const TreeState& trees = Trees();
    const BuiltTree* tree  = trees.Tree();
    if (!tree) {
        Print("estimated tree size: n/a\n");
        return;
    }
    double factor = StorageSizeFactor(FlopClass(tree->Board().flop), trees.actual_level);
    auto   mib    = static_cast<long long>(tree->StorageTotal() / kBytesPerMiB * factor);
    Print("estimated tree size: %lld MB\n", mib);
}

void CmdNodeCount(const Tokens&) {
    const BuiltTree& tree = RequireTree();
    PrintText(NodeCountReport(CountNodes(*Trees().params.root, tree.BaseStreet())));
    PrintEnd();
}

void CmdShowMemory(const Tokens&) {
    SystemMemory memory = ReadSystemMemory();
    Print("Total Physical Memory: %d MB\n", static_cast<int>(memory.total_bytes / kBytesPerMiB));
    Print("Available Phys Memory: %d MB\n", static_cast<int>(memory.AvailableBytes() / kBytesPerMiB));
    PrintEnd();
}

void CmdForget(const Tokens& t) {
    int street = StreetWord(t);
    RequireTree();
    RefuseWhileSolving();
    Trees().Forget(street);
    PrintOk(t);
}

void CmdRebuildForgottenStreets(const Tokens& t) {
    RefuseWhileSolving();
    Trees().RebuildForgottenStreets();
    PrintOk(t);
}

void CmdSolveAllSplits(const Tokens& t) {
    int street = StreetWord(t);
    RequireTree();
    const auto& solve = Trees().solve_all_splits;
    if (!solve)
        CommandError("no solver available");
    solve(street);
    PrintOk(t);
}
