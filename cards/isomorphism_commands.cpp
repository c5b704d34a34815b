#include "cards/card_commands.h"
#include "cli/solver_state.h"

// Each switch is off for the exact text "0" and on for anything else.
void CmdSetIsomorphism(const Tokens& t) {
    State().cards.SetIsomorphism(/*flop=*/t[1] != "0", /*turn=*/t[2] != "0");
    PrintOk(t);
}
