// Node records: the flattened form of the schematic tree, one 24-byte record per node,
// in pre-order (a node, then the subtrees of its children in stored order: largest raise
// first, then the call or check, then the fold). Record 0 is the schematic root.
#pragma once

#include <cstdint>
#include <vector>

#include "tree/schematic_node.h"

enum NodeKind : uint32_t {
    kDecisionNode = 0,
    kShowdownEnd  = 1,
    kFoldEnd      = 2,  // "wwosd" (won without showdown) in reports
};

inline constexpr uint32_t kNoParent = 0xFFFFFFFFu;

struct NodeRecord {
    uint32_t kind;    // NodeKind
    uint32_t parent;  // record index of the parent; kNoParent for the root
    int32_t  player;  // player to act at a decision; -1 for ends
    int32_t  street;  // base street + street offset for decisions; -1 for ends
    double   value;   // ends: 0.5 x starting pot + the node's amount; decisions: 0
};
static_assert(sizeof(NodeRecord) == 24, "node records are 24 bytes");

enum class FlattenStatus { kOk, kInvalidLine };

// Appends the records of the tree below 'root' to 'records' and, on success, writes each
// schematic node's built_index. A decision whose street would be past the river (a line
// that goes on after the river betting closed) gives kInvalidLine; the records are then
// incomplete and no built_index changes.
// Linear in the number of nodes; iterative, so deep trees do not grow the stack.
[[nodiscard]] FlattenStatus FlattenLines(SchematicNode& root, int base_street,
                                         double starting_pot, std::vector<NodeRecord>& records);
