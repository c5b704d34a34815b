// Merging betting lines into the schematic tree and removing them.
//
// A line is the list of running totals that the players put in, alternately for the
// player to act, starting with OOP at the root: "0 0" is check, check; "0 10 30 30" is
// check, bet to 10, raise to 30, call. The same total twice is a check when no bet is open
// and a call when one is. Amounts are floored to whole chips.
#pragma once

#include <vector>

#include "tree/schematic_node.h"

enum class LineStatus { kOk, kDecreasingAmount };

// Walks the line from 'root', creating the nodes it needs. Every node the line creates
// after a bet or a first check gets its automatic answers (a call or check child and, when
// a bet is open, a fold child). With 'force' every other child of each node the line
// passes is removed with its subtree. An amount below the highest so far stops the walk
// with kDecreasingAmount; what the earlier amounts merged stays.
[[nodiscard]] LineStatus AddLine(SchematicNode& root, const std::vector<double>& amounts,
                                 bool force);

// Removes the subtree that the line reaches. A 0 after a positive amount addresses the
// fold child. A line that leaves the tree removes nothing.
void RemoveLine(SchematicNode& root, const std::vector<double>& amounts);
