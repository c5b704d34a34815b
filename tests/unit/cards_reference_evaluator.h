// A slow hand evaluator written from the rules of poker, for checking the fast one: it
// values every five-card subset on its own and keeps the best. Values use the same
// layout (type in the top byte, then the ranks that decide ties from the highest field
// down).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "cards/card.h"

namespace reference {

// Rank groups ordered by size, then rank: (3, K), (2, 9), (1, 5) ... The ranks in this
// order are exactly the tie-break fields of every type.
inline std::vector<std::pair<int, int>> RankGroups(const int* cards, int n) {
    std::array<int, 13> count{};
    for (int i = 0; i < n; ++i)
        ++count[RankOf(cards[i])];
    std::vector<std::pair<int, int>> groups;
    for (int rank = 12; rank >= 0; --rank)
        if (count[rank])
            groups.emplace_back(count[rank], rank);
    std::stable_sort(groups.begin(), groups.end(),
                     [](auto a, auto b) { return a.first > b.first; });
    return groups;
}

inline uint32_t Pack(int type, const std::vector<int>& fields) {
    uint32_t value = static_cast<uint32_t>(type) << 24;
    for (size_t i = 0; i < fields.size() && i < 5; ++i)
        value |= static_cast<uint32_t>(fields[i]) << (16 - 4 * i);
    return value;
}

// Top rank of a straight made by five distinct ranks, or -1.
inline int StraightTop(const std::vector<std::pair<int, int>>& groups) {
    if (groups.size() != 5)
        return -1;
    std::vector<int> ranks;
    for (auto [count, rank] : groups)
        ranks.push_back(rank);
    std::sort(ranks.rbegin(), ranks.rend());
    if (ranks[0] - ranks[4] == 4)
        return ranks[0];
    if (ranks == std::vector<int>{12, 3, 2, 1, 0})
        return 3;
    return -1;
}

// Three or four cards (no straights or flushes), or five cards.
inline uint32_t SmallHand(const int* cards, int n) {
    auto             groups = RankGroups(cards, n);
    std::vector<int> fields;
    for (auto [count, rank] : groups)
        fields.push_back(rank);
    bool flush = n == 5;
    for (int i = 1; i < n; ++i)
        flush &= SuitOf(cards[i]) == SuitOf(cards[0]);
    int straight = n == 5 ? StraightTop(groups) : -1;
    int largest  = groups[0].first;
    int second   = groups.size() > 1 ? groups[1].first : 0;
    if (straight >= 0 && flush)
        return Pack(8, {straight});
    if (largest == 4)
        return Pack(7, fields);
    if (largest == 3 && second == 2)
        return Pack(6, fields);
    if (flush)
        return Pack(5, fields);
    if (straight >= 0)
        return Pack(4, {straight});
    if (largest == 3)
        return Pack(3, fields);
    if (largest == 2 && second == 2)
        return Pack(2, fields);
    if (largest == 2)
        return Pack(1, fields);
    return Pack(0, fields);
}

// The best five-card value among all subsets of n = 5..7 cards; the small-hand value for
// n = 3 or 4.
inline uint32_t BestHand(const int* cards, int n) {
    if (n < 5)
        return SmallHand(cards, n);
    uint32_t best = 0;
    for (unsigned subset = 0; subset < (1u << n); ++subset) {
        if (__builtin_popcount(subset) != 5)
            continue;
        int five[5], k = 0;
        for (int i = 0; i < n; ++i)
            if (subset >> i & 1)
                five[k++] = cards[i];
        best = std::max(best, SmallHand(five, 5));
    }
    return best;
}

}  // namespace reference
