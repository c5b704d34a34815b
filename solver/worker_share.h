// How the subgame groups of a distributed solve are dealt to the workers.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The owner (worker index) of each group, given each group's work and each worker's
// weight: groups are taken largest first (equal ones in their given order), each going to
// the worker whose load after taking it, divided by its weight, is smallest (the lowest
// index among equals). The same inputs always give the same split. A worker whose weight
// is not a positive number takes no group, unless no weight is: then all count as equal.
// With no workers every owner is -1.
std::vector<int> SplitByWeight(std::span<const uint64_t> work, std::span<const double> weights);
