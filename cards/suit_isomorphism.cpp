#include "cards/suit_isomorphism.h"

#include "cards/combo_tables.h"

namespace {

constexpr CardMask kSuitBits = (CardMask{1} << kRankCount) - 1;

uint32_t RanksOfSuit(CardMask mask, int suit) {
    return static_cast<uint32_t>(mask >> (kRankCount * suit) & kSuitBits);
}

// Labels suits in the order they are handed in; a suit already labelled keeps its label.
class SuitLabeller {
public:
    void Label(int suit) {
        if (labels_[suit] < 0)
            labels_[suit] = next_++;
    }
    void LabelCardSuit(CardMask card) {
        if (card)
            Label(SuitOf(LowestCard(card)));
    }
    SuitPermutation Result() {
        for (int suit = 0; suit < kSuitCount; ++suit)
            Label(suit);
        SuitPermutation permutation{};
        for (int suit = 0; suit < kSuitCount; ++suit)
            permutation[suit] = static_cast<uint8_t>(labels_[suit]);
        return permutation;
    }

private:
    std::array<int, kSuitCount> labels_ = {-1, -1, -1, -1};
    int                         next_   = 0;
};

}  // namespace

SuitPermutation RelabelSuits(CardMask& flop, CardMask& turn, CardMask& river) {
    std::array<int, kSuitCount> count{};
    for (int suit = 0; suit < kSuitCount; ++suit)
        count[suit] = std::popcount(RanksOfSuit(flop, suit));
    SuitLabeller labeller;
    for (int wanted : {3, 2, 1})  // monotone suit, two-tone pair suit, then ascending singles
        for (int suit = 0; suit < kSuitCount; ++suit)
            if (count[suit] == wanted)
                labeller.Label(suit);
    labeller.LabelCardSuit(turn);
    labeller.LabelCardSuit(river);
    SuitPermutation permutation = labeller.Result();
    flop                        = PermuteSuits(flop, permutation);
    turn                        = PermuteSuits(turn, permutation);
    river                       = PermuteSuits(river, permutation);
    return permutation;
}

SuitPermutation InverseSuits(const SuitPermutation& permutation) {
    SuitPermutation inverse{};
    for (int suit = 0; suit < kSuitCount; ++suit)
        inverse[permutation[suit]] = static_cast<uint8_t>(suit);
    return inverse;
}

CardMask PermuteSuits(CardMask mask, const SuitPermutation& permutation) {
    CardMask result = 0;
    for (int suit = 0; suit < kSuitCount; ++suit)
        result |= CardMask{RanksOfSuit(mask, suit)} << (kRankCount * permutation[suit]);
    return result;
}

int PermuteCombo(int internal, const SuitPermutation& permutation) {
    ComboCards cards = Combos().cards_of_internal[internal];
    return InternalIndexOf(PermuteCard(cards.high, permutation), PermuteCard(cards.low, permutation));
}

Range PermuteRange(const Range& range, const SuitPermutation& permutation) {
    Range result(range.size());
    for (size_t k = 0; k < range.size(); ++k)
        result[PermuteCombo(static_cast<int>(k), permutation)] = range[k];
    return result;
}

std::array<double, kCardCount> PermuteDeckWeights(const std::array<double, kCardCount>& weights,
                                                  const SuitPermutation& permutation) {
    std::array<double, kCardCount> result{};
    for (int card = 0; card < kCardCount; ++card)
        result[PermuteCard(card, permutation)] = weights[card];
    return result;
}

SuitPermutation AlikeSuits(CardMask cards) {
    SuitPermutation alike{};
    for (int suit = 0; suit < kSuitCount; ++suit) {
        int first = 0;
        while (RanksOfSuit(cards, first) != RanksOfSuit(cards, suit))
            ++first;
        alike[suit] = static_cast<uint8_t>(first);
    }
    return alike;
}
