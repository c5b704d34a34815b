#include "tree/runout_coverage.h"

#include <array>

#include "cards/card.h"

namespace {

constexpr int kCards = 52;

struct LiveCombos {
    uint64_t                                     total = 0;
    std::array<uint64_t, kCards>                 with_card{};
    std::array<std::array<bool, kCards>, kCards> pair{};
};

LiveCombos CountLive(const std::vector<double>& range, uint64_t dead) {
    LiveCombos live;
    for (int a = 1; a < kCards; ++a)
        for (int b = 0; b < a; ++b) {
            size_t index = static_cast<size_t>(a * (a - 1) / 2 + b);
            if (index >= range.size() || !(range[index] > 0) || (dead >> a & 1) || (dead >> b & 1))
                continue;
            ++live.total;
            ++live.with_card[a];
            ++live.with_card[b];
            live.pair[a][b] = live.pair[b][a] = true;
        }
    return live;
}

std::vector<int> DealableCards(uint64_t dead, int low_rank) {
    std::vector<int> cards;
    for (int card = 0; card < kCards; ++card)
        if (!(dead >> card & 1) && RankOf(card) >= low_rank)
            cards.push_back(card);
    return cards;
}

}  // namespace

RunoutCoverage CoverageOf(const std::vector<double>& range, const TreeBoard& board, int low_rank,
                          int street) {
    uint64_t   dead = board.Mask();
    LiveCombos live = CountLive(range, dead);
    int        open = street - board.BaseStreet();  // cards still to come before 'street'
    if (open <= 0)
        return {1, live.total};
    std::vector<int> cards = DealableCards(dead, low_rank);
    RunoutCoverage   coverage{0, 0};
    if (open == 1) {
        for (int card : cards) {
            ++coverage.runouts;
            coverage.combo_runouts += live.total - live.with_card[card];
        }
        return coverage;
    }
    for (int turn : cards)
        for (int river : cards) {
            if (turn == river)
                continue;
            ++coverage.runouts;
            coverage.combo_runouts += live.total - live.with_card[turn] - live.with_card[river] +
                                      live.pair[turn][river];
        }
    return coverage;
}
