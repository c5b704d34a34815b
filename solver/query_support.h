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
