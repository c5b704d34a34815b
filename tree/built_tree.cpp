#include "tree/built_tree.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsRoot(const BuiltNode& node) { return node.parent == nullptr; }

bool OpensTurn(const BuiltNode& node) {
    return node.IsDecision() && node.street == kTurn && (IsRoot(node) || node.parent->street == kFlop);
}

bool OpensRiver(const BuiltNode& node) {
    return node.IsDecision() && node.street == kRiver && (IsRoot(node) || node.parent->street < kRiver);
}

}  // namespace

BuiltTree::BuiltTree(const std::vector<NodeRecord>& records, const TreeBoard& board,
                     std::array<std::vector<double>, 2> ranges)
    : board_(board), ranges_(std::move(ranges)) {
    nodes_.resize(records.size());
    LinkChildren(records);
    AttachRunoutTables();
}

void BuiltTree::LinkChildren(const std::vector<NodeRecord>& records) {
    // Count the children of every node, lay their index runs out back to back, then fill
    // the runs in record order.
    for (const NodeRecord& record : records)
        if (record.parent != kNoParent)
            ++nodes_[record.parent].child_count;
    uint32_t offset = 0;
    for (BuiltNode& node : nodes_) {
        node.first_child = offset;
        offset += node.child_count;
        max_children_ = std::max(max_children_, node.child_count);
        node.child_count = 0;
    }
    child_indices_.resize(offset);
    for (uint32_t i = 0; i < records.size(); ++i) {
        const NodeRecord& record = records[i];
        BuiltNode&        node   = nodes_[i];
        node.kind                = record.kind;
        node.parent_index        = record.parent;
        node.player              = record.player;
        node.street              = record.street;
        node.value               = record.value;
        ++kind_counts_[record.kind];
        if (record.parent == kNoParent)
            continue;
        BuiltNode& parent = nodes_[record.parent];
        node.parent       = &parent;
        child_indices_[parent.first_child + parent.child_count++] = i;
        if (node.IsDecision())
            continue;
        node.player        = parent.player;
        node.street        = record.kind == kShowdownEnd ? kRiver : parent.street;
        max_abs_end_value_ = std::max(max_abs_end_value_, std::fabs(record.value));
    }
}

void BuiltTree::AttachRunoutTables() {
    for (BuiltNode& node : nodes_) {
        if (OpensTurn(node)) {
            node.turn_cards = std::make_unique<TurnCardTable>();
            node.turn_river = std::make_unique<TurnRiverBlock>();
            node.runouts    = std::make_unique<RunoutTable>(1);
        } else if (OpensRiver(node)) {
            node.runouts = std::make_unique<RunoutTable>(kTurnSlots);
        }
    }
}
