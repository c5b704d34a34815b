#include "solver/strength_groups.h"

#include <algorithm>
#include <cassert>
#include <numeric>

StrengthGroups BuildStrengthGroups(std::span<const CardPair> cards,
                                   std::span<const uint32_t> strength,
                                   std::span<const uint16_t> tie_key) {
    assert(cards.size() == strength.size() && cards.size() <= kMaxRunoutCombos);
    assert(tie_key.empty() || tie_key.size() == cards.size());
    StrengthGroups groups;
    groups.combo_count = static_cast<int>(cards.size());
    groups.order.resize(cards.size());
    std::iota(groups.order.begin(), groups.order.end(), uint16_t{0});
    std::stable_sort(groups.order.begin(), groups.order.end(),
                     [&](uint16_t a, uint16_t b) {
                         if (strength[a] != strength[b] || tie_key.empty())
                             return strength[a] < strength[b];
                         return tie_key[a] < tie_key[b];
                     });

    groups.sorted_cards.reserve(cards.size());
    groups.identity_order = true;
    for (size_t k = 0; k < groups.order.size(); ++k) {
        const uint16_t combo = groups.order[k];
        groups.sorted_cards.push_back(cards[combo]);
        groups.identity_order &= combo == k;
        if (k == 0 || strength[combo] != strength[groups.order[k - 1]]) {
            groups.group_starts.push_back(static_cast<uint16_t>(k));
            groups.group_sizes.push_back(0);
        }
        ++groups.group_sizes.back();
    }
    return groups;
}

std::vector<uint16_t> BuildReachableMasks(const StrengthGroups& groups, const float* reach) {
    std::vector<uint16_t> masks(groups.GroupCount(), 0);
    for (int g = 0; g < groups.GroupCount(); ++g) {
        if (groups.group_sizes[g] > kMaskedGroupLimit)
            continue;
        for (int j = 0; j < groups.group_sizes[g]; ++j)
            if (reach[groups.order[groups.group_starts[g] + j]] > 0.0f)
                masks[g] |= uint16_t(1u << j);
    }
    return masks;
}

void MergeReachableMasks(std::vector<uint16_t>& masks, const std::vector<uint16_t>& other) {
    assert(masks.size() == other.size());
    for (size_t g = 0; g < masks.size(); ++g)
        masks[g] |= other[g];
}
