// Checks shared by the tree's command handlers. Each throws the command's error.
#pragma once

#include <string>

#include "cli/command.h"
#include "tree/node_path.h"
#include "tree/tree_state.h"

TreeState& Trees();

// Fails with "Can't do that when solver is running" while a run exists: the handlers that
// would change or free the tree the run is working on.
void RefuseWhileSolving();

// The present tree, or "missing/incorrect tree".
BuiltTree& RequireTree();

// The resolved path, or "incorrect path" (after RequireTree).
ResolvedPath RequirePath(const std::string& path);

// As RequirePath, for commands that read the built node: lines added or cleared since the
// last build leave schematic nodes that the built tree does not hold ("incorrect path").
ResolvedPath RequireBuiltPath(const std::string& path);

// Tokens 1.. as amounts (floating-point conversion); a non-finite amount is an argument
// error.
std::vector<double> ParseAmounts(const Tokens& t);
