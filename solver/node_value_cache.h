// Values of the decision nodes before the river as the last result passes computed them,
// kept so that value queries at flop and turn points read them instead of walking the
// subtree again.
//
// Per player, per decision node before the river and per storage slot of the node: the
// player's value per combo of the slot's runout list, divided by the opponent's reach over
// the compatible combos (the value per matchup; NaN where that reach is 0). That figure does
// not depend on the scale of the reach, so the solver's scaled root reach and a query's
// unscaled one give the same figure.
//
// Any change of the strategies (an update pass, a lock or strategy edit) clears the whole
// table, and so does a change of the conditions the values were computed under (the
// engine's key: rake, which strategies are reported): what it holds is always computed
// from the strategies the tree reports now. A
// result pass stores the instances it reaches; Complete says that both players' passes
// over the whole tree ran since the last clear (an instance missing then was not reached,
// or was swept by another process).
//
// Threads: Store may run concurrently for different (node, slot) pairs, as the worker
// threads of one pass do; everything else runs under the engine's tree mutex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class NodeValueCache {
public:
    // Sizes the table: per node of the tree, the storage slots kept (0 for nodes whose
    // values are not kept). Clears it.
    void Prepare(const std::vector<int>& slots);
    bool Prepared() const { return !nodes_[0].empty(); }

    // Forgets every stored figure (the strategies changed).
    void Clear();

    // Before a result pass: clears the table when 'key' differs from the key its figures
    // were computed under, and keeps 'key'. Matches says whether the figures hold for
    // 'key'.
    void SetKey(const std::vector<double>& key);
    bool Matches(const std::vector<double>& key) const { return key == key_; }

    // Stores the figures of one instance: 'values' the player's values over the runout
    // list, 'mass' the opponent's compatible reach, both 'n' entries.
    void Store(int player, uint32_t node, int slot, const float* values, const float* mass,
               int n);

    // The figures of an instance, or null when not stored.
    const float* Find(int player, uint32_t node, int slot) const;

    // Marks the table complete when nothing cleared it since 'generation' (read before the
    // passes that filled it).
    void     MarkComplete(uint64_t generation);
    bool     Complete() const { return complete_; }
    uint64_t Generation() const { return generation_; }

private:
    // Drops the stored figures (Clear also counts a change of the strategies).
    void Forget();

    struct Instance {
        std::vector<float> figure;
        bool               stored = false;
    };
    // Per player, per node: its slots' instances (empty for nodes not kept).
    std::vector<std::vector<Instance>> nodes_[2];
    std::vector<double>                key_;
    uint64_t                           generation_ = 0;
    bool                               complete_   = false;
};
