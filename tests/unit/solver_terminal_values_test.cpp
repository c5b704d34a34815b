// Fold and showdown values against the O(n^2) pairwise references, on random river boards
// and ranges, through every kernel body.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "solver/ev_boost.h"
#include "solver/fold_values.h"
#include "solver/rake.h"
#include "solver/showdown_values.h"
#include "solver/strength_groups.h"
#include "solver_reference.h"

namespace {

using solver_reference::RiverRunout;

constexpr SimdPath kAllPaths[] = {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512};

int Card(const char* text) {
    const char* ranks = "23456789TJQKA";
    const char* suits = "cdhs";
    return int(std::strchr(suits, text[1]) - suits) * 13 + int(std::strchr(ranks, text[0]) - ranks);
}

int IndexOf(const RiverRunout& runout, const char* a, const char* b) {
    int x = std::min(Card(a), Card(b)), y = std::max(Card(a), Card(b));
    for (size_t i = 0; i < runout.cards.size(); ++i)
        if (runout.cards[i].first == x && runout.cards[i].second == y)
            return int(i);
    return -1;
}

// Tolerance for float sweeps against double sums: a few float ulps of the total mass.
double Tolerance(const std::vector<float>& reach, double stake) {
    return 4e-6 * stake * (1.0 + std::accumulate(reach.begin(), reach.end(), 0.0));
}

void ExpectNear(const std::vector<float>& got, const std::vector<double>& want, double tol,
                const char* what) {
    ASSERT_EQ(got.size(), want.size());
    int bad = 0;
    for (size_t i = 0; i < got.size() && bad < 5; ++i)
        if (!(std::fabs(got[i] - want[i]) <= tol)) {
            ADD_FAILURE() << what << " combo " << i << ": " << got[i] << " vs " << want[i];
            ++bad;
        }
}

std::vector<float> Showdown(SimdPath path, const StrengthGroups& groups, const uint16_t* masks,
                            const std::vector<float>& reach, float stake, float rake_rate) {
    std::vector<float> values(reach.size(), -1.0f);
    TerminalScratch    scratch;
    ShowdownValues(KernelsFor(path), groups, masks, {reach.data(), values.data(), stake, rake_rate},
                   scratch);
    return values;
}

std::vector<float> Fold(SimdPath path, const std::vector<CardPair>& cards,
                        const std::vector<float>& reach, float payoff, float rake_rate) {
    std::vector<float> values(reach.size(), -1.0f);
    TerminalScratch    scratch;
    FoldValues(KernelsFor(path), cards, {reach.data(), values.data(), payoff, rake_rate}, scratch);
    return values;
}

// The same runout with its combo list re-ordered weakest first, so that the groups'
// order is the identity (the layout a tree may choose for river combos).
RiverRunout SortedByStrength(const RiverRunout& runout) {
    std::vector<size_t> order(runout.cards.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return runout.strength[a] < runout.strength[b]; });
    RiverRunout sorted = runout;
    for (size_t k = 0; k < order.size(); ++k) {
        sorted.cards[k]    = runout.cards[order[k]];
        sorted.strength[k] = runout.strength[order[k]];
    }
    return sorted;
}

