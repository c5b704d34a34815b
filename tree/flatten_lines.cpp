#include "tree/node_record.h"

#include <utility>

namespace {

constexpr int kRiver = 3;

NodeRecord RecordOf(const SchematicNode& node, bool is_fold, uint32_t parent, int base_street,
                    double starting_pot) {
    if (!node.IsEnd())
        return {kDecisionNode, parent, node.player, base_street + node.street_offset, 0.0};
    return {is_fold ? kFoldEnd : kShowdownEnd, parent, -1, -1, 0.5 * starting_pot + node.amount};
}

}  // namespace

FlattenStatus FlattenLines(SchematicNode& root, int base_street, double starting_pot,
                           std::vector<NodeRecord>& records) {
    struct Pending {
        SchematicNode* node;
        bool           is_fold;
        uint32_t       parent;
    };
    std::vector<Pending>        stack{{&root, false, kNoParent}};
    std::vector<SchematicNode*> order;
    size_t                      first = records.size();
    while (!stack.empty()) {
        auto [node, is_fold, parent] = stack.back();
        stack.pop_back();
        NodeRecord record = RecordOf(*node, is_fold, parent, base_street, starting_pot);
        if (record.kind == kDecisionNode && record.street > kRiver)
            return FlattenStatus::kInvalidLine;
        auto index = static_cast<uint32_t>(records.size());
        records.push_back(record);
        order.push_back(node);
        // Pushed in reverse so that the first child in stored order is taken next.
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back({it->second.get(), it->first == kFoldKey, index});
    }
    // Only a complete flattening renumbers the schematic nodes, so a failed build leaves
    // the indices of the tree built before it intact.
    for (size_t i = 0; i < order.size(); ++i)
        order[i]->built_index = static_cast<int32_t>(first + i);
    return FlattenStatus::kOk;
}
