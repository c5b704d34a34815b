// The node storage section of a tree file: the solution, node by node.
//
// In built-node index order, every node that owns a per-runout table, a per-turn-card
// table, a turn-river block or storage objects writes one packed stream (codec.h, id 2)
// of these arrays, each tagged by its header byte:
//   kNodeTag        node index, presence bits (runout table, turn-card table, turn-river
//                   block, regret store, average store), runout slot count
//   per slot of the runout table, then of the turn-card table:
//     kSlotSizesTag   lengths of the OOP and IP accumulated-reach vectors
//     kSlotValuesTag  their floats (bit patterns), OOP then IP
//   kTurnRiverTag   the 49 x 48 bytes of the turn-river block
//   per store (regrets, then averages):
//     kStoreSizeTag   the byte count of the store's saved form (low, high 32 bits)
//     kStoreWordsTag  the saved form as 16-bit words (little-endian pairs, the last one
//                     zero-padded), which keeps 16-bit regrets and averages whole values
// The reader builds the same tree first, so it knows which nodes carry what: a node
// record that disagrees with the rebuilt tree makes the file invalid.
//
// Store contents are the stores' own saved forms (StrategyStore::Write), which carry
// their layout, locks included, and are checked field by field when read.
#pragma once

#include <functional>

#include "tree/built_tree.h"
#include "tree/codec.h"

// Writes the section. Linear in the stored data; one store's saved form is held in
// memory at a time.
void WriteNodeStorage(const BuiltTree& tree, const CodecSink& sink);

// Reads the section into the tree's existing storage objects and tables. 'progress'
// receives the percentage of nodes done after each node. Failures throw the command's
// error: "fse error" for an entropy-coded block that does not decode, "invalid file (...)"
// for any other inconsistency; a short read of the source throws its own exception.
void ReadNodeStorage(BuiltTree& tree, const CodecSource& source,
                     const std::function<void(int percent)>& progress);
