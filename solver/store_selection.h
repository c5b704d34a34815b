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
// Compressed regrets are rounded to 7 significant bits per combo (mode 1 packs them in
// bytes, mode 2 in bits); compressed averages keep the fast store's 8-bit numbers (mode 1)
// or round them further to 6 bits per combo (mode 2); both pack in bits (average_blocks.h,
// combo_quantizer.h, slot_codec.h). So low and fast solve identically (plain regrets, the
// same averages and river-average schedule, averaging_schedule.h); medium and high share
// their regrets and differ in their averages; max adds the early grouping.
//
// Memory against none at the end of a solve of examples/flop_narrow.json (README,
// storage levels): see the table there.
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

// Whether the pair gives river nodes compressed stores, the only ones that hold packed
// memory to tidy between iterations.
bool PacksStores(StorageParameters parameters);

// Empty stores of the chosen layout (null for AverageLayout::kNone).
std::unique_ptr<StrategyStore> MakeRegretStore(RegretLayout kind, const RunoutLayout& layout);
std::unique_ptr<StrategyStore> MakeAverageStore(AverageLayout kind, const RunoutLayout& layout);

// Moves the contents of 'from' into 'to', a store of the same family (regrets or
// averages) and layout, through the saved form that every layout of a family shares.
// Exact, except into the fast average layout, which keeps 8 bits per number.
void CarryOver(const StrategyStore& from, StrategyStore& to);
