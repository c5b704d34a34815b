#include "cards/hand_evaluator.h"

#include "cards/hand_evaluator_kernel.h"

namespace {

// Step 3 of the pipeline: the lowest straight of a short deck.
uint32_t WithShortDeckStraight(uint32_t raw, CardWord word, const HandRules& rules) {
    using hand_evaluator_detail::SuitMask;
    const int      low      = rules.low_card;
    const uint32_t lowest   = 1u << 12 | 0xFu << low;  // A, L, L+1, L+2, L+3
    const uint32_t next     = 1u << (low + 4);
    const uint32_t c = SuitMask(word, 0), d = SuitMask(word, 1);
    const uint32_t h = SuitMask(word, 2), s = SuitMask(word, 3);
    const uint32_t all = c | d | h | s;
    if ((all & lowest) != lowest || (all & next))
        return raw;
    const auto type = static_cast<HandType>(TopByteOf(raw));
    if (type == kFlush) {
        uint32_t flush = hand_evaluator_detail::FlushSuitRanks(c, d, h, s);
        bool     suited = (flush & lowest) == lowest;
        return suited && rules.Beats(kStraightFlush, kFlush) ? kWheelStraightFlush : raw;
    }
    if (type == kStraightFlush)
        return raw;
    return rules.Beats(kStraight, type) ? kWheelStraight : raw;
}

}  // namespace

uint32_t ApplyHandRulesSlow(uint32_t raw, CardWord word, const HandRules& rules) {
    uint32_t value = rules.low_card > 0 ? WithShortDeckStraight(raw, word, rules) : raw;
    if (!rules.custom_order_active)
        return value;
    uint32_t position = rules.position_of_type[TopByteOf(value)];
    return TypeBits(static_cast<int>(position)) | (value & 0x00FFFFFF);
}

uint32_t RawHandValue(CardWord word, int n) {
    const EvalTables& t = EvaluatorTables();
    switch (n) {
        case 3: return RawHandValueOf<3>(word, t);
        case 4: return RawHandValueOf<4>(word, t);
        case 5: return RawHandValueOf<5>(word, t);
        case 6: return RawHandValueOf<6>(word, t);
        case 7: return RawHandValueOf<7>(word, t);
        default: return 0;
    }
}

uint32_t EvaluateWord(CardWord word, int n, const HandRules& rules) {
    return ApplyHandRules(RawHandValue(word, n), word, rules);
}

namespace {

template <int n>
uint32_t EvaluateCards(const int* cards, const HandRules& rules) {
    CardWord word = CardWordOf<n>(cards);
    return ApplyHandRules(RawHandValueOf<n>(word, EvaluatorTables()), word, rules);
}

}  // namespace

uint32_t EvaluateHand(const int* cards, int n, const HandRules& rules) {
    switch (n) {
        case 3: return EvaluateCards<3>(cards, rules);
        case 4: return EvaluateCards<4>(cards, rules);
        case 5: return EvaluateCards<5>(cards, rules);
        case 6: return EvaluateCards<6>(cards, rules);
        case 7: return EvaluateCards<7>(cards, rules);
        default: return 0;
    }
}
