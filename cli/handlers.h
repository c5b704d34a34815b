// Handlers of the interpreter's own commands: protocol, scripts and settings.
#pragma once

#include "cli/command.h"

// Protocol.
void CmdConfirmOnly(const Tokens& t);  // is_ready, set_eff_stack, set_algorithm, set_always_recalc
void CmdDisconnect(const Tokens& t);
void CmdSetEndString(const Tokens& t);
void CmdHelp(const Tokens& t);

// Scripts, variables and flow.
void CmdSkipIfDone(const Tokens& t);
void CmdLoadScript(const Tokens& t);
void CmdStdoutRedirect(const Tokens& t);
void CmdStdoutRedirectAppend(const Tokens& t);
void CmdStdoutBack(const Tokens& t);
void CmdSleep(const Tokens& t);
void CmdTakeABreak(const Tokens& t);
void CmdRepeat(const Tokens& t);
void CmdEcho(const Tokens& t);
void CmdGetValue(const Tokens& t);
void CmdGetAllValues(const Tokens& t);
void CmdSetValue(const Tokens& t);
void CmdDefaultValue(const Tokens& t);
void CmdVerifyValue(const Tokens& t);
void CmdIfMatch(const Tokens& t);

// Settings.
void CmdShowSettings(const Tokens& t);
void CmdSetThreads(const Tokens& t);
void CmdSetPriorityClass(const Tokens& t);
void CmdSetInfoFreq(const Tokens& t);
void CmdGetInstructionSet(const Tokens& t);
void CmdSetScheduler(const Tokens& t);
void CmdEnableAvx512(const Tokens& t);
void CmdEnableNuma(const Tokens& t);
void CmdEnableRiverStrategy(const Tokens& t);
void CmdEnableUiNotifications(const Tokens& t);
void CmdEnableProgressBar(const Tokens& t);
void CmdIgnoreMemCheck(const Tokens& t);
void CmdShowCpuInfo(const Tokens& t);
void CmdSetSimdLevel(const Tokens& t);
void CmdSetEvalMode(const Tokens& t);
void CmdSetEvalCap(const Tokens& t);
void CmdSetEvalFlag(const Tokens& t);
void CmdSetPrefetchMode(const Tokens& t);
void CmdSetPrecision(const Tokens& t);
void CmdEnableAdaptivePrecision(const Tokens& t);
void CmdListAlgorithms(const Tokens& t);
void CmdGetCurrAlg(const Tokens& t);
void CmdSpawn(const Tokens& t);
void CmdEnablePerfCounters(const Tokens& t);
void CmdShowPerfCounters(const Tokens& t);