TEST(ReferenceHandValue, OrdersCategoriesAndKickers) {
    auto value = [](std::initializer_list<const char*> names) {
        std::vector<int> cards;
        for (const char* n : names)
            cards.push_back(Card(n));
        return solver_reference::HandValue(cards.data(), int(cards.size()));
    };
    const uint32_t straight_flush = value({"9h", "Th", "Jh", "Qh", "Kh", "2c", "2d"});
    const uint32_t quads          = value({"9h", "9c", "9d", "9s", "Kh", "2c", "3d"});
    const uint32_t full_house     = value({"9h", "9c", "9d", "Ks", "Kh", "2c", "3d"});
    const uint32_t flush          = value({"2h", "7h", "9h", "Jh", "Kh", "2c", "3d"});
    const uint32_t straight       = value({"9h", "Tc", "Jh", "Qd", "Kh", "2c", "3d"});
    const uint32_t wheel          = value({"Ah", "2c", "3h", "4d", "5h", "Jc", "Qd"});
    const uint32_t trips          = value({"9h", "9c", "9d", "Ks", "Qh", "2c", "3d"});
    const uint32_t two_pair       = value({"9h", "9c", "Kd", "Ks", "Qh", "2c", "3d"});
    const uint32_t pair           = value({"9h", "9c", "Ad", "Ks", "Qh", "2c", "3d"});
    const uint32_t high           = value({"9h", "8c", "Ad", "Ks", "Qh", "2c", "3d"});
    EXPECT_GT(straight_flush, quads);
    EXPECT_GT(quads, full_house);
    EXPECT_GT(full_house, flush);
    EXPECT_GT(flush, straight);
    EXPECT_GT(straight, wheel);
    EXPECT_GT(wheel, trips);
    EXPECT_GT(trips, two_pair);
    EXPECT_GT(two_pair, pair);
    EXPECT_GT(pair, high);
    // The best five count: a sixth and seventh card below the kickers change nothing.
    EXPECT_EQ(value({"9h", "9c", "Ad", "Ks", "Qh", "2c", "3d"}),
              value({"9h", "9c", "Ad", "Ks", "Qh", "4c", "5d"}));
    EXPECT_LT(value({"9h", "9c", "Ad", "Ks", "Jh", "2c", "3d"}), pair);
}

TEST(StrengthGroups, SortsWeakestFirstAndGroupsEqualValues) {
    std::mt19937      rng(7);
    const RiverRunout runout = solver_reference::RandomRiver(rng);
    StrengthGroups    groups = BuildStrengthGroups(runout.cards, runout.strength);
    ASSERT_EQ(groups.combo_count, 1081);
    EXPECT_FALSE(groups.identity_order);
    int covered = 0;
    for (int g = 0; g < groups.GroupCount(); ++g) {
        ASSERT_EQ(groups.group_starts[g], covered);
        for (int j = 0; j < groups.group_sizes[g]; ++j) {
            int k = covered + j;
            EXPECT_EQ(runout.strength[groups.order[k]], runout.strength[groups.order[covered]]);
            EXPECT_EQ(groups.sorted_cards[k].first, runout.cards[groups.order[k]].first);
        }
        if (g > 0)
            EXPECT_LT(runout.strength[groups.order[covered - 1]], runout.strength[groups.order[covered]]);
        covered += groups.group_sizes[g];
    }
    EXPECT_EQ(covered, 1081);
    EXPECT_TRUE(BuildStrengthGroups(SortedByStrength(runout).cards, SortedByStrength(runout).strength)
                    .identity_order);
}

TEST(RakeRate, FractionUntilTheCapThenCapOverPot) {
    const RakeSettings rake{0.05f, 3.0f};
    EXPECT_TRUE(rake.Enabled());
    EXPECT_FLOAT_EQ(RakeRate(rake, 20.0f), 0.05f);    // pot 40: rake 2, below the cap
    EXPECT_FLOAT_EQ(RakeRate(rake, 40.0f), 0.0375f);  // pot 80: 4 would pass the cap of 3
    EXPECT_EQ(RakeRate(rake, -20.0f), 0.0f);          // the folder's own terminal
    EXPECT_EQ(RakeRate({0.05f, 0.0f}, 20.0f), 0.0f);
    EXPECT_FALSE((RakeSettings{0.05f, 0.0f}.Enabled()));
    EXPECT_FALSE((RakeSettings{0.0f, 3.0f}.Enabled()));
    EXPECT_FLOAT_EQ(RakedFoldPayoff(20.0f, 0.05f), 18.0f);
    EXPECT_EQ(RakedFoldPayoff(-20.0f, 0.05f), -20.0f);
}

