#include "tree/street_storage.h"

#include "tree/runout_coverage.h"

namespace {

bool StorageReportsComplete(const BuiltNode& node) {
    return (!node.strategy || node.strategy->IsComplete()) &&
           (!node.second || node.second->IsComplete());
}

}  // namespace

StorageShape ShapeOf(const BuiltTree& tree, uint32_t index) {
    const BuiltNode& node = tree.Node(index);
    RunoutCoverage   coverage =
        CoverageOf(tree.Range(node.player), tree.Board(), tree.low_rank, node.street);
    return {node.street, static_cast<int>(node.child_count), coverage.runouts,
            coverage.combo_runouts};
}

void UpdateStorageSizes(BuiltTree& tree, int street, const StorageProvider& provider) {
    // Every decision of a street and player has the same coverage: work it out once each.
    std::array<RunoutCoverage, 2> coverage;
    for (int player = 0; player < 2; ++player)
        coverage[player] = CoverageOf(tree.Range(player), tree.Board(), tree.low_rank, street);
    uint64_t bytes = 0;
    for (const BuiltNode& node : tree.Nodes())
        if (node.IsDecision() && node.street == street)
            bytes += provider.UncompressedBytes({street, static_cast<int>(node.child_count),
                                                 coverage[node.player].runouts,
                                                 coverage[node.player].combo_runouts});
    tree.storage_bytes[street - kFlop] = bytes;
}

void CreateStreetStorage(BuiltTree& tree, int street, StorageProvider& provider,
                         StorageParameters parameters) {
    for (uint32_t i = 0; i < tree.Size(); ++i) {
        BuiltNode& node = tree.Node(i);
        if (!node.IsDecision() || node.street != street || node.storage_complete)
            continue;
        provider.CreateStorage(tree, i, ShapeOf(tree, i), parameters, node);
        node.storage_complete = StorageReportsComplete(node);
    }
}

void DropStorageFrom(BuiltTree& tree, int first_street) {
    for (BuiltNode& node : tree.Nodes()) {
        if (!node.IsDecision() || node.street < first_street)
            continue;
        node.strategy.reset();
        node.second.reset();
        node.storage_complete = 0;
    }
}
