// The line rules of the schematic tree: automatic answers, force, remove, flooring and
// decreasing amounts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tree/line_editing.h"

namespace {

std::vector<double> Keys(const SchematicNode& node) {
    std::vector<double> keys;
    for (const auto& [key, child] : node.children)
        keys.push_back(key);
    return keys;
}

const SchematicNode& Walk(const SchematicNode& root, std::initializer_list<double> keys) {
    const SchematicNode* node = &root;
    for (double key : keys) {
        node = node->Child(key);
        if (!node)
            throw std::runtime_error("no such child");
    }
    return *node;
}

TEST(AddLine, CheckCheckGivesCheckNodeAndCheckBehindShowdown) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 0}, false), LineStatus::kOk);
    EXPECT_EQ(Keys(root), std::vector<double>{0});
    const SchematicNode& check = Walk(root, {0});
    EXPECT_EQ(check.player, 1);
    EXPECT_EQ(check.street_offset, 0);
    EXPECT_EQ(Keys(check), std::vector<double>{0});  // automatic check, no fold
    const SchematicNode& behind = Walk(root, {0, 0});
    EXPECT_TRUE(behind.IsEnd());
    EXPECT_EQ(behind.street_offset, 1);  // the line passed it: the street closed
    EXPECT_EQ(behind.player, 0);
}

TEST(AddLine, BetGetsCallAndFoldAnswers) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 10}, false), LineStatus::kOk);
    const SchematicNode& bet = Walk(root, {0, 10});
    EXPECT_EQ(Keys(bet), (std::vector<double>{10, kFoldKey}));
    EXPECT_EQ(bet.player, 0);
    EXPECT_EQ(bet.bet_count, 1);
    EXPECT_EQ(bet.committed[1], 10);
    EXPECT_EQ(bet.committed[0], 0);
    const SchematicNode& call = Walk(bet, {10});
    EXPECT_EQ(call.committed[0], 10);
    EXPECT_EQ(call.committed[1], 10);
    EXPECT_EQ(call.street_offset, 0);  // automatic: keeps the street
    const SchematicNode& fold = Walk(bet, {kFoldKey});
    EXPECT_EQ(fold.amount, 0);
    EXPECT_EQ(fold.committed[0], 0);   // the folding player's total
    EXPECT_EQ(fold.committed[1], 10);  // the bet
}

TEST(AddLine, RaiseCallClosesStreetAndCommittedFollowsTheActors) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 10, 30, 30}, false), LineStatus::kOk);
    const SchematicNode& raise = Walk(root, {0, 10, 30});
    EXPECT_EQ(raise.bet_count, 2);
    EXPECT_EQ(raise.player, 1);
    EXPECT_EQ(raise.committed[0], 30);
    EXPECT_EQ(raise.committed[1], 10);
    EXPECT_EQ(Walk(raise, {kFoldKey}).amount, 10);
    const SchematicNode& call = Walk(raise, {30});
    EXPECT_EQ(call.street_offset, 1);
    EXPECT_EQ(call.bet_count, 0);
    EXPECT_EQ(call.player, 0);
    EXPECT_TRUE(call.IsEnd());
}

TEST(AddLine, ChildrenAreOrderedLargestRaiseFirstFoldLast) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 10, 30}, false), LineStatus::kOk);
    ASSERT_EQ(AddLine(root, {0, 10, 60}, false), LineStatus::kOk);
    EXPECT_EQ(Keys(Walk(root, {0, 10})), (std::vector<double>{60, 30, 10, kFoldKey}));
}

TEST(AddLine, EmptyAndRepeatedLinesChangeNothing) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {}, false), LineStatus::kOk);
    EXPECT_TRUE(root.IsEnd());
    ASSERT_EQ(AddLine(root, {0, 10, 10}, false), LineStatus::kOk);
    ASSERT_EQ(AddLine(root, {0, 10, 10}, false), LineStatus::kOk);
    EXPECT_EQ(Keys(root), std::vector<double>{0});
    EXPECT_EQ(Keys(Walk(root, {0, 10})), (std::vector<double>{10, kFoldKey}));
    EXPECT_EQ(Walk(root, {0, 10, 10}).street_offset, 1);
}

TEST(AddLine, AmountsAreFlooredSoFractionsAddressTheSameChild) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {10.7}, false), LineStatus::kOk);
    ASSERT_EQ(AddLine(root, {10}, false), LineStatus::kOk);
    EXPECT_EQ(Keys(root), std::vector<double>{10});
    EXPECT_EQ(Walk(root, {10}).amount, 10);
}

TEST(AddLine, DecreasingAmountFailsButKeepsWhatWasMerged) {
    SchematicNode root;
    EXPECT_EQ(AddLine(root, {0, 10, 5}, false), LineStatus::kDecreasingAmount);
    EXPECT_EQ(Keys(Walk(root, {0, 10})), (std::vector<double>{10, kFoldKey}));
    EXPECT_EQ(AddLine(root, {-1}, false), LineStatus::kDecreasingAmount);
}

TEST(AddLine, LaterStreetsStartWithOopAndCountStreets) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 0, 0, 20, 20, 20, 20}, false), LineStatus::kOk);
    const SchematicNode& turn_check = Walk(root, {0, 0, 0});
    EXPECT_EQ(turn_check.street_offset, 1);
    EXPECT_EQ(turn_check.player, 1);
    const SchematicNode& river = Walk(root, {0, 0, 0, 20, 20});
    EXPECT_EQ(river.street_offset, 2);
    EXPECT_EQ(river.player, 0);
    const SchematicNode& river_check = Walk(river, {20});
    EXPECT_EQ(river_check.player, 1);
    EXPECT_EQ(Keys(river_check), std::vector<double>{20});  // check pending: auto check
    EXPECT_EQ(Walk(river_check, {20}).street_offset, 3);
}

TEST(ForceLine, RemovesEveryOtherChildOnTheWay) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0}, false), LineStatus::kOk);
    ASSERT_EQ(AddLine(root, {20}, false), LineStatus::kOk);
    ASSERT_EQ(AddLine(root, {10}, true), LineStatus::kOk);
    EXPECT_EQ(Keys(root), std::vector<double>{10});
    ASSERT_EQ(AddLine(root, {10, 10}, true), LineStatus::kOk);
    EXPECT_EQ(Keys(Walk(root, {10})), std::vector<double>{10});  // the fold answer is gone
}

TEST(RemoveLine, ZeroAfterABetIsTheFold) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 10, 10}, false), LineStatus::kOk);
    RemoveLine(root, {0, 10, 0});
    EXPECT_EQ(Keys(Walk(root, {0, 10})), std::vector<double>{10});
    RemoveLine(root, {0, 10, 10});
    EXPECT_TRUE(Walk(root, {0, 10}).IsEnd());
}

TEST(RemoveLine, ALineThatLeavesTheTreeRemovesNothing) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 10}, false), LineStatus::kOk);
    RemoveLine(root, {0, 20, 20});
    RemoveLine(root, {5});
    EXPECT_EQ(Keys(Walk(root, {0, 10})), (std::vector<double>{10, kFoldKey}));
    RemoveLine(root, {0});
    EXPECT_TRUE(root.IsEnd());
}

TEST(SchematicNode, NanKeyFindsNothing) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {10}, false), LineStatus::kOk);
    EXPECT_EQ(root.Child(std::nan("")), nullptr);
    EXPECT_EQ(LargestAmount(root), 10);
}

}  // namespace
