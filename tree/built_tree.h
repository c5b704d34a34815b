// The built game tree: one flat, index-addressed array of nodes in one tree object.
//
// Layout. Nodes are stored in pre-order (see node_record.h), so node 0 is the root and a
// node's subtree is a contiguous run after it. Children are kept as one shared index array
// (child_indices_): node i's children are child_indices_[first_child, first_child +
// child_count), in stored order (largest raise first, then call or check, then fold). The
// array never grows after construction, so node pointers and spans stay valid for the
// tree's life.
//
// Walking. Because of the pre-order, a parent's index is always below its children's:
// iterating indices upward visits every parent before its children (top-down passes such
// as reach propagation), iterating downward visits children first (bottom-up value
// passes), with no recursion and no pointer chasing. A node's street never decreases
// along a path, so the nodes of one street can be picked by BuiltNode::street.
//
// Ownership. The tree object owns every node and everything under it: strategy storage,
// runout tables and the turn-river blocks. Destroying the tree (free_tree, or a new build)
// releases all of it together. Nodes hold back pointers to their parents inside the same
// array, so the tree can be neither copied nor moved.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "tree/node_record.h"
#include "tree/node_storage.h"
#include "tree/runout_tables.h"

enum TreeFlag : uint32_t {
    kIncompleteTree = 1u << 0,  // storage of some streets has been forgotten
    kIsomorphismOn  = 1u << 1,
    kNewTree        = 1u << 2,  // no iteration has run on this tree yet
};

inline constexpr int kFlop  = 1;
inline constexpr int kTurn  = 2;
inline constexpr int kRiver = 3;

// The board a tree was built on: flop mask (bit i = card id i), turn and river card ids.
struct TreeBoard {
    uint64_t flop  = 0;
    int      turn  = -1;
    int      river = -1;

    uint64_t Mask() const {
        return flop | (turn >= 0 ? uint64_t{1} << turn : 0) | (river >= 0 ? uint64_t{1} << river : 0);
    }
    int BaseStreet() const { return kFlop + (turn >= 0) + (river >= 0); }
};

struct BuiltNode {
    // Read on every sweep.
    uint32_t   kind         = kDecisionNode;  // NodeKind
    uint32_t   parent_index = kNoParent;
    int32_t    player       = 0;   // player to act; for an end, the player of its parent
    int32_t    street       = 0;   // decisions: own street; showdown ends 3; fold ends: parent's
    double     value        = 0;   // ends: what each player has at stake (see NodeRecord)
    uint32_t   first_child  = 0;   // into the tree's child index array
    uint32_t   child_count  = 0;
    BuiltNode* parent       = nullptr;

    float   ev_boost         = 0;  // set_ev_boost; 0 after a build
    uint8_t storage_complete = 0;  // set once the storage objects report themselves complete

    std::unique_ptr<NodeStorage>    strategy;    // regrets (decision nodes)
    std::unique_ptr<NodeStorage>    second;      // averages, same lifetime
    std::unique_ptr<TurnCardTable>  turn_cards;  // first node of a turn
    std::unique_ptr<RunoutTable>    runouts;     // first decision of a turn or river
    std::unique_ptr<TurnRiverBlock> turn_river;  // first node of a turn

    bool IsDecision() const { return kind == kDecisionNode; }
};

class BuiltTree {
public:
    // Creates the node array from the records (pre-order, parents before children),
    // appends each node to its parent's children, counts the kinds and attaches the runout
    // tables. 'ranges' are the two players' ranges in internal combo order.
    BuiltTree(const std::vector<NodeRecord>& records, const TreeBoard& board,
              std::array<std::vector<double>, 2> ranges);

    // Nodes point at their parents inside nodes_.
    BuiltTree(const BuiltTree&)            = delete;
    BuiltTree& operator=(const BuiltTree&) = delete;

    std::span<BuiltNode>       Nodes() { return nodes_; }
    std::span<const BuiltNode> Nodes() const { return nodes_; }
    BuiltNode&                 Node(uint32_t index) { return nodes_[index]; }
    const BuiltNode&           Node(uint32_t index) const { return nodes_[index]; }
    uint32_t                   Size() const { return static_cast<uint32_t>(nodes_.size()); }

    std::span<const uint32_t> Children(uint32_t index) const {
        const BuiltNode& node = nodes_[index];
        return {child_indices_.data() + node.first_child, node.child_count};
    }

    const TreeBoard&           Board() const { return board_; }
    int                        BaseStreet() const { return board_.BaseStreet(); }
    const std::vector<double>& Range(int player) const { return ranges_[player]; }

    uint32_t DecisionCount() const { return kind_counts_[kDecisionNode]; }
    uint32_t ShowdownCount() const { return kind_counts_[kShowdownEnd]; }
    uint32_t FoldCount() const { return kind_counts_[kFoldEnd]; }
    uint32_t MaxChildren() const { return max_children_; }
    double   MaxAbsEndValue() const { return max_abs_end_value_; }

    // Bytes of uncompressed storage per street (index 0 flop, 1 turn, 2 river), kept
    // current by the builder whenever storage of a street is (re)built.
    std::array<uint64_t, 3> storage_bytes{};
    uint64_t                StorageTotal() const {
        return storage_bytes[0] + storage_bytes[1] + storage_bytes[2];
    }

    uint32_t flags                  = kNewTree;
    int      low_rank               = 0;   // lowest rank in the deck when built
    int      first_forgotten_street = -1;  // streets from it onward lack storage; -1 none

private:
    void LinkChildren(const std::vector<NodeRecord>& records);
    void AttachRunoutTables();

    std::vector<BuiltNode>             nodes_;
    std::vector<uint32_t>              child_indices_;
    TreeBoard                          board_;
    std::array<std::vector<double>, 2> ranges_;
    std::array<uint32_t, 3>            kind_counts_{};
    uint32_t                           max_children_      = 0;
    double                             max_abs_end_value_ = 0;
};
