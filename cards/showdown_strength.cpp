#include "cards/showdown_strength.h"

#include <algorithm>
#include <cassert>

#include "cards/card_word.h"
#include "cards/hand_evaluator_kernel.h"
#include "cards/live_combos.h"

namespace {

// The board's five cards packed once, with the partial boards the must-use rules need:
// the five four-card and the ten three-card subsets.
struct BoardWords {
    CardWord full = 0;
    CardWord four[5]{};
    CardWord three[10]{};

    explicit BoardWords(CardMask board) {
        assert(CardCountOf(board) == 5);
        CardWord cards[5];
        for (int i = 0; i < 5; ++i, board &= board - 1) {
            cards[i] = kCardWordBits[LowestCard(board)];
            full |= cards[i];
        }
        for (int skip = 0; skip < 5; ++skip)
            four[skip] = full & ~cards[skip];
        int n = 0;
        for (int a = 0; a < 5; ++a)
            for (int b = a + 1; b < 5; ++b)
                three[n++] = full & ~cards[a] & ~cards[b];
    }
};

uint32_t Evaluate5(CardWord word, const EvalTables& t, const HandRules& rules) {
    return ApplyHandRules(RawHandValueOf<5>(word, t), word, rules);
}

uint32_t Strength(const BoardWords& board, ComboCards hole, const EvalTables& t,
                  const HandRules& rules) {
    const CardWord high = kCardWordBits[hole.high], low = kCardWordBits[hole.low];
    switch (rules.must_use_hole_cards) {
        case 1: {
            uint32_t best = 0;
            for (CardWord four : board.four)
                best = std::max({best, Evaluate5(four | high, t, rules), Evaluate5(four | low, t, rules)});
            return best;
        }
        case 2: {
            uint32_t best = 0;
            for (CardWord three : board.three)
                best = std::max(best, Evaluate5(three | high | low, t, rules));
            return best;
        }
        default: {
            CardWord word = board.full | high | low;
            return ApplyHandRules(RawHandValueOf<7>(word, t), word, rules);
        }
    }
}

}  // namespace

uint32_t ShowdownStrength(CardMask board, ComboCards hole, const HandRules& rules) {
    return Strength(BoardWords(board), hole, EvaluatorTables(), rules);
}

void ShowdownStrengths(CardMask board, std::span<const uint16_t> combos, const HandRules& rules,
                       std::span<uint32_t> strengths) {
    assert(strengths.size() >= combos.size());
    const BoardWords   words(board);
    const EvalTables&  t  = EvaluatorTables();
    const ComboTables& ct = Combos();
    for (size_t i = 0; i < combos.size(); ++i)
        strengths[i] = combos[i] == kNoCombo
                           ? kNoHandValue
                           : Strength(words, ct.cards_of_internal[combos[i]], t, rules);
}
