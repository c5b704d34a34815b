// What the query and lock handlers share: the engine of the present tree, path checks,
// and running an accessor under the tree mutex.
#pragma once

#include <mutex>
#include <string>

#include "cli/command.h"
#include "solver/cfr_engine.h"
#include "solver/query_point.h"
#include "tree/node_path.h"

// The engine of the present tree, or CommandError "missing/incorrect tree".
CfrEngine& RequireQueryEngine();

// The resolved path (errors as RequirePath). With 'root_as_first' the path that is
// exactly "r" stands for "r:0" (the commands that take a player and a path).
ResolvedPath RequireQueryPath(const std::string& path, bool root_as_first = false);

// The resolved path of a decision node (OOP_DEC or IP_DEC), else "incorrect path".
ResolvedPath RequireDecisionPath(const std::string& path);

// The query point of a resolved path of the present tree.
QueryPoint PointOf(const ResolvedPath& path);

// The strategies an answer reads: those of the decisions on the path, also the point's
// node's, or also every decision below the point.
enum class StrategyReads { kPath, kPathAndNode, kSubtree };

// On a tree with forgotten streets: when the answer reads strategies of a forgotten
// street, re-solves the subgame that holds the point on the runout its path names (as
// solve_partial does; once per runout while its storage lasts), so that they exist;
// CommandError "incomplete tree" when the path leaves a card of such a street open (every
// runout would need its own re-solve). A tree without forgotten streets, or whose forgotten
// streets were rebuilt, returns at once.
void ResolveForgottenStreets(CfrEngine& engine, const QueryPoint& point, StrategyReads reads);

// Half the starting pot, the offset of printed values.
double HalfPot();

// Runs 'query' holding the engine's tree mutex (so that it sees the tree between two
// solver passes); a strategy lost to a forgotten street becomes CommandError
// "incomplete tree". Blocks while a pass runs.
template <class Query>
auto UnderTreeMutex(CfrEngine& engine, const Query& query) {
    std::lock_guard lock(engine.TreeMutex());
    try {
        return query();
    } catch (const StrategyUnavailable&) {
        CommandError("incomplete tree");
    }
}
