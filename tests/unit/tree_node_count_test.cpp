// node_count: runout-weighted decisions, splits and ends of the schematic tree.
#include <gtest/gtest.h>

#include "tree/line_editing.h"
#include "tree/node_count.h"

namespace {

TEST(CountNodes, CheckCheckOnTheFlop) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 0}, false), LineStatus::kOk);
    NodeCounts counts = CountNodes(root, 1);
    EXPECT_EQ(counts.decisions[0][1], 1);
    EXPECT_EQ(counts.decisions[1][1], 1);
    EXPECT_EQ(counts.splits[1], 1);
    EXPECT_EQ(counts.ends[1], 1);
    EXPECT_EQ(counts.grand_total + 1, 5);
    EXPECT_EQ(NodeCountReport(counts),
              "H_DEC: 1\nFLOP  1\nTURN  0\nRIVER  0\n"
              "V_DEC: 1\nFLOP  1\nTURN  0\nRIVER  0\n"
              "SPLIT: 1\nFLOP  1\nTURN  0\nRIVER  0\n"
              "END: 1\nFLOP  1\nTURN  0\nRIVER  0\n"
              "ROOT: 1\nFLOP  1\nTURN  0\nRIVER 0\n"
              "TOTAL: 5\n");
}

TEST(CountNodes, LaterStreetsWeighByTheirRunouts) {
    SchematicNode root;
    // Flop check-check, turn bet-call, river check-check.
    ASSERT_EQ(AddLine(root, {0, 0, 10, 10, 10, 10}, false), LineStatus::kOk);
    NodeCounts counts = CountNodes(root, 1);
    EXPECT_EQ(counts.decisions[0][2], 49);    // OOP opens the turn
    EXPECT_EQ(counts.decisions[1][2], 49);    // IP faces the turn bet
    EXPECT_EQ(counts.decisions[0][3], 2352);  // river root
    EXPECT_EQ(counts.decisions[1][3], 2352);  // river check
    EXPECT_EQ(counts.splits[1], 1);
    EXPECT_EQ(counts.splits[2], 49);
    EXPECT_EQ(counts.splits[3], 2352);  // check behind closes the river
    EXPECT_EQ(counts.ends[2], 49);      // the fold to the turn bet
    EXPECT_EQ(counts.ends[3], 2352);
}

TEST(CountNodes, TurnTreeCountsFromTheTurn) {
    SchematicNode root;
    ASSERT_EQ(AddLine(root, {0, 0}, false), LineStatus::kOk);
    NodeCounts counts = CountNodes(root, 2);
    EXPECT_EQ(counts.decision_total[0], 49);
    EXPECT_EQ(counts.grand_total, 4 * 49);
    EXPECT_NE(NodeCountReport(counts).find("ROOT: 1\nFLOP  0\nTURN  1\nRIVER 0\n"),
              std::string::npos);
}

}  // namespace
