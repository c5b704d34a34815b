// Handlers of the strategy and value queries, the node-locking commands and the strategy
// statistics.
#pragma once

#include "cli/command.h"

// Strategies, ranges and frequencies (solver/query_commands.cpp).
void CmdShowStrategy(const Tokens& t);
void CmdShowStrategyPp(const Tokens& t);
void CmdShowProbs(const Tokens& t);
void CmdShowRange(const Tokens& t);
void CmdCalcLineFreq(const Tokens& t);
void CmdCalcGlobalFreq(const Tokens& t);

// Values and equities (solver/value_commands.cpp).
void CmdCalcEv(const Tokens& t);
void CmdCalcEvPp(const Tokens& t);
void CmdCalcEvLine(const Tokens& t);
void CmdCalcEq(const Tokens& t);
void CmdCalcEqPp(const Tokens& t);
void CmdCalcEqNode(const Tokens& t);

// Node locking (solver/lock_commands.cpp).
void CmdLockNode(const Tokens& t);
void CmdUnlockNode(const Tokens& t);
void CmdComboLockNode(const Tokens& t);
void CmdSetStrategy(const Tokens& t);
void CmdShowLockedCombos(const Tokens& t);

// Statistics (solver/stats_commands.cpp).
void CmdShowStats(const Tokens& t);
