// The text blocks that show_node and show_children print for one point of the tree.
#pragma once

#include <string>

#include "tree/node_path.h"
#include "tree/tree_state.h"

// Six lines: the path text, the kind, the board with the point's turn and river, the
// committed amounts and the starting pot, the child count, and the flags (tree flags at
// ROOT, lock flags of the point's runout at nodes holding storage). Needs a present tree.
std::string NodeBlock(const std::string& path_text, const ResolvedPath& point,
                      const TreeState& state);

// "INCOMPLETE_TREE ISOMORPHISM_ON NEW_TREE", those set, blank-separated.
std::string TreeFlagsText(uint32_t flags);

// The board line of a point: flop cards, then the turn and river when dealt.
std::string BoardText(const TreeBoard& board, int turn, int river);

// The built node a schematic node became at the last build, or null for nodes added since.
const BuiltNode* BuiltNodeOf(const SchematicNode& node, const BuiltTree& tree);
