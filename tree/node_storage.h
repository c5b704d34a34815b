// The seam between the tree and the solver's per-node storage.
//
// The tree owns storage (BuiltNode::strategy and BuiltNode::second) and decides when it
// exists: a street's storage is created at the build, dropped by `forget` and created again
// by `rebuild_forgotten_streets`. What the storage holds and how it is laid out per street
// and storage level belong to the solver, which implements the two interfaces below and
// installs its provider in TreeState. Until it does, DefaultStorageProvider sizes the plain
// uncompressed layout (two bytes per combo and action for regrets and as many for
// averages, per runout slot) and creates no objects.
#pragma once

#include <cstdint>
#include <memory>

class BuiltTree;
struct BuiltNode;

// One storage object of a decision node (regrets or averages).
class NodeStorage {
public:
    virtual ~NodeStorage() = default;

    // Bytes the object holds now.
    virtual uint64_t SizeBytes() const = 0;

    // True once every runout instance the object serves is allocated and usable.
    virtual bool IsComplete() const = 0;

    // Lock flags of the instance for the given turn and river cards (card ids, -1 when not
    // dealt): bit 0 LOCKED, bit 1 COMBO_LOCKED.
    virtual uint32_t LockFlags(int turn_card, int river_card) const = 0;
};

// The storage-parameter pair of a storage level (see storage_level.h).
struct StorageParameters {
    int first  = 0;
    int second = 0;
};

// What one decision node's storage has to cover.
struct StorageShape {
    int      street        = 1;  // 1 flop, 2 turn, 3 river
    int      actions       = 0;  // children of the node
    uint64_t runout_slots  = 1;  // turn cards, (turn, river) pairs or river cards to cover
    uint64_t combo_runouts = 0;  // sum over those runouts of the acting player's live combos
};

class StorageProvider {
public:
    virtual ~StorageProvider() = default;

    // Called once per application of a storage level, before any CreateStorage: the
    // solver takes the level's constants from the pair.
    virtual void SetUp(StorageParameters) {}

    // Bytes of uncompressed storage (level "none") that a node of this shape needs; the
    // tree adds them up per street for the estimate and the automatic storage level.
    virtual uint64_t UncompressedBytes(const StorageShape& shape) const = 0;

    // Creates the storage objects of decision node 'index' of 'tree' for the given level
    // parameters, writing node.strategy and node.second (either may stay null). Objects
    // the node holds already are replaced, their contents carried over.
    virtual void CreateStorage(const BuiltTree& tree, uint32_t index, const StorageShape& shape,
                               StorageParameters parameters, BuiltNode& node) = 0;
};

// Sizes the uncompressed 16-bit layout and creates no objects.
class DefaultStorageProvider final : public StorageProvider {
public:
    static constexpr uint64_t kBytesPerComboAction = 2 * sizeof(uint16_t);  // regret + average

    uint64_t UncompressedBytes(const StorageShape& shape) const override {
        return kBytesPerComboAction * static_cast<uint64_t>(shape.actions) * shape.combo_runouts;
    }
    void CreateStorage(const BuiltTree&, uint32_t, const StorageShape&, StorageParameters,
                       BuiltNode&) override {}
};
