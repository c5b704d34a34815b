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
// The root list is ordered in three groups: the combos only OOP (player 0) holds, those
// both players hold, those only IP (player 1) holds; inside a group by internal combo
// index. Filtered lists keep their parent's order, so on every list each player's combos
// form one contiguous span (RunoutCombos::span), and a decision node stores numbers for
// its acting player's span only (runout_layout.h).
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
#include <memory>
#include <span>
#include <vector>

#include "cards/card.h"
#include "cards/hand_rules.h"
#include "cards/suit_isomorphism.h"
#include "solver/card_pair.h"
#include "solver/runout_layout.h"
#include "solver/strength_groups.h"

struct RunoutCombos {
    int                   card = -1;  // the card dealt to reach this runout; -1 at the root
    ComboSpan             span[2];    // the positions of each player's combos
    std::vector<uint16_t> combo;      // internal combo index of each entry
    std::vector<CardPair> cards;      // the two cards of each entry
    std::vector<uint16_t> parent;     // entry -> position in the list it came from
    // The same map as bits over the list it came from: one 16-bit mask per 16 entries of
    // that list, bit set when the entry is kept here (kernels GatherKept, ScatterKeptAdd).
    std::vector<uint16_t> kept;

    int Size() const { return static_cast<int>(combo.size()); }
};

// A card a chance node deals, with the weight its child's values carry into the sum.
//
// With suit isomorphism one card stands for every card of the same rank in the suits that
// neither the tree's own board nor the board at the deal can tell apart (and that both
// ranges treat alike). Its child is solved once;
// the values of the cards it stands for are the child's values with those suits swapped,
// so each image is a position table of the parent list: the parent entry a combo with the
// two suits exchanged sits at.
struct DealtCard {
    int   card;
    int   slot;    // turn or river slot of the card
    float weight;  // 1, or the card's deck weight times the chance node's normaliser
    std::vector<const std::vector<uint16_t>*> images;  // one per other card it stands for
};

struct RunoutSetup {
    CardMask                           flop  = 0;
    int                                turn  = -1;  // the board's turn card, or -1
    int                                river = -1;  // the board's river card, or -1
    std::span<const double>            ranges[2];   // internal order, 1326 each
    const HandRules*                   rules = nullptr;
    std::span<const double>            deck_weights;  // 52 card weights, or empty
    bool                               isomorphism = false;  // merge interchangeable cards
};

// How a runout named by the user's cards maps onto the runout the solver keeps: the
// representative turn and river cards, and the suit renaming that carries the user's
// combos onto the representative runout's combos.
struct CanonicalRunout {
    int             turn  = -1;
    int             river = -1;
    SuitPermutation suits = kIdentitySuits;
};

class RunoutLists {
public:
    explicit RunoutLists(const RunoutSetup& setup);

    int BaseStreet() const { return base_street_; }

    // True when interchangeable cards are merged (isomorphism requested and both ranges
    // treat the board's alike suits alike).
    bool Isomorphic() const { return isomorphic_; }

    // The representative runout of the user's turn and river cards (-1 when not dealt).
    CanonicalRunout Canonical(int turn, int river) const;

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

    // Storage slots: every dealt turn of a flop tree, and every dealt (turn, river) pair,
    // numbered densely, so that storage holds no room for cards that are never dealt
    // (cards merged by isomorphism, cards below the low card). -1 for a runout not dealt.
    int TurnSlotCount() const { return turn_slot_count_; }
    int RiverSlotCount() const { return river_slot_count_; }
    int TurnStorageSlot(int turn_slot) const { return turn_storage_[turn_slot]; }
    int RiverStorageSlot(int turn_slot, int river_slot) const {
        return river_storage_[turn_slot * kRiverSlotCount + river_slot];
    }

    // 1/(45 - 4k) for turn chance nodes and 1/(44 - 4k) for river chance nodes, k the
    // number of ranks below the low card.
    double TurnChanceFactor() const { return turn_factor_; }
    double RiverChanceFactor() const { return river_factor_; }

    static constexpr int kTurnSlotCount  = 49;
    static constexpr int kRiverSlotCount = 48;

private:
    void BuildRoot(const RunoutSetup& setup);
    // For each suit the suit whose cards a dealt card of this suit is merged into: the
    // lowest suit with the same ranks among 'used' that both ranges treat alike (combos
    // avoiding 'used' keep their weights when the two suits are exchanged); itself when
    // isomorphism is off.
    SuitPermutation MergedSuits(CardMask used) const;
    std::vector<DealtCard> DealsAfter(CardMask used, CardMask in_play,
                                      std::span<const double> deck, const RunoutCombos& parent);
    const std::vector<uint16_t>* Image(const RunoutCombos& parent, int suit_a, int suit_b);
    void BuildTurns(const RunoutSetup& setup);
    void BuildRivers(const RunoutSetup& setup);

    int                                 base_street_ = 1;
    bool                                isomorphic_  = false;
    int                                 turn_slot_count_  = 0;
    int                                 river_slot_count_ = 0;
    std::vector<int>                    turn_storage_  = std::vector<int>(kTurnSlotCount, -1);
    std::vector<int> river_storage_ = std::vector<int>(kTurnSlotCount * kRiverSlotCount, -1);
    std::vector<double>                 ranges_[2];
    std::vector<std::unique_ptr<std::vector<uint16_t>>> images_;
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
