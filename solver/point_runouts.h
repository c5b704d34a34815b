// The runouts a query point covers, each with both players' reach at the point.
//
// A point covers one runout per way of dealing the cards its path leaves open: a street
// the path enters without naming its card stands for every card a chance node deals
// there. Each covered runout carries its chance weight (the probability of its dealt
// cards, deck weights included, 1 for a tree's own board cards; also over its open cards
// alone) and each player's reach over the runout's combo list: the range stored in the
// tree times the player's own strategy frequencies for the actions taken on the path, on
// that runout.
//
// The walk goes street by street: the decisions of a street are applied once per runout of
// that street, so a flop point costs one pass over its steps and a river point of a flop
// tree with both cards open 49 x 48 short passes. It enumerates the user's cards, every
// one of them even where suit isomorphism makes the solver keep one runout for several:
// each user runout is the solver's runout of its representative cards, its entries
// standing for the user's combos with the suits renamed back (CanonicalRunout), and the
// reach of a user combo is carried from street to street under its own name.
#pragma once

#include <functional>
#include <vector>

#include "solver/cfr_engine.h"
#include "solver/query_point.h"

struct PointRunout {
    Runout          runout;  // the solver's runout at the point's street (the representative
                             // of the user's cards under suit isomorphism)
    const uint16_t* user_combo = nullptr;  // per entry of runout.list: the user's combo
                                           // (internal index, the user's suits)
    double        chance      = 1.0;  // probability of every dealt card below the board
    double        open_chance = 1.0;  // the same over the cards the path leaves open
    const double* reach[2]    = {};   // per player, runout.Size() entries (double, so that
                                      // a range at a point adds up exactly)

    // A player's reach as the solver's float vectors.
    std::vector<float> FloatReach(int player) const {
        return std::vector<float>(reach[player], reach[player] + runout.Size());
    }
};

// Calls 'visit' for every runout the point covers, turn cards in card order, then river
// cards. Throws StrategyUnavailable when a decision on the path holds no storage. The
// caller holds the tree mutex.
void ForEachPointRunout(const CfrEngine& engine, const QueryPoint& point,
                        const std::function<void(const PointRunout&)>& visit);

// Chance steps over a tree's runouts (the same dealing as the solver's sweeps):
// The runout reached from 'parent' (one street earlier) by 'deal'.
Runout DealtRunout(const RunoutLists& lists, const Runout& parent, const DealtCard& deal);

// The cards dealt at the chance node after 'runout', and that street's chance factor.
std::span<const DealtCard> DealsAfter(const RunoutLists& lists, const Runout& runout);
double                     ChanceFactorAfter(const RunoutLists& lists, const Runout& runout);

// The runout at the first street of the lists (a tree's root).
Runout RootRunout(const RunoutLists& lists);

// The strength groups of a river runout.
const StrengthGroups& StrengthOf(const RunoutLists& lists, const Runout& river_runout);
