// Which stores a decision node gets, from its street and the storage-parameter pair of
// the storage level (tree/storage_level.h), and the two solver constants of the pair.
//
//   node street   regrets                          averages
//   flop, turn    plain                            plain
//   river         first 0: plain                   river strategies off: none;
//                 first 1, 2: compressed, mode =   second 0: plain; 1, 2: compressed,
//                 the first parameter              mode = the second; 3: fast
// The pair is (0, 0) on trees that do not start on the flop (the tree applies that).
//
// Compressed regrets are lossless (mode 1 byte packing, mode 2 entropy packing), so they
// solve exactly as the plain ones. Compressed and fast averages share 8-bit numbers
// (average_blocks.h), so every level with a positive second parameter reports the same
// averages whatever its packing; together with the river-average schedule of those
// levels (averaging_schedule.h), low, medium, high and fast solve identically, and max
// differs from them by its early grouping only.
//
// Memory against none (bench/storage_level_bench.cpp): on the flop spot of examples/
// after six iterations low 0.65, medium 0.34, high 0.34, max 0.27, fast 0.75; on the turn
// spot solved to 0.3 % of the pot (levels forced onto its river stores) low 0.60,
// medium 0.38, high 0.38, max 0.30, fast 0.75.
//
// Constants: a first parameter of 2 sets early grouping of river regrets to the first
// 30 iterations (0 otherwise); a second parameter of 3 sets the iteration cap to 2200
// (9000 otherwise).
#pragma once

#include <memory>

#include "solver/strategy_store.h"
#include "tree/node_storage.h"

enum class RegretLayout { kPlain, kCompressed1, kCompressed2 };
enum class AverageLayout { kNone, kPlain, kCompressed1, kCompressed2, kFast };

struct StoreChoice {
    RegretLayout  regrets  = RegretLayout::kPlain;
    AverageLayout averages = AverageLayout::kPlain;
};

struct LevelConstants {
    int early_grouping = 0;
    int iteration_cap  = 9000;
};

StoreChoice    ChooseStores(int street, StorageParameters parameters, bool river_strategy);
LevelConstants LevelConstantsOf(StorageParameters parameters);

// Empty stores of the chosen layout (null for AverageLayout::kNone).
std::unique_ptr<StrategyStore> MakeRegretStore(RegretLayout kind, const RunoutLayout& layout);
std::unique_ptr<StrategyStore> MakeAverageStore(AverageLayout kind, const RunoutLayout& layout);

// Moves the contents of 'from' into 'to', a store of the same family (regrets or
// averages) and layout, through the saved form that every layout of a family shares.
// Exact, except into the fast average layout, which keeps 8 bits per number.
void CarryOver(const StrategyStore& from, StrategyStore& to);
