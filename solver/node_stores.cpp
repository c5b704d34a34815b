#include "solver/node_stores.h"

#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/store_selection.h"
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

void CfrStorageProvider::SetUp(StorageParameters parameters) {
    const LevelConstants constants = LevelConstantsOf(parameters);
    engine_.SetLevelConstants(constants.early_grouping, constants.iteration_cap);
}

void CfrStorageProvider::CreateStorage(const BuiltTree&, uint32_t index, const StorageShape&,
                                       StorageParameters parameters, BuiltNode& node) {
    const RunoutLayout layout = engine_.LayoutOf(index);
    const StoreChoice  choice =
        ChooseStores(node.street, parameters, State().settings.river_strategy);
    auto install = [&](std::unique_ptr<NodeStorage>& slot, std::unique_ptr<StrategyStore> store) {
        if (store && slot)
            CarryOver(*StoreOf(slot.get()), *store);
        slot = store ? std::make_unique<SolverNodeStorage>(std::move(store), node.street, engine_)
                     : nullptr;
    };
    install(node.strategy, MakeRegretStore(choice.regrets, layout));
    install(node.second, MakeAverageStore(choice.averages, layout));
}
