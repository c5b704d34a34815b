// Node path resolution against the schematic tree and a built tree's board.
#include <gtest/gtest.h>

#include "cards/card_parser.h"
#include "tree/line_editing.h"
#include "tree/node_path.h"

namespace {

int CardIdOfText(const char* text) { return LowestCard(ParseCards(text)); }

constexpr uint64_t kFlopQsJh2h = (uint64_t{1} << 49) | (uint64_t{1} << 35) | (uint64_t{1} << 26);

class NodePathTest : public ::testing::Test {
protected:
    void Build(TreeBoard board) {
        std::vector<NodeRecord> records;
        ASSERT_EQ(FlattenLines(root_, board.BaseStreet(), 60, records), FlattenStatus::kOk);
        tree_ = std::make_unique<BuiltTree>(records, board, std::array<std::vector<double>, 2>{});
    }
    void SetUp() override {
        ASSERT_EQ(AddLine(root_, {0, 0, 0, 0, 0, 0}, false), LineStatus::kOk);
        ASSERT_EQ(AddLine(root_, {50, 50}, false), LineStatus::kOk);
        Build(TreeBoard{kFlopQsJh2h});
    }
    std::optional<ResolvedPath> Resolve(const char* path) { return ResolvePath(path, root_, *tree_); }
    PathKind KindOf(const char* path) { return Resolve(path).value().Kind(); }

    SchematicNode              root_;
    std::unique_ptr<BuiltTree> tree_;
};

TEST_F(NodePathTest, RootAndFirstDecision) {
    auto root = Resolve("r");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->node, nullptr);
    EXPECT_EQ(root->Kind(), PathKind::kRoot);
    EXPECT_EQ(Resolve("r:0")->node, &root_);
    EXPECT_EQ(KindOf("r:0"), PathKind::kOopDecision);
    EXPECT_EQ(KindOf("r:0:c"), PathKind::kIpDecision);
    EXPECT_EQ(KindOf("::r::0::"), PathKind::kOopDecision);  // empty tokens are dropped
}

TEST_F(NodePathTest, GrammarFailures) {
    for (const char* path : {"", "x:0", "r:1", "R:0", "r:0:x", "r:0:b", "r:0:b50x", "r:0:bnan",
                             "r:0:b50.5", "r:0:b40", "r:0:f", "r:0:c:f", "r:0:c:c:c:c:c:c:c"})
        EXPECT_FALSE(Resolve(path)) << path;
    EXPECT_TRUE(Resolve("r:0:b50"));
    EXPECT_TRUE(Resolve("r:0:b50:f"));
    EXPECT_TRUE(Resolve("r:0:b50.0"));
}

TEST_F(NodePathTest, StreetClosingCallIsASplitOnlyAsTheLastToken) {
    EXPECT_EQ(KindOf("r:0:c:c"), PathKind::kSplit);
    EXPECT_EQ(KindOf("r:0:c:c:c"), PathKind::kIpDecision);
    EXPECT_EQ(KindOf("r:0:b50:c"), PathKind::kSplit);  // the line passed the call
    EXPECT_EQ(KindOf("r:0:b50:f"), PathKind::kEnd);
    auto split = Resolve("r:0:c:c");
    EXPECT_TRUE(split->split);
    auto after_card = Resolve("r:0:c:c:Td");
    ASSERT_TRUE(after_card);
    EXPECT_FALSE(after_card->split);
    EXPECT_EQ(after_card->turn, CardIdOfText("Td"));
    EXPECT_EQ(after_card->Kind(), PathKind::kOopDecision);
    EXPECT_EQ(after_card->node, split->node);  // a card does not move the node
}

TEST_F(NodePathTest, AutomaticCallKeepsTheStreetAndEndsTheHand) {
    ASSERT_EQ(AddLine(root_, {0, 0, 20}, false), LineStatus::kOk);  // turn bet, no answer given
    Build(TreeBoard{kFlopQsJh2h});
    EXPECT_EQ(KindOf("r:0:c:c:b20:c"), PathKind::kEnd);
}

TEST_F(NodePathTest, CardsOnlyAtStreetChangesAndOnlyOnce) {
    auto full = Resolve("r:0:c:c:Td:c:c:9c");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->turn, CardIdOfText("Td"));
    EXPECT_EQ(full->river, CardIdOfText("9c"));
    EXPECT_TRUE(Resolve("r:0:c:c:c:c:9c"));  // the turn card may be left out
    for (const char* path : {"r:0:Td", "r:Td", "r:0:c:Td", "r:0:c:c:Qs", "r:0:c:c:Td:Tc",
                             "r:0:c:c:Td:c:c:Td", "r:0:c:c:Td:c:c:9c:8c", "r:0:c:c:T",
                             "r:0:c:c:Tdx", "r:0:c:c:1d"})
        EXPECT_FALSE(Resolve(path)) << path;
}

TEST_F(NodePathTest, CardsBelowTheLowestRankAreRefused) {
    tree_->low_rank = 4;  // six
    EXPECT_FALSE(Resolve("r:0:c:c:5d"));
    EXPECT_TRUE(Resolve("r:0:c:c:6d"));
}

TEST_F(NodePathTest, TurnTreeStartsWithItsTurnSetAndDealsRivers) {
    root_.children.clear();
    ASSERT_EQ(AddLine(root_, {0, 0, 0, 0}, false), LineStatus::kOk);
    Build(TreeBoard{kFlopQsJh2h, CardIdOfText("8d")});
    auto point = Resolve("r:0:c:c");
    ASSERT_TRUE(point);
    EXPECT_EQ(point->turn, CardIdOfText("8d"));
    EXPECT_TRUE(Resolve("r:0:c:c:3c"));
    EXPECT_FALSE(Resolve("r:0:c:c:8d"));  // the river may not repeat the turn
}

TEST(ChildToken, BetsCallsAndFolds) {
    SchematicNode node;
    node.amount = 10;
    EXPECT_EQ(ChildToken(node, 35), "b35");
    EXPECT_EQ(ChildToken(node, 10), "c");
    EXPECT_EQ(ChildToken(node, kFoldKey), "f");
}

}  // namespace
