// Strength groups of one river runout: the runout's combos sorted by hand value, weakest
// first, cut into groups of equal value; and the reachable masks that let a showdown sweep
// skip combos whose reach is zero.
//
// Built once per complete five-card board (they live with the tree) and read by every
// showdown evaluation of that board (showdown_values.h). Building sorts n combos:
// O(n log n), n <= 1326.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "solver/card_pair.h"

// Groups of up to this many combos carry a 16-bit reachable mask; larger groups (rare:
// the board plays, or a common straight) are scanned member by member.
inline constexpr int kMaskedGroupLimit = 16;

struct StrengthGroups {
    int                   combo_count = 0;
    std::vector<uint16_t> order;         // sorted position -> index in the runout's combo list
    std::vector<CardPair> sorted_cards;  // cards by sorted position
    std::vector<uint16_t> group_sizes;   // weakest group first; they add up to combo_count
    std::vector<uint16_t> group_starts;  // sorted position of each group's first member
    bool                  identity_order = false;  // order[k] == k for all k

    int GroupCount() const { return static_cast<int>(group_sizes.size()); }
};

// Sorts the runout's combos (cards[i], strength[i]; larger strength = stronger hand, e.g.
// the evaluator's 32-bit hand value) into groups. Ties are ordered by 'tie_key' (the
// combos' internal indices, so that the order inside a group, and with it every sum over
// the group, does not depend on how the list is ordered), or keep the combo-list order
// without one. Requires cards.size() == strength.size() <= 1326, and tie_key empty or of
// the same size.
StrengthGroups BuildStrengthGroups(std::span<const CardPair> cards,
                                   std::span<const uint32_t> strength,
                                   std::span<const uint16_t> tie_key = {});

// One 16-bit mask per group: bit j set when member j of the group (sorted position
// group_starts[g] + j) has reach > 0. Groups above kMaskedGroupLimit get 0 and are
// scanned instead. 'reach' is in combo-list order.
std::vector<uint16_t> BuildReachableMasks(const StrengthGroups& groups, const float* reach);

// ORs 'other' into 'masks' (the masks of a set of terminals are the union of the masks of
// their reach patterns). Both must come from the same groups.
void MergeReachableMasks(std::vector<uint16_t>& masks, const std::vector<uint16_t>& other);
