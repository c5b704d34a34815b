#include "tree/tree_state.h"

#include <algorithm>
#include <cmath>

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
}

StorageLevelChoice TreeState::ApplyStorageLevel() {
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
    actual_level = choice.level;
    DropStorageFrom(*built, kFlop);
    for (int street = kFlop; street <= kRiver; ++street)
        CreateStreetStorage(*built, street, *storage, ParametersFor(*built, actual_level));
    return choice;
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
