#include "solver/live_equity.h"

#include <algorithm>
#include <limits>

#include "cards/combo_tables.h"
#include "solver/point_runouts.h"
#include "solver/runout_lists.h"
#include "solver/subtree_values.h"

namespace {

int CardOf(CardMask mask) { return mask ? LowestCard(mask) : -1; }

}  // namespace

LiveLists::Key LiveLists::KeyOf(const CardState& cards) {
    Key key;
    key.flop  = cards.board.flop;
    key.turn  = cards.board.turn;
    key.river = cards.board.river;
    for (int p = 0; p < 2; ++p)
        key.ranges[p] = cards.ranges[p];
    if (cards.deck_weights_in_use)
        key.deck_weights.assign(cards.deck_weights.begin(), cards.deck_weights.end());
    key.low_card            = cards.rules.low_card;
    key.must_use_hole_cards = cards.rules.must_use_hole_cards;
    key.order               = cards.rules.type_at_position;
    return key;
}

const RunoutLists& LiveLists::For(const CardState& cards) {
    Key key = KeyOf(cards);
    if (lists_ && key == key_)
        return *lists_;
    lists_.reset();
    RunoutSetup setup;
    setup.flop      = cards.board.flop;
    setup.turn      = CardOf(cards.board.turn);
    setup.river     = CardOf(cards.board.river);
    setup.ranges[0] = cards.ranges[0];
    setup.ranges[1] = cards.ranges[1];
    setup.rules     = &cards.rules;
    if (cards.deck_weights_in_use)
        setup.deck_weights = cards.deck_weights;
    lists_ = std::make_unique<RunoutLists>(setup);
    key_   = std::move(key);
    return *lists_;
}

ComboFigures LiveScores(const CardState& cards, int player, LiveLists& live_lists) {
    const RunoutLists&  lists = live_lists.For(cards);
    const Runout        root = RootRunout(lists);
    const RunoutCombos& list = *root.list;
    const int           n    = list.Size();

    std::vector<float> reach[2];
    for (int p = 0; p < 2; ++p) {
        reach[p].resize(n);
        for (int i = 0; i < n; ++i)
            reach[p][i] = static_cast<float>(std::max(cards.ranges[p][list.combo[i]], 0.0));
    }
    const int          opponent = 1 - player;
    std::vector<float> scores(n), showdown_mass(n), mass(n);
    ShowdownScores(lists, root, reach[opponent].data(), scores.data(), showdown_mass.data());
    CompatibleMass(list, reach[opponent].data(), mass.data());

    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    ComboFigures     result{std::vector<double>(kComboCount, kNaN),
                        std::vector<double>(kComboCount, kNaN)};
    const CardMask   board = cards.board.Cards();
    for (int c = 0; c < kComboCount; ++c)
        if (!(Combos().MaskOfInternal(c) & board))
            result.weight[c] = 0;
    double total = 0;
    for (int i = 0; i < n; ++i)
        total += double(reach[player][i]) * mass[i];
    for (int i = 0; i < n; ++i) {
        const int c = list.combo[i];
        if (total > 0)
            result.weight[c] = double(reach[player][i]) * mass[i] / total;
        if (reach[player][i] > 0 && showdown_mass[i] > 0)
            result.figure[c] = double(scores[i]) / showdown_mass[i];
    }
    return result;
}
