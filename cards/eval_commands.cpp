#include <vector>

#include "cards/card_commands.h"
#include "cards/card_parser.h"
#include "cards/hand_description.h"
#include "cards/hand_evaluator.h"
#include "cli/solver_state.h"

namespace {

// Token 1 as an integer in [low, high]; outside it is an argument error.
int RangedArgument(const Tokens& t, int low, int high) {
    int value = ParseInt(t[1]);
    if (value < low || value > high)
        ArgumentCountError(t);
    return value;
}

}  // namespace

void CmdEvalHand(const Tokens& t) {
    CardMask mask  = ParseCards(t[1]);
    int      count = CardCountOf(mask);
    if (count < 5 || count > 7)
        ArgumentCountError(t);
    std::vector<int> cards;
    for (; mask; mask &= mask - 1)
        cards.push_back(LowestCard(mask));
    const HandRules& rules = State().cards.rules;
    uint32_t         value = EvaluateHand(cards.data(), count, rules);
    Print("%s | %d cards | %08x | %13s | %s\n", t[1].c_str(), count, value,
          kHandTypeNames[HandTypeOfValue(value, rules)].data(),
          DescribeHandValue(value, rules).c_str());
}

void CmdSetLowCard(const Tokens& t) {
    State().cards.rules.low_card = RangedArgument(t, 2, 6) - 2;
    PrintOk(t);
}

// Every word must name a type and every type must be named once: a partial order would
// leave some type without a position and make values incomparable.
void CmdSetHandTypeOrder(const Tokens& t) {
    HandTypeOrder order{};
    for (int position = 0; position < kHandTypeCount; ++position) {
        std::optional<HandType> type = HandTypeNamed(t[position + 1]);
        if (!type)
            ArgumentCountError(t);
        order[position] = *type;
    }
    State().cards.rules.SetTypeOrder(order);
    PrintOk(t);
}

void CmdSetMustUseHoleCards(const Tokens& t) {
    State().cards.rules.must_use_hole_cards = RangedArgument(t, 0, 2);
    PrintOk(t);
}