// The main property: linear-time values equal the pairwise sums on random boards and
// ranges, for every body, with and without rake, masks and identity order.
TEST(ShowdownValues, MatchPairwiseReferenceOnRandomRivers) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        RiverRunout  runout = solver_reference::RandomRiver(rng);
        if (seed % 2 == 0)
            runout = SortedByStrength(runout);
        const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
        const auto reach  = solver_reference::RandomReach(rng, runout.cards.size(), 0.1 * seed);
        const auto masks  = BuildReachableMasks(groups, reach.data());
        const float stake = 10.0f + float(seed);
        for (float rake_rate : {0.0f, 0.05f, 0.0375f}) {
            const auto want = solver_reference::PairwiseShowdownValues(runout.cards, runout.strength,
                                                                       reach, stake, rake_rate);
            for (SimdPath path : kAllPaths) {
                SCOPED_TRACE(SimdPathName(path));
                ExpectNear(Showdown(path, groups, masks.data(), reach, stake, rake_rate), want,
                           Tolerance(reach, stake), "masked");
                ExpectNear(Showdown(path, groups, nullptr, reach, stake, rake_rate), want,
                           Tolerance(reach, stake), "unmasked");
            }
        }
    }
}

TEST(FoldValues, MatchPairwiseReferenceOnRandomRivers) {
    for (unsigned seed = 11; seed <= 16; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937      rng(seed);
        const RiverRunout runout = solver_reference::RandomRiver(rng);
        const auto reach = solver_reference::RandomReach(rng, runout.cards.size(), 0.15 * (seed - 10));
        for (float payoff : {25.0f, -25.0f}) {
            for (float rake_rate : {0.0f, 0.05f}) {
                const float rate = payoff > 0 ? rake_rate : 0.0f;
                const auto  want = solver_reference::PairwiseFoldValues(runout.cards, reach, payoff, rate);
                for (SimdPath path : kAllPaths) {
                    SCOPED_TRACE(SimdPathName(path));
                    ExpectNear(Fold(path, runout.cards, reach, payoff, rate), want,
                               Tolerance(reach, 25.0), "fold");
                }
            }
        }
    }
}

TEST(TerminalValues, WideBodiesGiveTheScalarBitsAndWorkInPlace) {
    std::mt19937         rng(99);
    const RiverRunout    runout = solver_reference::RandomRiver(rng);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    const auto           reach  = solver_reference::RandomReach(rng, runout.cards.size(), 0.3);
    for (float rake_rate : {0.0f, 0.04f}) {
        const auto showdown = Showdown(SimdPath::kScalar, groups, nullptr, reach, 30.0f, rake_rate);
        const auto fold     = Fold(SimdPath::kScalar, runout.cards, reach, 30.0f, rake_rate);
        for (SimdPath path : kAllPaths) {
            SCOPED_TRACE(SimdPathName(path));
            EXPECT_EQ(Showdown(path, groups, nullptr, reach, 30.0f, rake_rate), showdown);
            EXPECT_EQ(Fold(path, runout.cards, reach, 30.0f, rake_rate), fold);
            TerminalScratch    scratch;
            std::vector<float> in_place = reach;
            ShowdownValues(KernelsFor(path), groups, nullptr,
                           {in_place.data(), in_place.data(), 30.0f, rake_rate}, scratch);
            EXPECT_EQ(in_place, showdown);
            in_place = reach;
            FoldValues(KernelsFor(path), runout.cards,
                       {in_place.data(), in_place.data(), 30.0f, rake_rate}, scratch);
            EXPECT_EQ(in_place, fold);
        }
    }
}

TEST(ShowdownValues, MergedMasksOfSeveralPatternsGiveTheSameValues) {
    std::mt19937         rng(5);
    const RiverRunout    runout = solver_reference::RandomRiver(rng);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    const auto           a      = solver_reference::RandomReach(rng, runout.cards.size(), 0.8);
    const auto           b      = solver_reference::RandomReach(rng, runout.cards.size(), 0.8);
    auto                 masks  = BuildReachableMasks(groups, a.data());
    MergeReachableMasks(masks, BuildReachableMasks(groups, b.data()));
    for (SimdPath path : kAllPaths)
        EXPECT_EQ(Showdown(path, groups, masks.data(), a, 7.0f, 0.0f),
                  Showdown(path, groups, nullptr, a, 7.0f, 0.0f));
}

