// Slow, obviously correct references for the solver's terminal values, and a tiny
// independent hand ranking to give them strengths. Test-only.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "solver/card_pair.h"

namespace solver_reference {

// Value of the best five-card hand among 'count' cards (ids suit * 13 + rank): category
// (0 high card .. 8 straight flush) in bits 20..23, then the five deciding ranks, highest
// first, one nibble each. Larger is stronger; equal values tie.
uint32_t HandValue(const int* cards, int count);

// A complete river runout: five board cards and the 1081 combos that avoid them, each
// with its cards and the strength of board + combo.
struct RiverRunout {
    int                   board[5];
    std::vector<CardPair> cards;
    std::vector<uint32_t> strength;
};

// A random distinct five-card board and its combos in ascending (first, second) order.
RiverRunout RandomRiver(std::mt19937& rng);

// The runout for a given board.
RiverRunout RiverFromBoard(const int (&board)[5]);

// Random opponent reach: each combo 0 with probability 'zero_share', else uniform in
// (0, 1].
std::vector<float> RandomReach(std::mt19937& rng, size_t n, double zero_share);

// O(n^2) fold values: for each combo i, the sum over combos j sharing no card with i of
// reach[j] * P', P' = P * (1 - 2r) when P > 0, else P.
std::vector<double> PairwiseFoldValues(const std::vector<CardPair>& cards,
                                       const std::vector<float>& reach, double payoff,
                                       double rake_rate);

// O(n^2) showdown values: the same sum with payoff A (1 - 2r) against weaker combos, -A r
// against equal ones and -A against stronger ones.
std::vector<double> PairwiseShowdownValues(const std::vector<CardPair>& cards,
                                           const std::vector<uint32_t>& strength,
                                           const std::vector<float>& reach, double stake,
                                           double rake_rate);

}  // namespace solver_reference
