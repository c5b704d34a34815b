// The solver's strategy stores as the tree holds them: each decision node owns its regret
// store (BuiltNode::strategy) and its average store (BuiltNode::second) through this
// adapter, and the provider creates them street by street for the tree.
#pragma once

#include <memory>

#include "solver/strategy_store.h"
#include "tree/node_storage.h"

class CfrEngine;

class SolverNodeStorage final : public NodeStorage {
public:
    // 'engine' maps dealt cards to the store's runout slots for a node on 'street'.
    SolverNodeStorage(std::unique_ptr<StrategyStore> store, int street, const CfrEngine& engine);

    StrategyStore&       Store() { return *store_; }
    const StrategyStore& Store() const { return *store_; }

    uint64_t SizeBytes() const override { return store_->ByteSize(); }
    bool     IsComplete() const override { return store_->IsAllocated(); }
    uint32_t LockFlags(int turn_card, int river_card) const override;

    // The runout slot of the store for the given dealt cards (-1 when not dealt), or -1
    // when the cards do not name a runout of the node's street.
    int SlotOf(int turn_card, int river_card) const;

private:
    std::unique_ptr<StrategyStore> store_;
    int                            street_;
    const CfrEngine&               engine_;
};

// The store behind a node's storage pointer, or null.
StrategyStore* StoreOf(NodeStorage* storage);

// Creates plain 16-bit regret and average stores shaped by the engine's combo lists.
class CfrStorageProvider final : public StorageProvider {
public:
    explicit CfrStorageProvider(const CfrEngine& engine) : engine_(engine) {}

    uint64_t UncompressedBytes(const StorageShape& shape) const override;
    void     CreateStorage(const BuiltTree& tree, uint32_t index, const StorageShape& shape,
                           StorageParameters parameters, BuiltNode& node) override;

private:
    const CfrEngine& engine_;
};
