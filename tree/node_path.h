// Node paths: the colon-separated text that names one point of the game tree.
//
// Grammar (empty tokens between colons are dropped):
//   r            the root of the game, above the first decision (kind ROOT)
//   r:0          the first decision node (the schematic root)
//   then any of  f        the fold child
//                c        the call or check child; when it closes a street and is the
//                         last token, the point is the chance event before the next
//                         street (kind SPLIT_NODE)
//                b<n>     the child keyed exactly n (not floored)
//                <card>   the card dealt at the street change just passed (turn or
//                         river); it does not move the current node
// Resolution runs against the schematic tree and the built tree's board; every grammar or
// lookup failure is one error, reported as "incorrect path".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tree/built_tree.h"
#include "tree/schematic_node.h"

enum class PathKind { kRoot, kSplit, kIpDecision, kOopDecision, kEnd };

struct ResolvedPath {
    SchematicNode* node  = nullptr;  // null for "r"
    int            turn  = -1;       // card ids, -1 when not dealt
    int            river = -1;
    bool           split = false;    // ends with the call or check that closed a street

    PathKind Kind() const;
};

// "ROOT", "SPLIT_NODE", "IP_DEC", "OOP_DEC", "END_NODE".
const char* PathKindText(PathKind kind);

// Resolves 'path' against the lines below 'root' and the board of 'tree'; nullopt when
// the path is incorrect. The turn and river start as the tree's own.
std::optional<ResolvedPath> ResolvePath(std::string_view path, SchematicNode& root,
                                        const BuiltTree& tree);

// The path token of the child keyed 'key' of 'node': "b<key>" for a bet or raise, "c" for
// the check or call, "f" for the fold.
std::string ChildToken(const SchematicNode& node, double key);

// Absolute street of a schematic node in 'tree'.
inline int StreetOf(const SchematicNode& node, const BuiltTree& tree) {
    return tree.BaseStreet() + node.street_offset;
}
