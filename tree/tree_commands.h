// Handlers of the game tree's commands: parameters and lines, tree information, building
// and sizing, and navigation. Rows in cli/command_table.cpp.
#pragma once

#include "cli/command.h"

// Parameters and lines.
void CmdSetPot(const Tokens& t);
void CmdClearLines(const Tokens& t);  // also free_schematic_tree
void CmdAddLine(const Tokens& t);
void CmdForceLine(const Tokens& t);
void CmdRemoveLine(const Tokens& t);
void CmdCutLine(const Tokens& t);
void CmdShowTreeParams(const Tokens& t);
void CmdShowEffectiveStack(const Tokens& t);
void CmdSetRake(const Tokens& t);
void CmdSetEvBoost(const Tokens& t);

// Tree information lines.
void CmdResetTreeInfo(const Tokens& t);
void CmdAddInfoLine(const Tokens& t);
void CmdShowTreeInfo(const Tokens& t);

// Building and storage.
void CmdBuildTree(const Tokens& t);
void CmdFreeTree(const Tokens& t);
void CmdEstimateSchematicTree(const Tokens& t);
void CmdNodeCount(const Tokens& t);
void CmdShowMemory(const Tokens& t);
void CmdForget(const Tokens& t);
void CmdRebuildForgottenStreets(const Tokens& t);  // also rebuild_all
void CmdSolveAllSplits(const Tokens& t);

// Navigation.
void CmdShowNode(const Tokens& t);
void CmdShowChildren(const Tokens& t);
void CmdShowAllLines(const Tokens& t);
void CmdIsTreePresent(const Tokens& t);
