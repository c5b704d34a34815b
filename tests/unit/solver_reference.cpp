#include "solver_reference.h"

#include <algorithm>
#include <array>

namespace solver_reference {
namespace {

constexpr int kRanks = 13;

bool Conflict(CardPair a, CardPair b) {
    return a.first == b.first || a.first == b.second || a.second == b.first || a.second == b.second;
}

// Highest card of a five-rank straight in the rank set, -1 if none (A-5 counts, high 5).
int StraightHigh(unsigned rank_bits) {
    for (int high = kRanks - 1; high >= 4; --high)
        if ((rank_bits >> (high - 4) & 0x1F) == 0x1F)
            return high;
    const unsigned wheel = 0x100F;  // A, 2, 3, 4, 5
    return (rank_bits & wheel) == wheel ? 3 : -1;
}

uint32_t Encode(int category, const std::vector<int>& ranks) {
    uint32_t value = static_cast<uint32_t>(category) << 20;
    for (size_t i = 0; i < 5; ++i)
        value |= static_cast<uint32_t>(i < ranks.size() ? ranks[i] : 0) << (16 - 4 * i);
    return value;
}

uint32_t FiveCardValue(const int* cards) {
    std::array<int, kRanks> count{};
    unsigned rank_bits = 0;
    bool     flush     = true;
    for (int i = 0; i < 5; ++i) {
        ++count[cards[i] % kRanks];
        rank_bits |= 1u << (cards[i] % kRanks);
        flush &= cards[i] / kRanks == cards[0] / kRanks;
    }
    const int straight = StraightHigh(rank_bits);
    if (straight >= 0)
        return Encode(flush ? 8 : 4, {straight});
    // Ranks ordered by (multiplicity, rank), both descending.
    std::vector<int> ranks;
    for (int r = kRanks - 1; r >= 0; --r)
        if (count[r] > 0)
            ranks.push_back(r);
    std::stable_sort(ranks.begin(), ranks.end(), [&](int a, int b) { return count[a] > count[b]; });
    const int top = count[ranks[0]], second = ranks.size() > 1 ? count[ranks[1]] : 0;
    int category = 0;
    if (top == 4) category = 7;
    else if (top == 3 && second == 2) category = 6;
    else if (flush) category = 5;
    else if (top == 3) category = 3;
    else if (top == 2 && second == 2) category = 2;
    else if (top == 2) category = 1;
    return Encode(category, ranks);
}

}  // namespace

uint32_t HandValue(const int* cards, int count) {
    uint32_t best = 0;
    int      pick[5];
    // Every five-card subset, by the bit patterns with five set bits.
    for (unsigned subset = 0; subset < (1u << count); ++subset) {
        if (__builtin_popcount(subset) != 5)
            continue;
        int k = 0;
        for (int i = 0; i < count; ++i)
            if (subset >> i & 1)
                pick[k++] = cards[i];
        best = std::max(best, FiveCardValue(pick));
    }
    return best;
}

RiverRunout RiverFromBoard(const int (&board)[5]) {
    RiverRunout runout;
    std::copy(board, board + 5, runout.board);
    uint64_t dead = 0;
    for (int c : board)
        dead |= uint64_t{1} << c;
    for (int a = 0; a < kCardCount; ++a)
        for (int b = a + 1; b < kCardCount; ++b) {
            if ((dead >> a & 1) || (dead >> b & 1))
                continue;
            int seven[7] = {board[0], board[1], board[2], board[3], board[4], a, b};
            runout.cards.push_back({uint8_t(a), uint8_t(b)});
            runout.strength.push_back(HandValue(seven, 7));
        }
    return runout;
}

RiverRunout RandomRiver(std::mt19937& rng) {
    std::array<int, kCardCount> deck;
    for (int c = 0; c < kCardCount; ++c)
        deck[c] = c;
    std::shuffle(deck.begin(), deck.end(), rng);
    const int board[5] = {deck[0], deck[1], deck[2], deck[3], deck[4]};
    return RiverFromBoard(board);
}

std::vector<float> RandomReach(std::mt19937& rng, size_t n, double zero_share) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<float>                     reach(n);
    for (float& r : reach)
        r = unit(rng) < zero_share ? 0.0f : static_cast<float>(1.0 - unit(rng));
    return reach;
}

std::vector<double> PairwiseFoldValues(const std::vector<CardPair>& cards,
                                       const std::vector<float>& reach, double payoff,
                                       double rake_rate) {
    const double        paid = payoff > 0 ? payoff * (1.0 - 2.0 * rake_rate) : payoff;
    std::vector<double> values(cards.size(), 0.0);
    for (size_t i = 0; i < cards.size(); ++i)
        for (size_t j = 0; j < cards.size(); ++j)
            if (!Conflict(cards[i], cards[j]))
                values[i] += reach[j] * paid;
    return values;
}

std::vector<double> PairwiseShowdownValues(const std::vector<CardPair>& cards,
                                           const std::vector<uint32_t>& strength,
                                           const std::vector<float>& reach, double stake,
                                           double rake_rate) {
    std::vector<double> values(cards.size(), 0.0);
    for (size_t i = 0; i < cards.size(); ++i)
        for (size_t j = 0; j < cards.size(); ++j) {
            if (Conflict(cards[i], cards[j]))
                continue;
            double payoff = strength[i] > strength[j]   ? stake * (1.0 - 2.0 * rake_rate)
                            : strength[i] == strength[j] ? -stake * rake_rate
                                                         : -stake;
            values[i] += reach[j] * payoff;
        }
    return values;
}

}  // namespace solver_reference