TEST(ShowdownValues, BatchEvaluatesEveryLaneLikeASingleTerminal) {
    std::mt19937         rng(21);
    const RiverRunout    runout = solver_reference::RandomRiver(rng);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    const size_t         n      = runout.cards.size();
    std::vector<std::vector<float>> reach, values(37, std::vector<float>(n));
    std::vector<ShowdownLane>       lanes;
    for (int t = 0; t < 37; ++t) {
        reach.push_back(solver_reference::RandomReach(rng, n, 0.5));
        lanes.push_back({reach[t].data(), values[t].data(), 5.0f + t, t % 3 ? 0.0f : 0.02f});
    }
    auto masks = BuildReachableMasks(groups, reach[0].data());
    for (int t = 1; t < 37; ++t)
        MergeReachableMasks(masks, BuildReachableMasks(groups, reach[t].data()));
    for (SimdPath path : kAllPaths) {
        SCOPED_TRACE(SimdPathName(path));
        for (const uint16_t* mask : {static_cast<const uint16_t*>(nullptr), static_cast<const uint16_t*>(masks.data())}) {
            TerminalScratch scratch;
            EvaluateShowdowns(KernelsFor(path), groups, mask, lanes, scratch);
            for (int t = 0; t < 37; ++t)
                EXPECT_EQ(values[t], Showdown(SimdPath::kScalar, groups, nullptr, reach[t],
                                              lanes[t].stake, lanes[t].rake_rate))
                    << "lane " << t;
        }
    }
}

// Batches of every width, including a lane without reach, in place over the reach.
TEST(TerminalValues, BatchesOfEveryWidthWorkInPlace) {
    std::mt19937         rng(33);
    const int            board[5] = {Card("Ks"), Card("7h"), Card("2d"), Card("9c"), Card("3s")};
    const RiverRunout    runout   = solver_reference::RiverFromBoard(board);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    const size_t         n      = runout.cards.size();
    for (int width : {1, 2, 5, 8, 9, 15, 16}) {
        SCOPED_TRACE(testing::Message() << "width " << width);
        std::vector<std::vector<float>> reach;
        for (int t = 0; t < width; ++t)
            reach.push_back(solver_reference::RandomReach(rng, n, 0.05 + 0.05 * t));
        for (SimdPath path : kAllPaths) {
            SCOPED_TRACE(SimdPathName(path));
            for (float rake_rate : {0.0f, 0.03f}) {
                std::vector<std::vector<float>> showdown = reach, fold = reach;
                std::vector<ShowdownLane>       showdown_lanes;
                std::vector<FoldLane>           fold_lanes;
                for (int t = 0; t < width; ++t) {
                    const bool  absent = t == 1;
                    const float payoff = t % 2 ? -9.0f - t : 9.0f + t;
                    showdown_lanes.push_back({absent ? nullptr : showdown[t].data(),
                                              showdown[t].data(), 4.0f + t, rake_rate});
                    fold_lanes.push_back({absent ? nullptr : fold[t].data(), fold[t].data(),
                                          payoff, payoff > 0 ? rake_rate : 0.0f});
                }
                TerminalScratch scratch;
                EvaluateShowdowns(KernelsFor(path), groups, nullptr, showdown_lanes, scratch);
                EvaluateFolds(KernelsFor(path), runout.cards, fold_lanes, scratch);
                for (int t = 0; t < width; ++t) {
                    const auto& fl = fold_lanes[t];
                    EXPECT_EQ(showdown[t],
                              t == 1 ? std::vector<float>(n, 0.0f)
                                     : Showdown(SimdPath::kScalar, groups, nullptr, reach[t],
                                                4.0f + t, rake_rate))
                        << "showdown lane " << t;
                    EXPECT_EQ(fold[t], t == 1 ? std::vector<float>(n, 0.0f)
                                              : Fold(SimdPath::kScalar, runout.cards, reach[t],
                                                     fl.payoff, fl.rake_rate))
                        << "fold lane " << t;
                }
            }
        }
    }
}

TEST(ShowdownValues, AlternativeSingleKernelGivesTheSameBits) {
    std::mt19937         rng(8);
    const RiverRunout    runout = solver_reference::RandomRiver(rng);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    const auto           reach  = solver_reference::RandomReach(rng, runout.cards.size(), 0.7);
    for (SimdPath path : kAllPaths) {
        std::vector<float> values(reach.size());
        TerminalScratch    scratch;
        ShowdownValuesAlt1(KernelsFor(path), groups, nullptr,
                           {reach.data(), values.data(), 12.0f, 0.0f}, scratch);
        EXPECT_EQ(values, Showdown(SimdPath::kScalar, groups, nullptr, reach, 12.0f, 0.0f));
    }
}

