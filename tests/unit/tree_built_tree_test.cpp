// Flattening lines into records and the built node array made from them.
#include <gtest/gtest.h>

#include <cstring>

#include "tree/built_tree.h"
#include "tree/line_editing.h"
#include "tree/node_record.h"

namespace {

constexpr uint64_t kFlopQsJh2h = (uint64_t{1} << 49) | (uint64_t{1} << 35) | (uint64_t{1} << 26);

std::unique_ptr<SchematicNode> Lines(std::initializer_list<std::vector<double>> lines) {
    auto root = std::make_unique<SchematicNode>();
    for (const auto& line : lines)
        EXPECT_EQ(AddLine(*root, line, false), LineStatus::kOk);
    return root;
}

std::vector<NodeRecord> Flatten(SchematicNode& root, int base_street, double pot) {
    std::vector<NodeRecord> records;
    EXPECT_EQ(FlattenLines(root, base_street, pot, records), FlattenStatus::kOk);
    return records;
}

TEST(FlattenLines, CheckCheckIsTwoDecisionsAndOneShowdown) {
    auto root    = Lines({{0, 0}});
    auto records = Flatten(*root, 1, 60);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, kDecisionNode);
    EXPECT_EQ(records[0].parent, kNoParent);
    EXPECT_EQ(records[0].player, 0);
    EXPECT_EQ(records[0].street, 1);
    EXPECT_EQ(records[1].kind, kDecisionNode);
    EXPECT_EQ(records[1].player, 1);
    EXPECT_EQ(records[2].kind, kShowdownEnd);
    EXPECT_EQ(records[2].parent, 1u);
    EXPECT_EQ(records[2].player, -1);
    EXPECT_EQ(records[2].street, -1);
    EXPECT_EQ(records[2].value, 30);
    EXPECT_EQ(root->Child(0)->Child(0)->built_index, 2);
}

TEST(FlattenLines, PreOrderTakesRaisesBeforeCallsBeforeFolds) {
    auto root    = Lines({{10, 10}, {10, 30}});
    auto records = Flatten(*root, 3, 100);
    // root, bet 10, raise 30, [30: call, fold], call 10, fold
    ASSERT_EQ(records.size(), 7u);
    std::vector<uint32_t> kinds, parents;
    for (const auto& r : records) {
        kinds.push_back(r.kind);
        parents.push_back(r.parent);
    }
    EXPECT_EQ(kinds, (std::vector<uint32_t>{0, 0, 0, 1, 2, 1, 2}));
    EXPECT_EQ(parents, (std::vector<uint32_t>{kNoParent, 0, 1, 2, 2, 1, 1}));
    EXPECT_EQ(records[4].value, 50 + 10);  // folding IP had put in 10
    EXPECT_EQ(records[6].value, 50 + 0);
    EXPECT_EQ(records[3].value, 50 + 30);
}

TEST(FlattenLines, BettingAfterTheRiverClosedIsInvalidAndKeepsIndices) {
    auto root = Lines({{0, 0}});
    Flatten(*root, 3, 10);
    ASSERT_EQ(AddLine(*root, {0, 0, 0, 5}, false), LineStatus::kOk);
    std::vector<NodeRecord> records;
    EXPECT_EQ(FlattenLines(*root, 3, 10, records), FlattenStatus::kInvalidLine);
    EXPECT_EQ(root->Child(0)->built_index, 1);                       // from the good build
    EXPECT_EQ(root->Child(0)->Child(0)->Child(0)->built_index, -1);  // never built
    records.clear();
    EXPECT_EQ(FlattenLines(*root, 2, 10, records), FlattenStatus::kOk);
}

