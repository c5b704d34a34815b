// A point of the built tree as the queries see it: the resolved node path turned into
// built node indices, the decisions taken on the way from the root, and the cards the
// path names.
//
// Streets are absolute (1 flop, 2 turn, 3 river). The point's street is the street whose
// cards are known at the point: a split point (a path ending at the call that closes a
// street) is on the next street, whose card is still to come; an end reached after the
// river betting closed is on the river.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "tree/node_path.h"

// One decision on the way to a point, and the action taken there.
struct PathStep {
    uint32_t node   = 0;  // built index
    int      action = 0;  // child index in stored order
    int      player = 0;  // who acts
    int      street = 1;
};

struct QueryPoint {
    uint32_t              node   = 0;   // built index; the first decision for the path "r"
    int                   street = 1;   // street of the point (see above)
    int                   turn   = -1;  // named or board turn card (user suits), -1 open
    int                   river  = -1;  // named or board river card, -1 open
    bool                  split  = false;
    bool                  root   = false;  // the path "r"
    std::vector<PathStep> steps;           // decisions from the first one, in path order

    // The acting player at the point's node, or -1 for ends and split points.
    int Actor(const BuiltTree& tree) const;
};

// The action of the built node of 'parent' that leads to the built node of 'child', or -1
// when either was added to the lines after the build. Lines removed since the build leave
// the schematic children fewer than the built ones, so their order is not the actions'.
int BuiltActionOf(const BuiltTree& tree, const SchematicNode& parent, const SchematicNode& child);

// Builds the point of a resolved path of 'tree' (whose lines the path was resolved
// against). Linear in the path length.
QueryPoint MakeQueryPoint(const ResolvedPath& path, const BuiltTree& tree);

// Thrown by the query accessors when a decision they need holds no storage (its street
// has been forgotten).
class StrategyUnavailable : public std::runtime_error {
public:
    StrategyUnavailable() : std::runtime_error("strategy storage forgotten") {}
};