TEST(FoldValues, EdgeCasesOfCardRemoval) {
    const int         board[5] = {Card("Ks"), Card("7h"), Card("2d"), Card("9c"), Card("3s")};
    const RiverRunout runout   = solver_reference::RiverFromBoard(board);
    const size_t      n        = runout.cards.size();
    for (SimdPath path : kAllPaths) {
        SCOPED_TRACE(SimdPathName(path));
        // No opponent reach at all: every value is 0, and an absent reach vector likewise.
        EXPECT_EQ(Fold(path, runout.cards, std::vector<float>(n, 0.0f), 10.0f, 0.0f),
                  std::vector<float>(n, 0.0f));
        std::vector<float> values(n, 5.0f);
        TerminalScratch    scratch;
        FoldValues(KernelsFor(path), runout.cards, {nullptr, values.data(), 10.0f, 0.0f}, scratch);
        EXPECT_EQ(values, std::vector<float>(n, 0.0f));
        // One opponent combo (AhAd) with reach 1: P for combos without its cards, 0 for the
        // ones sharing a card and for AhAd itself.
        std::vector<float> reach(n, 0.0f);
        const int          aces = IndexOf(runout, "Ah", "Ad");
        reach[aces]             = 1.0f;
        const auto got          = Fold(path, runout.cards, reach, -12.5f, 0.0f);
        EXPECT_EQ(got[aces], 0.0f);
        EXPECT_EQ(got[IndexOf(runout, "Ah", "Qc")], 0.0f);
        EXPECT_EQ(got[IndexOf(runout, "Qc", "Ad")], 0.0f);
        EXPECT_EQ(got[IndexOf(runout, "Qc", "Qd")], -12.5f);
    }
}

TEST(ShowdownValues, BoardThatPlaysTiesEveryone) {
    // A royal flush on the board: every combo plays the board and ties.
    const int         board[5] = {Card("As"), Card("Ks"), Card("Qs"), Card("Js"), Card("Ts")};
    const RiverRunout runout   = solver_reference::RiverFromBoard(board);
    const StrengthGroups groups = BuildStrengthGroups(runout.cards, runout.strength);
    ASSERT_EQ(groups.GroupCount(), 1);
    std::mt19937 rng(3);
    const auto   reach = solver_reference::RandomReach(rng, runout.cards.size(), 0.2);
    // The card-removed tied mass of each combo: a fold sweep with payoff 1.
    const auto mass = solver_reference::PairwiseFoldValues(runout.cards, reach, 1.0, 0.0);
    for (SimdPath path : kAllPaths) {
        SCOPED_TRACE(SimdPathName(path));
        const auto plain = Showdown(path, groups, nullptr, reach, 20.0f, 0.0f);
        const auto raked = Showdown(path, groups, nullptr, reach, 20.0f, 0.05f);
        for (size_t i = 0; i < reach.size(); ++i) {
            EXPECT_NEAR(plain[i], 0.0f, 1e-3) << i;
            EXPECT_NEAR(raked[i], -20.0 * 0.05 * mass[i], 1e-3) << i;
        }
    }
}

TEST(EvBoost, RescalesByTheKindOfTheReturningNode) {
    const float boost = 0.25f;
    auto        run   = [&](BoostedReturn kind) {
        std::vector<float> v = {2.0f, -2.0f, 0.0f};
        ApplyEvBoost(kind, boost, v.data(), 3);
        return v;
    };
    const float down = static_cast<float>(1.0 / 1.25);
    EXPECT_EQ(run(BoostedReturn::kShowdownEnd), (std::vector<float>{2.5f, -2.0f * down, 0.0f}));
    EXPECT_EQ(run(BoostedReturn::kLaterStreetDecision), (std::vector<float>{2.5f, -2.0f * down, 0.0f}));
    EXPECT_EQ(run(BoostedReturn::kSameStreetDecision), (std::vector<float>{2.5f, -2.0f, 0.0f}));
    EXPECT_EQ(run(BoostedReturn::kFoldEnd), (std::vector<float>{1.5f, -1.5f, 0.0f}));
}

}  // namespace
