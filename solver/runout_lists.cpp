#include "solver/runout_lists.h"

#include <omp.h>

#include "cards/combo_tables.h"
#include "cards/showdown_strength.h"
#include "tree/runout_tables.h"

namespace {

CardMask CardsInPlay(int low_card) { return ~CardsBelowRank(low_card) & ((CardMask{1} << 52) - 1); }

SuitPermutation SwapSuits(int a, int b) {
    SuitPermutation swap = kIdentitySuits;
    swap[a]              = static_cast<uint8_t>(b);
    swap[b]              = static_cast<uint8_t>(a);
    return swap;
}

StrengthGroups GroupsOf(const RunoutCombos& list, CardMask board, const HandRules& rules) {
    std::vector<uint32_t> strength(list.combo.size());
    const ComboTables&    tables = Combos();
    for (size_t i = 0; i < list.combo.size(); ++i)
        strength[i] = ShowdownStrength(board, tables.cards_of_internal[list.combo[i]], rules);
    return BuildStrengthGroups(list.cards, strength, list.combo);
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
    child.kept.assign((parent.combo.size() + 15) / 16, 0);
    for (uint16_t i : child.parent)
        child.kept[i / 16] |= uint16_t(1u << (i % 16));
    // The child keeps the parent's order, so each player's span maps onto a span.
    for (int p = 0; p < 2; ++p) {
        const ComboSpan& from = parent.span[p];
        for (uint16_t i : child.parent) {
            child.span[p].first += i < from.first;
            child.span[p].count += i >= from.first && i < from.End();
        }
    }
    return child;
}

RunoutLists::RunoutLists(const RunoutSetup& setup) {
    base_street_ = 1 + (setup.turn >= 0) + (setup.river >= 0);
    isomorphic_  = setup.isomorphism && setup.deck_weights.empty();
    ranges_[0].assign(setup.ranges[0].begin(), setup.ranges[0].end());
    ranges_[1].assign(setup.ranges[1].begin(), setup.ranges[1].end());
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

SuitPermutation RunoutLists::MergedSuits(CardMask used) const {
    SuitPermutation merged = kIdentitySuits;
    if (!isomorphic_)
        return merged;
    // Two suits merge only when every board the hand has seen treats them alike: a turn
    // card can make two suits of the flop look alike (Qs Jh 2h Qc: spades and clubs), but
    // the flop's play told them apart, so the reach of their combos differs.
    const SuitPermutation alike  = AlikeSuits(used);
    const SuitPermutation first  = AlikeSuits(board_);
    const ComboTables&    tables = Combos();
    for (int suit = 0; suit < kSuitCount; ++suit) {
        const int rep = alike[suit];
        if (rep == suit || first[suit] != first[rep])
            continue;
        const SuitPermutation swap      = SwapSuits(rep, suit);
        bool                  symmetric = true;
        for (int combo = 0; combo < kComboCount && symmetric; ++combo) {
            if (tables.MaskOfInternal(combo) & used)
                continue;
            const int image = PermuteCombo(combo, swap);
            symmetric = ranges_[0][combo] == ranges_[0][image] && ranges_[1][combo] == ranges_[1][image];
        }
        if (symmetric)
            merged[suit] = static_cast<uint8_t>(rep);
    }
    return merged;
}

const std::vector<uint16_t>* RunoutLists::Image(const RunoutCombos& parent, int suit_a,
                                               int suit_b) {
    const SuitPermutation swap = SwapSuits(suit_a, suit_b);
    std::vector<int>      position(kComboCount, -1);
    for (int i = 0; i < parent.Size(); ++i)
        position[parent.combo[i]] = i;
    auto image = std::make_unique<std::vector<uint16_t>>(parent.Size());
    for (int i = 0; i < parent.Size(); ++i) {
        const int target = position[PermuteCombo(parent.combo[i], swap)];
        // The parent list is closed under the swap: both ranges weight a combo and its
        // image alike, and the swap keeps the board.
        (*image)[i] = static_cast<uint16_t>(target < 0 ? i : target);
    }
    images_.push_back(std::move(image));
    return images_.back().get();
}

std::vector<DealtCard> RunoutLists::DealsAfter(CardMask used, CardMask in_play,
                                               std::span<const double> deck,
                                               const RunoutCombos& parent) {
    const SuitPermutation  merged = MergedSuits(used);
    std::vector<DealtCard> deals;
    double                 weight_sum = 0;
    for (int card = 0; card < kCardCount; ++card) {
        if (!(in_play >> card & 1) || (used >> card & 1))
            continue;
        const double weight = deck.empty() ? 1.0 : deck[card];
        weight_sum += weight;
        const int suit = SuitOf(card);
        if (merged[suit] != suit)
            continue;  // dealt as an image of the card in the suit it merges into
        DealtCard deal{card, RunoutSlotOf(used, card), static_cast<float>(weight), {}};
        for (int other = 0; other < kSuitCount; ++other)
            if (other != suit && merged[other] == suit)
                deal.images.push_back(Image(parent, suit, other));
        deals.push_back(std::move(deal));
    }
    // Deck weights keep their mean at 1 over the dealable cards (isomorphism is off then).
    if (!deck.empty() && weight_sum > 0) {
        const double normaliser = static_cast<double>(deals.size()) / weight_sum;
        for (auto& deal : deals)
            deal.weight = static_cast<float>(deal.weight * normaliser);
    }
    return deals;
}

CanonicalRunout RunoutLists::Canonical(int turn, int river) const {
    CanonicalRunout canonical{turn, river, kIdentitySuits};
    auto            merge = [&](int& card, CardMask used) {
        const int suit = SuitOf(card);
        const int rep  = MergedSuits(used)[suit];
        if (rep == suit)
            return;
        const SuitPermutation swap = SwapSuits(suit, rep);
        card                       = PermuteCard(card, swap);
        if (&card == &canonical.turn && canonical.river >= 0)
            canonical.river = PermuteCard(canonical.river, swap);
        for (auto& s : canonical.suits)
            s = swap[s];
    };
    if (base_street_ == 1 && canonical.turn >= 0)
        merge(canonical.turn, board_);
    const bool turn_known = base_street_ == 2 || canonical.turn >= 0;
    if (base_street_ <= 2 && canonical.river >= 0 && turn_known) {
        const CardMask used = base_street_ == 1 ? board_ | CardBit(canonical.turn) : board_;
        merge(canonical.river, used);
    }
    return canonical;
}

// The combos off the board in three groups, each in combo order: only OOP holds them,
// both do, only IP does.
void RunoutLists::BuildRoot(const RunoutSetup& setup) {
    const ComboTables& tables = Combos();
    std::vector<uint16_t> groups[3];
    for (int combo = 0; combo < kComboCount; ++combo) {
        if (tables.MaskOfInternal(combo) & board_)
            continue;
        const bool oop = setup.ranges[0][combo] > 0, ip = setup.ranges[1][combo] > 0;
        if (oop || ip)
            groups[oop ? (ip ? 1 : 0) : 2].push_back(static_cast<uint16_t>(combo));
    }
    for (const auto& group : groups)
        for (uint16_t combo : group) {
            const ComboCards cards = tables.cards_of_internal[combo];
            root_.combo.push_back(combo);
            root_.cards.push_back({cards.high, cards.low});
            root_.parent.push_back(static_cast<uint16_t>(root_.combo.size() - 1));
        }
    const int only_oop = static_cast<int>(groups[0].size());
    const int both     = static_cast<int>(groups[1].size());
    root_.span[0]      = {0, only_oop + both};
    root_.span[1]      = {only_oop, both + static_cast<int>(groups[2].size())};
}

void RunoutLists::BuildTurns(const RunoutSetup& setup) {
    const CardMask in_play = CardsInPlay(setup.rules->low_card);
    turn_deals_            = DealsAfter(board_, in_play, setup.deck_weights, root_);
    turns_.resize(kTurnSlotCount);
    for (const DealtCard& deal : turn_deals_) {
        turns_[deal.slot]         = FilterRunout(root_, deal.card);
        turn_storage_[deal.slot] = turn_slot_count_++;
    }
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
    for (auto [slot, card] : turns) {
        const RunoutCombos& turn_list = base_street_ == 1 ? turns_[slot] : root_;
        river_deals_[slot] = DealsAfter(board_ | CardBit(card), in_play, setup.deck_weights, turn_list);
        for (const DealtCard& deal : river_deals_[slot])
            river_storage_[slot * kRiverSlotCount + deal.slot] = river_slot_count_++;
    }

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
