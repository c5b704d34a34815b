#include "solver/query_point.h"

#include <algorithm>

namespace {

int ChildIndex(const SchematicNode& parent, const SchematicNode& child) {
    int index = 0;
    for (const auto& [key, node] : parent.children) {
        if (node.get() == &child)
            return index;
        ++index;
    }
    return -1;
}

}  // namespace

int QueryPoint::Actor(const BuiltTree& tree) const {
    const BuiltNode& built = tree.Node(node);
    if (split || !built.IsDecision())
        return -1;
    return built.player;
}

QueryPoint MakeQueryPoint(const ResolvedPath& path, const BuiltTree& tree) {
    QueryPoint point;
    point.turn  = path.turn;
    point.river = path.river;
    point.split = path.split;
    point.root  = path.node == nullptr;
    point.street = tree.BaseStreet();
    if (!path.node)
        return point;
    point.node   = static_cast<uint32_t>(path.node->built_index);
    point.street = std::min(StreetOf(*path.node, tree), kRiver);
    for (const SchematicNode* node = path.node; node->parent; node = node->parent) {
        const SchematicNode& parent = *node->parent;
        point.steps.push_back({static_cast<uint32_t>(parent.built_index),
                               ChildIndex(parent, *node), parent.player, StreetOf(parent, tree)});
    }
    std::reverse(point.steps.begin(), point.steps.end());
    return point;
}
