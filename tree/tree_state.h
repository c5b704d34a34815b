// The game tree's part of the process-wide solver state: the tree parameters and lines,
// the one built tree (or none), the storage level and the solver's hooks into the tree.
#pragma once

#include <functional>
#include <memory>

#include "tree/built_tree.h"
#include "tree/node_storage.h"
#include "tree/storage_level.h"
#include "tree/tree_params.h"

struct StorageLevelChoice {
    int      level              = 0;
    bool     automatic          = false;
    uint64_t uncompressed_bytes = 0;
};

struct TreeState {
    TreeParams params;

    std::unique_ptr<BuiltTree> built;  // the tree object, or none
    bool present            = false;   // true after a successful build or load
    bool values_unavailable = false;   // a loaded tree carries no expected values

    int configured_level = kAutoLevel;  // set_compression
    int actual_level     = 0;           // level in force for the current tree

    // The solver's storage layer; the default one sizes the plain layout only.
    std::unique_ptr<StorageProvider> storage = std::make_unique<DefaultStorageProvider>();

    // Installed by the solver: sets up its constants, ranges and board for a new tree
    // before the storage level is applied.
    std::function<void(BuiltTree& tree)> on_tree_built;

    // Installed by the solver: releases what the solver holds of the tree, before the
    // tree object is destroyed.
    std::function<void()> on_tree_freed;

    // Installed by the solver: resolves every subgame of a street (2 turns, 3 rivers).
    std::function<void(int street)> solve_all_splits;

    // Installed by the solver: runs an edit of what its passes read from the built tree
    // (rake, expected-value boosts) between iterations and result evaluations, never
    // inside one. Without it the edit runs at once.
    std::function<void(const std::function<void()>& edit)> between_passes;

    void BetweenPasses(const std::function<void()>& edit) {
        between_passes ? between_passes(edit) : edit();
    }

    // The built tree when one is present, else null.
    BuiltTree* Tree() const { return present ? built.get() : nullptr; }

    // Destroys the tree object with all its storage; the actual level returns to 0.
    // Lines and parameters stay.
    void FreeTree();

    // Chooses the level for the present tree (the configured one, or the automatic rule
    // against the machine's free memory), records it as the actual level and creates the
    // storage of every street with its parameters. Needs a tree object. Throws "Can't do
    // that when solver is running" while a run exists.
    StorageLevelChoice ApplyStorageLevel();

    // Records 'level' as the actual level, passes its storage parameters to the provider
    // and makes the storage of every street that is not forgotten in the level's layouts,
    // keeping the contents of existing objects. Needs a tree object.
    void ApplyLevel(int level);

    // Creates again the storage of the forgotten streets and clears INCOMPLETE_TREE.
    void RebuildForgottenStreets();

    // Drops the storage of 'street' and later streets and marks the tree incomplete.
    void Forget(int street);
};
