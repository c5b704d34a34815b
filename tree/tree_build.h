// build_tree's checks and the routine that makes the tree from the lines (shared with
// cut_line). Both report failures by throwing the command's error.
#pragma once

#include "tree/live_inputs.h"

// Checks the live inputs in order: "ranges not set", "board not set", "invalid card"
// (a board card below the lowest rank in play), "lines not set".
void CheckBuildInputs();

// Makes the tree from the lines, the live board and ranges:
//   1. refuses while the solver runs ("Can't do that when solver is running");
//   2. copies the board and both ranges;
//   3. refuses a turn or river board while workers are connected ("only flop trees
//      supported");
//   4. checks the ranges against suit isomorphism ("inconsistent range: ...");
//   5. flattens the lines ("invalid line" for betting after the river closed);
//   6. only then replaces the previous tree: effective stack, rake reset, node array,
//      flags, solver set-up, storage level and storage of every street.
// A failure in steps 1-5 leaves the previous tree, its rake and effective stack as they
// were. Prints the verbose node and storage lines.
void MakeTreeFromLines();

// The same from the given inputs (load_tree passes a file's board, ranges and isomorphism
// switch). Without 'choose_level' no storage is created: the caller applies its level.
void MakeTreeFrom(LiveInputs inputs, bool choose_level);
