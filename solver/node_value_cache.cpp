#include "solver/node_value_cache.h"

#include <limits>

namespace {

// The figure of an entry the opponent's reach does not reach: none.
constexpr float kUnreached = std::numeric_limits<float>::quiet_NaN();

}  // namespace

void NodeValueCache::Prepare(const std::vector<int>& slots) {
    for (auto& nodes : nodes_) {
        nodes.assign(slots.size(), {});
        for (size_t i = 0; i < slots.size(); ++i)
            nodes[i].resize(slots[i]);
    }
    Forget();
}

void NodeValueCache::Clear() {
    ++generation_;
    Forget();
}

void NodeValueCache::Forget() {
    complete_ = false;
    for (auto& nodes : nodes_)
        for (auto& slots : nodes)
            for (Instance& instance : slots)
                instance.stored = false;
}

void NodeValueCache::SetKey(const std::vector<double>& key) {
    if (key == key_)
        return;
    Forget();
    key_ = key;
}

void NodeValueCache::Store(int player, uint32_t node, int slot, const float* values,
                           const float* mass, int n) {
    auto& slots = nodes_[player][node];
    if (slot < 0 || slot >= static_cast<int>(slots.size()))
        return;
    Instance& instance = slots[slot];
    instance.figure.resize(n);
    for (int i = 0; i < n; ++i)
        instance.figure[i] = mass[i] > 0 ? values[i] / mass[i] : kUnreached;
    instance.stored = true;
}

const float* NodeValueCache::Find(int player, uint32_t node, int slot) const {
    const auto& nodes = nodes_[player];
    if (node >= nodes.size() || slot < 0 || slot >= static_cast<int>(nodes[node].size()))
        return nullptr;
    const Instance& instance = nodes[node][slot];
    return instance.stored ? instance.figure.data() : nullptr;
}

void NodeValueCache::MarkComplete(uint64_t generation) {
    if (generation == generation_)
        complete_ = true;
}
