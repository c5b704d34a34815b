// The schematic tree: the prefix tree of betting lines that the user adds with add_line.
//
// Every node is a point where a player acts or where the hand ends. Children are keyed by
// the amount of the action that leads to them, in descending order (largest raise first):
//   key  > node.amount  bet or raise to that running total,
//   key == node.amount  check or call,
//   key == -1.0         fold.
// A node without children is an end: a fold end when its key is -1.0, otherwise a
// showdown end. The tree stays alive after building: node paths resolve against it and
// every node remembers the index of the built node it became.
//
// Ownership: each node owns its children (unique_ptr in the child map); the root is owned
// by TreeParams. Parent pointers are plain back references.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

inline constexpr double kFoldKey = -1.0;

struct SchematicNode {
    using Children = std::map<double, std::unique_ptr<SchematicNode>, std::greater<double>>;

    SchematicNode* parent        = nullptr;
    Children       children;
    int32_t        player        = 0;  // 0 = OOP, 1 = IP: the player to act here
    int32_t        street_offset = 0;  // streets closed on the way from the root
    int32_t        bet_count     = 0;  // bets and raises on the current street
    double         amount        = 0;  // running total of the action that led here
    double         committed[2]  = {0, 0};  // chips put in by OOP and IP beyond the pot
    int32_t        built_index   = -1;       // record index at the last build, -1 before

    bool IsEnd() const { return children.empty(); }

    // The child reached by 'key', or nullptr.
    SchematicNode* Child(double key) const {
        if (key != key)  // NaN compares as equal to every key of an ordered map
            return nullptr;
        auto it = children.find(key);
        return it == children.end() ? nullptr : it->second.get();
    }

    // Creates an empty child under 'key' (which must not exist yet) and returns it.
    SchematicNode* AddChild(double key) {
        auto& slot   = children[key];
        slot         = std::make_unique<SchematicNode>();
        slot->parent = this;
        return slot.get();
    }
};

// Largest amount of any node below 'node' (the node itself included).
double LargestAmount(const SchematicNode& node);
