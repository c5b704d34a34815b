// Creating, sizing and dropping the per-node storage of one street.
//
// A street's storage is built in three steps, each over the decision nodes of that street:
//   1. UpdateStorageSizes: ask the provider what each node needs uncompressed and store
//      the street's total in tree.storage_bytes (this feeds the estimate and the automatic
//      storage level, so it runs before the level is chosen);
//   2. CreateStreetStorage: let the provider create the objects of every node whose
//      storage is not complete;
//   3. mark the nodes whose objects report themselves complete (also part of step 2).
// DropStorageFrom releases the objects of a street and every later one.
#pragma once

#include "tree/built_tree.h"
#include "tree/node_storage.h"

// The shape of decision node 'index' for the provider.
StorageShape ShapeOf(const BuiltTree& tree, uint32_t index);

void UpdateStorageSizes(BuiltTree& tree, int street, const StorageProvider& provider);

void CreateStreetStorage(BuiltTree& tree, int street, StorageProvider& provider,
                         StorageParameters parameters);

void DropStorageFrom(BuiltTree& tree, int first_street);
