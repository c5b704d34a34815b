#include "tree/live_inputs.h"

#include "cards/range_consistency.h"
#include "cli/solver_state.h"

namespace {

int CardOf(CardMask single) { return single ? LowestCard(single) : -1; }

CardMask MaskOf(int card) { return card >= 0 ? CardBit(card) : 0; }

}  // namespace

LiveInputs ReadLiveInputs() {
    const CardState& cards = State().cards;
    LiveInputs       inputs;
    inputs.board       = {cards.board.flop, CardOf(cards.board.turn), CardOf(cards.board.river)};
    inputs.ranges      = {cards.ranges[0], cards.ranges[1]};
    inputs.low_rank    = cards.rules.low_card;
    inputs.isomorphism = cards.IsomorphismFor(inputs.board.BaseStreet());
    return inputs;
}

void CheckLiveRangeConsistency(const LiveInputs& inputs) {
    Board board{inputs.board.flop, MaskOf(inputs.board.turn), MaskOf(inputs.board.river)};
    CheckRangeConsistency(board, inputs.ranges, inputs.isomorphism);
}
