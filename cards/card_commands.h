// Handlers of the card commands: board, ranges and deck weights, the hand evaluator and
// its rule settings, suit isomorphism and hand categories. They read and change
// State().cards and check everything before they change anything.
#pragma once

#include "cli/command.h"

// Board and combos.
void CmdSetBoard(const Tokens& t);
void CmdShowHandOrder(const Tokens& t);

// Ranges and deck weights.
void CmdSetRange(const Tokens& t);
void CmdShowRangeGrid(const Tokens& t);
void CmdSetDeckDistribution(const Tokens& t);

// Hand evaluator and rule settings.
void CmdEvalHand(const Tokens& t);
void CmdSetLowCard(const Tokens& t);
void CmdSetHandTypeOrder(const Tokens& t);
void CmdSetMustUseHoleCards(const Tokens& t);

// Suit isomorphism.
void CmdSetIsomorphism(const Tokens& t);

// Hand categories.
void CmdShowCategories(const Tokens& t);
void CmdShowCategoryNames(const Tokens& t);