TEST(BuiltTree, ChildrenFollowRecordOrderAndEndsInheritFromParents) {
    auto      root    = Lines({{0, 10, 10}, {0, 0}});
    auto      records = Flatten(*root, 1, 60);
    BuiltTree tree(records, TreeBoard{kFlopQsJh2h}, {});
    EXPECT_EQ(tree.Size(), records.size());
    EXPECT_EQ(tree.DecisionCount() + tree.ShowdownCount() + tree.FoldCount(), tree.Size());
    EXPECT_EQ(tree.DecisionCount(), 3u);  // root, check, bet
    EXPECT_EQ(tree.FoldCount(), 1u);
    EXPECT_EQ(tree.MaxChildren(), 2u);
    for (uint32_t i = 1; i < tree.Size(); ++i) {
        const BuiltNode& node = tree.Node(i);
        ASSERT_EQ(node.parent, &tree.Node(node.parent_index));
        auto siblings = tree.Children(node.parent_index);
        EXPECT_NE(std::find(siblings.begin(), siblings.end(), i), siblings.end());
        if (node.kind == kShowdownEnd)
            EXPECT_EQ(node.street, kRiver);
        if (node.kind == kFoldEnd)
            EXPECT_EQ(node.street, node.parent->street);
        if (!node.IsDecision())
            EXPECT_EQ(node.player, node.parent->player);
    }
    // The check node (record 1) has the bet (larger key) before the check behind.
    auto children = tree.Children(1);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_LT(children[0], children[1]);
    EXPECT_EQ(tree.Node(children[0]).player, 0);  // bet 10, OOP to act
    EXPECT_DOUBLE_EQ(tree.MaxAbsEndValue(), 40);
}

TEST(BuiltTree, FirstNodesOfTurnAndRiverOwnTheirRunoutTables) {
    auto root = Lines({{0, 0, 0, 0, 0, 0}, {0, 0, 0, 10, 10, 10}});
    BuiltTree tree(Flatten(*root, 1, 60), TreeBoard{kFlopQsJh2h}, {});
    int turn_tables = 0, river_tables = 0;
    for (const BuiltNode& node : tree.Nodes()) {
        bool first_turn = node.IsDecision() && node.street == kTurn && node.parent->street == kFlop;
        bool first_river =
            node.IsDecision() && node.street == kRiver && node.parent->street == kTurn;
        EXPECT_EQ(node.turn_cards != nullptr, first_turn);
        EXPECT_EQ(node.turn_river != nullptr, first_turn);
        EXPECT_EQ(node.runouts != nullptr, first_turn || first_river);
        if (first_turn) {
            ++turn_tables;
            EXPECT_EQ(node.runouts->count, 1u);
            uint8_t zero[kTurnSlots * kRiverSlots] = {};
            EXPECT_EQ(std::memcmp(node.turn_river->bytes.data(), zero, sizeof zero), 0);
        }
        if (first_river) {
            ++river_tables;
            EXPECT_EQ(node.runouts->count, 49u);
        }
    }
    EXPECT_EQ(turn_tables, 1);
    EXPECT_EQ(river_tables, 2);  // after check-check and after bet-call on the turn
}

TEST(BuiltTree, RootOfARiverTreeOwnsTheRiverTable) {
    auto      root = Lines({{0, 0}});
    TreeBoard board{kFlopQsJh2h, 6, 7};
    BuiltTree tree(Flatten(*root, board.BaseStreet(), 60), board, {});
    EXPECT_EQ(tree.BaseStreet(), kRiver);
    ASSERT_NE(tree.Node(0).runouts, nullptr);
    EXPECT_EQ(tree.Node(1).runouts, nullptr);
}

TEST(RunoutSlotOf, CountsOnlyCardsThatCanStillCome) {
    EXPECT_EQ(RunoutSlotOf(kFlopQsJh2h, 0), 0);
    EXPECT_EQ(RunoutSlotOf(kFlopQsJh2h, 49), -1);
    EXPECT_EQ(RunoutSlotOf(kFlopQsJh2h, 51), 48);
    EXPECT_EQ(RunoutSlotOf(kFlopQsJh2h, 27), 26);  // 3h: one flop card (2h) below it
}

}  // namespace
