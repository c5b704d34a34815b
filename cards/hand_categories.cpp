#include "cards/hand_categories.h"

#include <algorithm>

#include "cards/card_word.h"
#include "cards/combo_tables.h"
#include "cards/hand_evaluator_kernel.h"

namespace {

uint32_t BoardRanks(CardMask board) {
    uint32_t ranks = 0;
    for (int suit = 0; suit < kSuitCount; ++suit)
        ranks |= static_cast<uint32_t>(board >> (kRankCount * suit)) & 0x1FFF;
    return ranks;
}

// Ace high, king high or nothing, by the first of 'fields' (1..5) where the hand's rank
// beats the board's.
MadeHand KickerRule(uint32_t board_value, uint32_t hand_value, int first_field = 1) {
    for (int field = first_field; field <= 5; ++field) {
        int rank = RankField(hand_value, field);
        if (rank > RankField(board_value, field))
            return rank == 12 ? MadeHand::kAceHigh : rank == 11 ? MadeHand::kKingHigh : MadeHand::kNothing;
    }
    return MadeHand::kNothing;
}

MadeHand PairRule(int pair_position) {
    switch (pair_position) {
        case 0: return MadeHand::kOverpair;
        case 1: return MadeHand::kTopPair;
        case 2: return MadeHand::kUnderpair;
        case 3: return MadeHand::kSecondPair;
        case 4:
        case 5: return MadeHand::kThirdPair;
        default: return MadeHand::kLowPair;
    }
}

int TypeOf(uint32_t value) { return TopByteOf(value); }

// Straight and flush outs of one combo: the cards that lift a hand below a straight to
// a straight, or a hand up to a straight to a flush, and beat what that card gives the
// board alone.
struct Outs {
    uint8_t straight = 0;
    uint8_t flush    = 0;
};

Draw DrawOf(const Outs& outs) {
    if (outs.straight == 0)
        return outs.flush ? Draw::kFlush : Draw::kNone;
    if (outs.flush)
        return Draw::kCombo;
    return outs.straight >= 8 ? Draw::kEightOutStraight : outs.straight >= 4 ? Draw::kFourOutStraight : Draw::kNone;
}

// 'board_cards' is the board's size (3, 4 or 5); all hands below are evaluated with the
// kernel specialised for their size.
template <int board_cards>
bool Classify(CardMask board, HandCategories& out) {
    const ComboTables& combos = Combos();
    const EvalTables&  t      = EvaluatorTables();
    const CardWord     board_word  = CardWordOfMask(board);
    const uint32_t     board_value = RawHandValueOf<board_cards>(board_word, t);

    std::array<uint32_t, kComboCount> current{};
    std::array<CardWord, kComboCount> combo_words{};
    for (int p = 0; p < kComboCount; ++p) {
        out.made[p] = out.draw[p] = kBlockedCategory;
        if (combos.mask[p] & board)
            continue;
        combo_words[p] = CardWordOfMask(combos.mask[p]);
        current[p]     = RawHandValueOf<board_cards + 2>(board_word | combo_words[p], t);
        int higher     = LowestCard(combos.mask[p] & (combos.mask[p] - 1));
        int lower      = LowestCard(combos.mask[p]);
        if (HandOrderNumber(higher) < HandOrderNumber(lower))
            std::swap(higher, lower);
        std::optional<MadeHand> made =
            MadeHandCategory(board_value, current[p], PairPosition(board, higher, lower));
        if (!made)
            return false;
        out.made[p] = static_cast<int8_t>(*made);
    }

    if constexpr (board_cards == 5) {
        out.draw.fill(static_cast<int8_t>(Draw::kNone));
    } else {
        std::array<Outs, kComboCount> outs{};
        for (int card = 0; card < kCardCount; ++card) {
            if (board & CardBit(card))
                continue;
            const CardWord dealt_word  = board_word | kCardWordBits[card];
            const uint32_t dealt_value = RawHandValueOf<board_cards + 1>(dealt_word, t);
            for (int p = 0; p < kComboCount; ++p) {
                if ((combos.mask[p] & (board | CardBit(card))) || TypeOf(current[p]) > kStraight)
                    continue;
                uint32_t with_card = RawHandValueOf<board_cards + 3>(dealt_word | combo_words[p], t);
                if (with_card <= dealt_value)
                    continue;
                int type = TypeOf(with_card);
                outs[p].straight += type == kStraight && TypeOf(current[p]) < kStraight;
                outs[p].flush += type == kFlush || type == kStraightFlush;
            }
        }
        for (int p = 0; p < kComboCount; ++p)
            if (!(combos.mask[p] & board))
                out.draw[p] = static_cast<int8_t>(DrawOf(outs[p]));
    }
    return true;
}

}  // namespace

int CardCode(CardMask board, int card) {
    uint32_t ranks = BoardRanks(board);
    int      rank  = RankOf(card);
    int      above = std::popcount(ranks >> (rank + 1));
    return 2 * above + static_cast<int>(ranks >> rank & 1);
}

int PairPosition(CardMask board, int higher, int lower) {
    int code = CardCode(board, higher);
    return code % 2 ? code : CardCode(board, lower);
}

std::optional<MadeHand> MadeHandCategory(uint32_t board_value, uint32_t hand_value,
                                         int pair_position) {
    const int board_type = TypeOf(board_value);
    const int h1 = RankField(hand_value, 1), b1 = RankField(board_value, 1);
    const int h2 = RankField(hand_value, 2), b2 = RankField(board_value, 2);
    switch (TypeOf(hand_value)) {
        case kHighCard: return KickerRule(board_value, hand_value);
        case kPair:
            return board_type == kPair ? KickerRule(board_value, hand_value) : PairRule(pair_position);
        case kTwoPair:
            if (board_type == kHighCard)
                return MadeHand::kTwoPair;
            if (board_type == kPair)
                return PairRule(pair_position);
            if (h1 <= b1 && h2 <= b2)
                return KickerRule(board_value, hand_value, /*first_field=*/3);
            return PairRule(pair_position);
        case kTrips:
            if (board_type == kHighCard)
                return MadeHand::kSet;
            if (board_type == kPair)
                return MadeHand::kTrips;
            if (board_type == kTwoPair)
                return std::nullopt;
            return KickerRule(board_value, hand_value);
        case kStraight:
            return board_type < kStraight || hand_value > board_value ? MadeHand::kStraight
                                                                      : KickerRule(board_value, hand_value);
        case kFlush: return board_type < kFlush ? MadeHand::kFlush : MadeHand::kNothing;
        case kFullHouse:
            if (board_type <= kFlush)
                return MadeHand::kFullHouse;
            if (h1 > b1)
                return MadeHand::kTopFullHouse;
            return h2 > b2 ? MadeHand::kFullHouse : MadeHand::kNothing;
        case kQuads:
            return board_type < kQuads ? MadeHand::kQuads : KickerRule(board_value, hand_value);
        default:
            return board_type < kStraightFlush || hand_value > board_value ? MadeHand::kStraightFlush
                                                                           : MadeHand::kNothing;
    }
}

bool ClassifyHands(CardMask board, HandCategories& out) {
    switch (CardCountOf(board)) {
        case 3: return Classify<3>(board, out);
        case 4: return Classify<4>(board, out);
        default: return Classify<5>(board, out);
    }
}
