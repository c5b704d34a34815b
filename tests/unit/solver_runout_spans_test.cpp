// The order of the runout combo lists: on every list of a flop tree each player's combos
// form one contiguous span, whatever merges suit isomorphism makes and with a deck
// distribution, and filtered lists keep their parent's order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "query_test_support.h"
#include "tree/built_tree.h"
#include "uniform_deck_afterwards.h"

namespace {

using namespace query_test;

// Checks that the positions of the list whose combo the player's range weights are
// exactly the list's span of that player, and that the spans are ordered OOP first.
void ExpectSpansCoverRanges(const CfrEngine& engine, const RunoutCombos& list,
                            const std::string& where) {
    for (int p = 0; p < 2; ++p) {
        const ComboSpan span = list.span[p];
        ASSERT_GE(span.first, 0) << where;
        ASSERT_LE(span.End(), list.Size()) << where;
        for (int i = 0; i < list.Size(); ++i) {
            const bool held   = engine.Tree().Range(p)[list.combo[i]] > 0;
            const bool inside = i >= span.first && i < span.End();
            ASSERT_EQ(held, inside) << where << " player " << p << " position " << i;
        }
    }
    EXPECT_EQ(list.span[0].first, 0) << where;
    EXPECT_EQ(list.span[1].End(), list.Size()) << where;
}

// Every list of the tree, each checked against the ranges, and each child against the
// order of its parent.
int CheckEveryList(const CfrEngine& engine) {
    const RunoutLists& lists = engine.Runouts();
    int                checked = 0;
    auto check = [&](const RunoutCombos& list, const std::string& where) {
        ExpectSpansCoverRanges(engine, list, where);
        for (int i = 1; i < list.Size(); ++i)
            EXPECT_LT(list.parent[i - 1], list.parent[i]) << where;
        ++checked;
    };
    check(lists.Root(), "root");
    for (const DealtCard& turn : lists.TurnDeals()) {
        check(lists.Turn(turn.slot), "turn card " + std::to_string(turn.card));
        for (const DealtCard& river : lists.RiverDeals(turn.slot))
            check(lists.River(turn.slot, river.slot),
                  "turn slot " + std::to_string(turn.slot) + " river slot " + std::to_string(river.slot));
    }
    return checked;
}

// Overlapping ranges: aces and queens both hold, kings and fives only OOP, jacks and
// nines only IP.
CfrEngine& BuildOverlappingFlop() {
    return BuildSpot({"set_board Qs Jh 2h", RangeCommand("OOP", AllCombosOf("AKQ5")),
                      RangeCommand("IP", AllCombosOf("AQJ9")), "set_pot 0 0 60",
                      "add_line 0 0 0 0 0 0", "add_line 0 0 30 30 30 30"});
}

}  // namespace

TEST(RunoutSpans, RootListHoldsOopOnlyThenBothThenIpOnly) {
    UniformDeckAfterwards restore;
    const CfrEngine&    engine = BuildOverlappingFlop();
    const RunoutCombos& root   = engine.Runouts().Root();
    const auto&         oop    = engine.Tree().Range(0);
    const auto&         ip     = engine.Tree().Range(1);
    int                 last_group = 0, last_combo = -1;
    for (int i = 0; i < root.Size(); ++i) {
        const int c     = root.combo[i];
        const int group = oop[c] > 0 ? (ip[c] > 0 ? 1 : 0) : 2;
        ASSERT_GE(group, last_group) << i;
        if (group == last_group)
            ASSERT_GT(c, last_combo) << i;  // combo order inside a group
        last_group = group, last_combo = c;
    }
    // Both groups of one player's own combos are there, and they overlap.
    EXPECT_GT(root.span[0].count, 0);
    EXPECT_GT(root.span[1].count, 0);
    EXPECT_LT(root.span[1].first, root.span[0].End());
    EXPECT_GT(root.span[1].first, 0);
    EXPECT_LT(root.span[0].End(), root.Size());
}

TEST(RunoutSpans, EveryListOfAFlopTreeKeepsEachPlayersCombosTogether) {
    UniformDeckAfterwards restore;
    for (const char* isomorphism : {"set_isomorphism 0 0", "set_isomorphism 1 1"}) {
        SCOPED_TRACE(isomorphism);
        RunCommand(isomorphism);
        const CfrEngine& engine = BuildOverlappingFlop();
        EXPECT_EQ(engine.Runouts().Isomorphic(), std::string(isomorphism).back() == '1');
        // Root, 49 turns less merged ones, and their rivers.
        EXPECT_GT(CheckEveryList(engine), 49 * 10);
    }
}

TEST(RunoutSpans, ListsKeepTheirSpansUnderADeckDistribution) {
    UniformDeckAfterwards restore;
    std::string deck = "set_deck_distribution";
    for (int card = 0; card < 52; ++card)
        deck += card % 5 == 0 ? " 0.5" : " 1";
    ASSERT_EQ(RunCommand(deck), "set_deck_distribution ok!\n");
    const CfrEngine& engine = BuildOverlappingFlop();
    EXPECT_FALSE(engine.Runouts().Isomorphic());
    EXPECT_EQ(CheckEveryList(engine), 1 + 49 + 49 * 48);
}
