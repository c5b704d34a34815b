#include "solver/query_point.h"

#include <algorithm>

int BuiltActionOf(const BuiltTree& tree, const SchematicNode& parent, const SchematicNode& child) {
    if (parent.built_index < 0 || child.built_index < 0)
        return -1;
    const auto children = tree.Children(static_cast<uint32_t>(parent.built_index));
    for (size_t a = 0; a < children.size(); ++a)
        if (children[a] == static_cast<uint32_t>(child.built_index))
            return static_cast<int>(a);
    return -1;
}

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
                               BuiltActionOf(tree, parent, *node), parent.player,
                               StreetOf(parent, tree)});
    }
    std::reverse(point.steps.begin(), point.steps.end());
    return point;
}
