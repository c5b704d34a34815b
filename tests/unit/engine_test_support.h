// Test support for the solver: runs protocol commands in process and checks the engine's
// figures against an independent evaluation that walks the tree naively.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "cli/command.h"
#include "solver/cfr_engine.h"

// Runs one command line through the dispatcher and returns what it printed.
std::string RunCommand(const std::string& line);

// A set_range command for 'player' with random weights: each combo is in the range with
// probability 'density', with a weight in (0.2, 1].
std::string RandomRangeCommand(const std::string& player, double density, std::mt19937& rng);

// A set_range command giving weight 1 to every combo of the named hand classes ("AA",
// "AKs", "T9o"), so that the range treats all suits alike.
std::string ClassRangeCommand(const std::string& player, const std::vector<std::string>& classes);

// Expected values and best-response values of both players under the strategies the
// engine would report (average strategies once averaging started), computed with
// pairwise terminal values over the 1326 combos and explicit enumeration of every dealt
// card. Figures are relative to half the pot, like ResultFigures.
ResultFigures ReferenceFigures(CfrEngine& engine, float rake_fraction = 0, float rake_cap = 0);
