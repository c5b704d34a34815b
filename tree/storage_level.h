// Storage compression levels: names, storage-parameter pairs, size factors and the
// automatic choice made at every build.
//
// Levels: -1 auto, 0 none, 1 low, 2 medium, 3 high, 4 max, 5 fast. The size factor of a
// level is the fraction of the uncompressed storage that it needs, by flop class (number
// of distinct suits on the flop minus 1): compressed river storage shrinks better on
// boards with fewer suits.
#pragma once

#include <cstdint>

#include "tree/node_storage.h"

inline constexpr int kAutoLevel    = -1;
inline constexpr int kHighestLevel = 5;

// "auto", "none", ... "fast"; levels outside -1..5 give "?".
const char* StorageLevelName(int level);

// The storage-parameter pair handed to the solver's storage setup.
StorageParameters StorageLevelParameters(int level);

// 0, 1 or 2 for a flop of one, two or three suits.
int FlopClass(uint64_t flop_mask);

// Size factor of 'level' for 'flop_class'; 1.0 for levels outside 0..5.
double StorageSizeFactor(int flop_class, int level);

// The automatic rule: the first of fast, low, medium, high whose storage (bytes x factor)
// fits below 'budget_bytes', else max. Never level 0.
int AutomaticStorageLevel(uint64_t uncompressed_bytes, int flop_class, int64_t budget_bytes);
