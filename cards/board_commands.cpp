#include "cards/board.h"
#include "cards/card_commands.h"
#include "cards/combo_tables.h"
#include "cli/solver_state.h"

void CmdSetBoard(const Tokens& t) {
    CardState& cards = State().cards;
    cards.board      = ParseBoardArguments(t, cards.rules.low_card);
    PrintOk(t);
}

void CmdShowHandOrder(const Tokens&) { PrintText(Combos().text_line + "\n"); }
