#include "solver/node_stores.h"

#include "solver/average_storage.h"
#include "solver/cfr_engine.h"
#include "solver/regret_storage.h"
#include "tree/built_tree.h"

SolverNodeStorage::SolverNodeStorage(std::unique_ptr<StrategyStore> store, int street,
                                     const CfrEngine& engine)
    : store_(std::move(store)), street_(street), engine_(engine) {}

int SolverNodeStorage::SlotOf(int turn_card, int river_card) const {
    return engine_.StorageSlotFor(street_, turn_card, river_card);
}

uint32_t SolverNodeStorage::LockFlags(int turn_card, int river_card) const {
    const int slot = SlotOf(turn_card, river_card);
    return slot < 0 ? 0 : store_->Locks().Flags(slot);
}

StrategyStore* StoreOf(NodeStorage* storage) {
    return storage ? &static_cast<SolverNodeStorage*>(storage)->Store() : nullptr;
}

uint64_t CfrStorageProvider::UncompressedBytes(const StorageShape& shape) const {
    constexpr uint64_t kBytesPerComboAction = 2 * sizeof(uint16_t);  // regret + average
    return kBytesPerComboAction * static_cast<uint64_t>(shape.actions) * shape.combo_runouts;
}

void CfrStorageProvider::CreateStorage(const BuiltTree&, uint32_t index, const StorageShape&,
                                       StorageParameters, BuiltNode& node) {
    const RunoutLayout layout = engine_.LayoutOf(index);
    node.strategy = std::make_unique<SolverNodeStorage>(
        std::make_unique<RunoutRegretStorage>(layout), node.street, engine_);
    node.second = std::make_unique<SolverNodeStorage>(
        std::make_unique<RunoutAverageStorage>(layout), node.street, engine_);
}
