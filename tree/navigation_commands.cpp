// Commands that print nodes and lines of the built tree.
#include "cards/card.h"
#include "tree/node_block.h"
#include "tree/tree_command_support.h"
#include "tree/tree_commands.h"

namespace {

void PrintChild(int index, const std::string& path, const ResolvedPath& point) {
    Print("child %d:\n", index);
    PrintText(NodeBlock(path, point, Trees()));
}

// The cards that can fall at a split, aces first, suits s, h, d, c within a rank. The
// call or check that closes the river is a split by kind but no card follows it.
void PrintSplitChildren(const std::string& path, const ResolvedPath& point, const BuiltTree& tree) {
    int street = StreetOf(*point.node, tree);
    if (street > kRiver)
        return;
    bool     dealing_turn = street == kTurn;
    uint64_t dead         = tree.Board().flop;
    for (int card : {point.turn, point.river})
        if (card >= 0)
            dead |= CardBit(card);
    int index = 0;
    for (int rank = 12; rank >= tree.low_rank; --rank)
        for (int suit = 3; suit >= 0; --suit) {
            int card = MakeCard(rank, suit);
            if (dead >> card & 1)
                continue;
            ResolvedPath child = point;
            child.split        = false;
            (dealing_turn ? child.turn : child.river) = card;
            PrintChild(index++, path + ":" + CardText(card), child);
        }
}

void PrintDecisionChildren(const std::string& path, const ResolvedPath& point) {
    const SchematicNode& node  = *point.node;
    int                  index = 0;
    for (const auto& [key, child] : node.children) {
        ResolvedPath next{child.get(), point.turn, point.river,
                          child->street_offset > node.street_offset};
        PrintChild(index++, path + ":" + ChildToken(node, key), next);
    }
}

void PrintLinesBelow(const SchematicNode& node, const std::string& path) {
    for (const auto& [key, child] : node.children) {
        std::string child_path = path + ":" + ChildToken(node, key);
        Print("%s\n", child_path.c_str());
        if (!child->IsEnd())
            PrintLinesBelow(*child, child_path);
    }
}

}  // namespace

void CmdShowNode(const Tokens& t) {
    ResolvedPath point = RequirePath(t[1]);
    PrintText(NodeBlock(t[1], point, Trees()));
    PrintEnd();
}

void CmdShowChildren(const Tokens& t) {
    ResolvedPath     point = RequirePath(t[1]);
    const BuiltTree& tree  = RequireTree();
    switch (point.Kind()) {
        case PathKind::kRoot: {
            ResolvedPath first{Trees().params.root.get(), tree.Board().turn, tree.Board().river,
                               false};
            PrintChild(0, "r:0", first);
            break;
        }
        case PathKind::kSplit: PrintSplitChildren(t[1], point, tree); break;
        case PathKind::kEnd: break;
        default: PrintDecisionChildren(t[1], point); break;
    }
    PrintEnd();
}

void CmdShowAllLines(const Tokens&) {
    RequireTree();
    Print("r\n");
    Print("r:0\n");
    PrintLinesBelow(*Trees().params.root, "r:0");
    PrintEnd();
}

void CmdIsTreePresent(const Tokens&) { Print(Trees().present ? "true\n" : "false\n"); }
