#include "solver/node_stores.h"

#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/store_selection.h"
#include "tree/built_tree.h"
#include "tree/runout_tables.h"

SolverNodeStorage::SolverNodeStorage(std::unique_ptr<StrategyStore> store, int street,
                                     int base_street, uint64_t board)
    : store_(std::move(store)), street_(street), base_street_(base_street), board_(board) {}

int SolverNodeStorage::SlotOf(int turn_card, int river_card) const {
    if (street_ == base_street_)
        return 0;
    if (street_ == 2) {
        if (turn_card < 0)
            return -1;
        return RunoutSlotOf(board_, turn_card);
    }
    if (river_card < 0)
        return -1;
    if (base_street_ == 2)
        return RunoutSlotOf(board_, river_card);
    if (turn_card < 0 || river_card == turn_card)
        return -1;
    const int turn_slot  = RunoutSlotOf(board_, turn_card);
    const int river_slot = RunoutSlotOf(board_ | uint64_t{1} << turn_card, river_card);
    if (turn_slot < 0 || river_slot < 0)
        return -1;
    return turn_slot * RunoutLists::kRiverSlotCount + river_slot;
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

void CfrStorageProvider::CreateStorage(const BuiltTree& tree, uint32_t index, const StorageShape&,
                                       StorageParameters parameters, BuiltNode& node) {
    const RunoutLayout layout = engine_.LayoutOf(index);
    const int          base   = tree.BaseStreet();
    const uint64_t     board  = tree.Board().Mask();
    const StoreChoice  choice =
        ChooseStores(node.street, parameters, State().settings.river_strategy);
    auto install = [&](std::unique_ptr<NodeStorage>& slot, std::unique_ptr<StrategyStore> store) {
        if (store && slot)
            CarryOver(*StoreOf(slot.get()), *store);
        slot = store ? std::make_unique<SolverNodeStorage>(std::move(store), node.street, base, board)
                     : nullptr;
    };
    install(node.strategy, MakeRegretStore(choice.regrets, layout));
    install(node.second, MakeAverageStore(choice.averages, layout));
}
