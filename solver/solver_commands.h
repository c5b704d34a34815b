// Handlers of the solving commands: the run, its target and the result figures.
#pragma once

#include "cli/command.h"

void CmdGo(const Tokens& t);
void CmdStop(const Tokens& t);
void CmdWaitForSolver(const Tokens& t);
void CmdSolverTime(const Tokens& t);
void CmdSetAccuracy(const Tokens& t);
void CmdSetRecalcAccuracy(const Tokens& t);
void CmdCalcResults(const Tokens& t);
void CmdSolvePartial(const Tokens& t);
void CmdExploPartial(const Tokens& t);
