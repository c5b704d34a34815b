#include "tree/node_block.h"

#include <cstdio>

#include "cards/card_parser.h"

namespace {

std::string Format(const char* format, double a, double b, double c) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string JoinFlags(uint32_t flags, std::initializer_list<std::pair<uint32_t, const char*>> names) {
    std::string text;
    for (auto [bit, name] : names)
        if (flags & bit)
            text += (text.empty() ? "" : " ") + std::string(name);
    return text;
}

std::string LockFlagsText(const ResolvedPath& point, const BuiltTree& tree) {
    const BuiltNode* node = BuiltNodeOf(*point.node, tree);
    if (!node || !node->strategy)
        return "";
    return JoinFlags(node->strategy->LockFlags(point.turn, point.river),
                     {{1u, "LOCKED"}, {2u, "COMBO_LOCKED"}});
}

int ChildCount(const ResolvedPath& point, PathKind kind, const BuiltTree& tree) {
    if (kind == PathKind::kRoot)
        return 1;
    if (kind == PathKind::kSplit)
        return StreetOf(*point.node, tree) == kTurn ? kTurnSlots : kRiverSlots;
    return static_cast<int>(point.node->children.size());
}

std::string FlagsLine(const ResolvedPath& point, PathKind kind, const BuiltTree& tree) {
    if (kind == PathKind::kSplit)
        return "flags:\n";
    if (kind == PathKind::kRoot)
        return "flags: " + TreeFlagsText(tree.flags) + "\n";
    return "flags: " + LockFlagsText(point, tree) + "\n";
}

}  // namespace

std::string TreeFlagsText(uint32_t flags) {
    return JoinFlags(flags, {{kIncompleteTree, "INCOMPLETE_TREE"},
                             {kIsomorphismOn, "ISOMORPHISM_ON"},
                             {kNewTree, "NEW_TREE"}});
}

std::string BoardText(const TreeBoard& board, int turn, int river) {
    std::string text = FormatCardMask(board.flop);
    if (turn >= 0)
        text += " " + CardText(turn);
    if (river >= 0)
        text += " " + CardText(river);
    return text;
}

const BuiltNode* BuiltNodeOf(const SchematicNode& node, const BuiltTree& tree) {
    if (node.built_index < 0 || static_cast<uint32_t>(node.built_index) >= tree.Size())
        return nullptr;
    return &tree.Node(static_cast<uint32_t>(node.built_index));
}

std::string NodeBlock(const std::string& path_text, const ResolvedPath& point,
                      const TreeState& state) {
    const BuiltTree& tree = *state.Tree();
    PathKind         kind = point.Kind();
    double oop = point.node ? point.node->committed[0] : 0;
    double ip  = point.node ? point.node->committed[1] : 0;
    std::string block = path_text + "\n";
    block += std::string(PathKindText(kind)) + "\n";
    block += BoardText(tree.Board(), point.turn, point.river) + "\n";
    block += Format("%g %g %g\n", oop, ip, state.params.StartingPot());
    block += std::to_string(ChildCount(point, kind, tree)) + " children\n";
    block += FlagsLine(point, kind, tree);
    return block;
}
