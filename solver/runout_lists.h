// The combos in play on every runout of a tree, and the cards its chance nodes deal.
//
// Every per-combo vector of the solver is laid out over the combo list of its runout: the
// root list holds the combos that do not touch the board and have weight in at least one
// player's range; a turn list keeps the root entries that do not hold the turn card, a
// river list the turn (or root) entries that do not hold the river card. Each entry
// remembers its position in the list it came from, so a chance node maps reach down by a
// gather and values back up by a scatter. Both players' vectors of a runout use the same
// list, so an opponent's reach and the traverser's values are parallel arrays.
//
// Runouts are addressed by slot: the turn slot of a card is its rank among the cards off
// the flop (0..48), the river slot its rank among the cards off the flop and the turn
// (0..47); see tree/runout_tables.h. A tree that starts on the turn has one turn runout
// (its own turn card); one that starts on the river has one river runout.
//
// Built once per tree; read-only while solving. Building evaluates every combo on every
// river board (about 2.6 million evaluations for a flop tree) in a parallel loop.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "cards/card.h"
#include "cards/hand_rules.h"
#include "solver/card_pair.h"
#include "solver/strength_groups.h"

struct RunoutCombos {
    int                   card = -1;  // the card dealt to reach this runout; -1 at the root
    std::vector<uint16_t> combo;      // internal combo index of each entry
    std::vector<CardPair> cards;      // the two cards of each entry
    std::vector<uint16_t> parent;     // entry -> position in the list it came from

    int Size() const { return static_cast<int>(combo.size()); }
};

// A card a chance node deals, with the weight its child's values carry into the sum.
struct DealtCard {
    int   card;
    int   slot;    // turn or river slot of the card
    float weight;  // 1, or the card's deck weight times the chance node's normaliser
};

struct RunoutSetup {
    CardMask                           flop  = 0;
    int                                turn  = -1;  // the board's turn card, or -1
    int                                river = -1;  // the board's river card, or -1
    std::span<const double>            ranges[2];   // internal order, 1326 each
    const HandRules*                   rules = nullptr;
    std::span<const double>            deck_weights;  // 52 card weights, or empty
};

class RunoutLists {
public:
    explicit RunoutLists(const RunoutSetup& setup);

    int BaseStreet() const { return base_street_; }

    const RunoutCombos& Root() const { return root_; }

    // Turn runouts (flop trees only), by turn slot.
    const RunoutCombos& Turn(int turn_slot) const { return turns_[turn_slot]; }

    // River runouts: by (turn slot, river slot) in flop trees, by (0, river slot) in turn
    // trees. A river tree's only runout is Root().
    const RunoutCombos& River(int turn_slot, int river_slot) const {
        return rivers_[turn_slot * kRiverSlotCount + river_slot];
    }

    // Strength groups of a complete board: the river runout's, or the root's on a river
    // tree (pass -1, -1).
    const StrengthGroups& Strength(int turn_slot, int river_slot) const;

    // The cards the flop's chance nodes deal (flop trees), and the rivers dealt after a
    // turn slot (flop trees) or at the turn's chance nodes (turn trees: slot 0).
    std::span<const DealtCard> TurnDeals() const { return turn_deals_; }
    std::span<const DealtCard> RiverDeals(int turn_slot) const { return river_deals_[turn_slot]; }

    // 1/(45 - 4k) for turn chance nodes and 1/(44 - 4k) for river chance nodes, k the
    // number of ranks below the low card.
    double TurnChanceFactor() const { return turn_factor_; }
    double RiverChanceFactor() const { return river_factor_; }

    static constexpr int kTurnSlotCount  = 49;
    static constexpr int kRiverSlotCount = 48;

private:
    void BuildRoot(const RunoutSetup& setup);
    void BuildTurns(const RunoutSetup& setup);
    void BuildRivers(const RunoutSetup& setup);

    int                                 base_street_ = 1;
    CardMask                            board_       = 0;
    RunoutCombos                        root_;
    StrengthGroups                      root_strength_;
    std::vector<RunoutCombos>           turns_;
    std::vector<RunoutCombos>           rivers_;
    std::vector<StrengthGroups>         river_strength_;
    std::vector<DealtCard>              turn_deals_;
    std::vector<std::vector<DealtCard>> river_deals_;
    double                              turn_factor_  = 0;
    double                              river_factor_ = 0;
};

// Fills 'child' with the entries of 'parent' that do not hold 'card'.
RunoutCombos FilterRunout(const RunoutCombos& parent, int card);
