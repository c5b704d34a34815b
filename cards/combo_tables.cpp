#include "cards/combo_tables.h"

#include <algorithm>
#include <string_view>

#include "cards/card_parser.h"

namespace {

// Card id of hand-order number n = 4 * rank + suit.
constexpr int CardOfHandNumber(int n) { return MakeCard(n / 4, n % 4); }

// Builds the tables from the hand-order texts, as every other user of card text would
// read them: parse each text, derive the internal index from its highest and lowest
// card, and file the combo under its hand class in hand order.
ComboTables MakeComboTables() {
    ComboTables                                  t{};
    std::array<std::array<uint16_t, 12>, kHandClassCount> members{};
    std::array<int, kHandClassCount>             member_count{};
    for (int hi = 1, p = 0; hi < kCardCount; ++hi) {
        for (int lo = 0; lo < hi; ++lo, ++p) {
            std::string text = CardText(CardOfHandNumber(hi)) + CardText(CardOfHandNumber(lo));
            std::copy(text.begin(), text.end(), t.text[p].begin());
            t.text_line += (p ? " " : "") + text;

            CardMask mask = ParseCards(text);
            int      b    = LowestCard(mask);
            int      a    = LowestCard(mask & ~CardBit(b));
            int      k    = PairIndex(a, b);
            t.mask[p]              = mask;
            t.internal_of_hand[p]  = static_cast<uint16_t>(k);
            t.hand_of_internal[k]  = static_cast<int16_t>(p);
            t.cards_of_internal[k] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b)};

            int hand_class = HandClassOf(a, b);
            members[hand_class][member_count[hand_class]++] = static_cast<uint16_t>(k);
        }
    }
    int filled = 0;
    for (int c = 0; c < kHandClassCount; ++c) {
        t.class_begin[c] = static_cast<uint16_t>(filled);
        for (int i = 0; i < member_count[c]; ++i)
            t.class_members[filled++] = members[c][i];
    }
    t.class_begin[kHandClassCount] = static_cast<uint16_t>(filled);
    return t;
}

}  // namespace

const ComboTables& Combos() {
    static const ComboTables tables = MakeComboTables();
    return tables;
}

void BuildComboTables() { Combos(); }

void HandToInternalOrder(std::span<const double, kComboCount> hand,
                         std::span<double, kComboCount>       internal) {
    const ComboTables& t = Combos();
    for (int k = 0; k < kComboCount; ++k)
        internal[k] = hand[t.hand_of_internal[k]];
}

void InternalToHandOrder(std::span<const double, kComboCount> internal,
                         std::span<double, kComboCount>       hand) {
    const ComboTables& t = Combos();
    for (int p = 0; p < kComboCount; ++p)
        hand[p] = internal[t.internal_of_hand[p]];
}
