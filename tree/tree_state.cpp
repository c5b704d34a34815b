#include "tree/tree_state.h"

#include <algorithm>
#include <cmath>

#include "cli/command.h"
#include "solver/run_control.h"
#include "tree/street_storage.h"
#include "tree/system_memory.h"

namespace {

// 90 % of what the machine's memory load leaves available, rounded as the rule states.
int64_t StorageBudget() {
    SystemMemory memory = ReadSystemMemory();
    return std::llround(std::llround(memory.AvailableBytes()) * 0.9);
}

// The solver's storage uses the level's parameters only on trees that start on the flop.
StorageParameters ParametersFor(const BuiltTree& tree, int level) {
    return tree.BaseStreet() == kFlop ? StorageLevelParameters(level) : StorageParameters{};
}

}  // namespace

void TreeState::FreeTree() {
    if (on_tree_freed)
        on_tree_freed();
    built.reset();
    present            = false;
    values_unavailable = false;
    actual_level       = 0;
}

StorageLevelChoice TreeState::ApplyStorageLevel() {
    if (SolverRunning())
        CommandError("Can't do that when solver is running");
    StorageLevelChoice choice;
    for (int street = kFlop; street <= kRiver; ++street)
        UpdateStorageSizes(*built, street, *storage);
    choice.uncompressed_bytes = built->StorageTotal();
    if (configured_level != kAutoLevel) {
        choice.level = configured_level;
    } else {
        choice.automatic = true;
        choice.level     = AutomaticStorageLevel(choice.uncompressed_bytes,
                                                 FlopClass(built->Board().flop), StorageBudget());
    }
    ApplyLevel(choice.level);
    return choice;
}

void TreeState::ApplyLevel(int level) {
    actual_level                       = level;
    const StorageParameters parameters = ParametersFor(*built, level);
    storage->SetUp(parameters);
    // Every node's storage is made again in the level's layouts; the provider carries
    // the contents of objects that exist over into their replacements. Forgotten
    // streets stay without storage.
    const int first_missing =
        built->first_forgotten_street >= kFlop ? built->first_forgotten_street : kRiver + 1;
    for (BuiltNode& node : built->Nodes())
        node.storage_complete = 0;
    for (int street = kFlop; street < first_missing; ++street)
        CreateStreetStorage(*built, street, *storage, parameters);
}

void TreeState::RebuildForgottenStreets() {
    if (!built || built->first_forgotten_street < 0)
        return;
    for (int street = std::max(built->first_forgotten_street, kFlop); street <= kRiver; ++street) {
        CreateStreetStorage(*built, street, *storage, ParametersFor(*built, actual_level));
        UpdateStorageSizes(*built, street, *storage);
    }
    built->flags &= ~kIncompleteTree;
}

void TreeState::Forget(int street) {
    DropStorageFrom(*built, street);
    built->first_forgotten_street = street;
    built->flags |= kIncompleteTree;
    built->flags &= ~kNewTree;
}
