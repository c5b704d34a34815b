#include "solver/runout_lists.h"

#include <omp.h>

#include "cards/combo_tables.h"
#include "cards/showdown_strength.h"
#include "tree/runout_tables.h"

namespace {

CardMask CardsInPlay(int low_card) { return ~CardsBelowRank(low_card) & ((CardMask{1} << 52) - 1); }

// The dealable cards off 'used', each with weight 1 or its deck weight times the
// normaliser that keeps the weights' mean at 1.
std::vector<DealtCard> Deals(CardMask used, CardMask in_play, std::span<const double> deck) {
    std::vector<DealtCard> deals;
    double                 weight_sum = 0;
    for (int card = 0; card < kCardCount; ++card) {
        if (!(in_play >> card & 1) || (used >> card & 1))
            continue;
        double weight = deck.empty() ? 1.0 : deck[card];
        deals.push_back({card, RunoutSlotOf(used, card), static_cast<float>(weight)});
        weight_sum += weight;
    }
    if (!deck.empty() && weight_sum > 0) {
        double normaliser = static_cast<double>(deals.size()) / weight_sum;
        for (auto& deal : deals)
            deal.weight = static_cast<float>(deal.weight * normaliser);
    }
    return deals;
}

StrengthGroups GroupsOf(const RunoutCombos& list, CardMask board, const HandRules& rules) {
    std::vector<uint32_t> strength(list.combo.size());
    const ComboTables&    tables = Combos();
    for (size_t i = 0; i < list.combo.size(); ++i)
        strength[i] = ShowdownStrength(board, tables.cards_of_internal[list.combo[i]], rules);
    return BuildStrengthGroups(list.cards, strength);
}

}  // namespace

RunoutCombos FilterRunout(const RunoutCombos& parent, int card) {
    RunoutCombos child;
    child.card = card;
    child.combo.reserve(parent.combo.size());
    child.cards.reserve(parent.combo.size());
    child.parent.reserve(parent.combo.size());
    for (size_t i = 0; i < parent.combo.size(); ++i) {
        const CardPair pair = parent.cards[i];
        if (pair.first == card || pair.second == card)
            continue;
        child.combo.push_back(parent.combo[i]);
        child.cards.push_back(pair);
        child.parent.push_back(static_cast<uint16_t>(i));
    }
    return child;
}

RunoutLists::RunoutLists(const RunoutSetup& setup) {
    base_street_ = 1 + (setup.turn >= 0) + (setup.river >= 0);
    board_       = setup.flop | (setup.turn >= 0 ? CardBit(setup.turn) : 0) |
             (setup.river >= 0 ? CardBit(setup.river) : 0);
    const int removed_ranks = setup.rules->low_card;
    turn_factor_            = 1.0 / (45 - 4 * removed_ranks);
    river_factor_           = 1.0 / (44 - 4 * removed_ranks);
    BuildRoot(setup);
    if (base_street_ == 1)
        BuildTurns(setup);
    if (base_street_ <= 2)
        BuildRivers(setup);
    else
        root_strength_ = GroupsOf(root_, board_, *setup.rules);
}

void RunoutLists::BuildRoot(const RunoutSetup& setup) {
    const ComboTables& tables = Combos();
    for (int combo = 0; combo < kComboCount; ++combo) {
        if (tables.MaskOfInternal(combo) & board_)
            continue;
        if (!(setup.ranges[0][combo] > 0) && !(setup.ranges[1][combo] > 0))
            continue;
        const ComboCards cards = tables.cards_of_internal[combo];
        root_.combo.push_back(static_cast<uint16_t>(combo));
        root_.cards.push_back({cards.high, cards.low});
        root_.parent.push_back(static_cast<uint16_t>(root_.combo.size() - 1));
    }
}

void RunoutLists::BuildTurns(const RunoutSetup& setup) {
    const CardMask in_play = CardsInPlay(setup.rules->low_card);
    turn_deals_            = Deals(board_, in_play, setup.deck_weights);
    turns_.resize(kTurnSlotCount);
    for (const DealtCard& deal : turn_deals_)
        turns_[deal.slot] = FilterRunout(root_, deal.card);
}

void RunoutLists::BuildRivers(const RunoutSetup& setup) {
    const CardMask in_play     = CardsInPlay(setup.rules->low_card);
    const int      turn_slots  = base_street_ == 1 ? kTurnSlotCount : 1;
    rivers_.resize(static_cast<size_t>(turn_slots) * kRiverSlotCount);
    river_strength_.resize(rivers_.size());
    river_deals_.resize(turn_slots);

    // The (turn slot, turn card) pairs whose rivers are dealt.
    std::vector<std::pair<int, int>> turns;
    if (base_street_ == 1)
        for (const DealtCard& deal : turn_deals_)
            turns.emplace_back(deal.slot, deal.card);
    else
        turns.emplace_back(0, setup.turn);
    for (auto [slot, card] : turns)
        river_deals_[slot] = Deals(board_ | CardBit(card), in_play, setup.deck_weights);

#pragma omp parallel for schedule(dynamic)
    for (size_t t = 0; t < turns.size(); ++t) {
        const auto [slot, card]       = turns[t];
        const RunoutCombos& turn_list = base_street_ == 1 ? turns_[slot] : root_;
        for (const DealtCard& deal : river_deals_[slot]) {
            const size_t index = static_cast<size_t>(slot) * kRiverSlotCount + deal.slot;
            rivers_[index]     = FilterRunout(turn_list, deal.card);
            const CardMask full_board = board_ | CardBit(card) | CardBit(deal.card);
            river_strength_[index]    = GroupsOf(rivers_[index], full_board, *setup.rules);
        }
    }
}

const StrengthGroups& RunoutLists::Strength(int turn_slot, int river_slot) const {
    if (turn_slot < 0)
        return root_strength_;
    return river_strength_[static_cast<size_t>(turn_slot) * kRiverSlotCount + river_slot];
}
