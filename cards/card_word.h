// The rank-by-suit word the evaluator works on: suit s occupies bits 16s..16s+12, bit
// 16s + r standing for the card of rank r. Unlike a CardMask, the four 13-bit suit masks
// sit at fixed 16-bit lanes, so each is one shift and one AND away.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "cards/card.h"

using CardWord = uint64_t;

// clang-format off
constexpr std::array<CardWord, kCardCount> kCardWordBits = [] {
    std::array<CardWord, kCardCount> bits{};
    for (int card = 0; card < kCardCount; ++card)
        bits[card] = CardWord{1} << (16 * SuitOf(card) + RankOf(card));
    return bits;
}();
// clang-format on

constexpr CardWord CardWordOf(const int* cards, int n) {
    CardWord word = 0;
    for (int i = 0; i < n; ++i)
        word |= kCardWordBits[cards[i]];
    return word;
}

// The same for a count known at compile time, unrolled.
template <int n>
constexpr CardWord CardWordOf(const int* cards) {
    return [&]<size_t... i>(std::index_sequence<i...>) {
        return (kCardWordBits[cards[i]] | ...);
    }(std::make_index_sequence<n>{});
}

// The word of a CardMask: moves each suit's 13 bits to its 16-bit lane.
constexpr CardWord CardWordOfMask(CardMask mask) {
    return (mask & 0x1FFF) | (mask >> 13 & 0x1FFF) << 16 | (mask >> 26 & 0x1FFF) << 32 |
           (mask >> 39 & 0x1FFF) << 48;
}
