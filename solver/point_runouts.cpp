#include "solver/point_runouts.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "cards/combo_tables.h"
#include "cards/suit_isomorphism.h"

#include "tree/built_tree.h"

namespace {

// One street of the walk: the solver's runout, the user's combo of each of its entries,
// and both players' reach over the entries.
struct Level {
    Runout                runout;
    std::vector<uint16_t> user_combo;
    std::vector<double>   reach[2];
};

class PointWalk {
public:
    PointWalk(const CfrEngine& engine, const QueryPoint& point,
              const std::function<void(const PointRunout&)>& visit)
        : engine_(engine), lists_(engine.Runouts()), tree_(engine.Tree()), point_(point),
          visit_(visit) {}

    void Run() {
        Level root;
        root.runout     = RootRunout(lists_);
        root.user_combo = root.runout.list->combo;
        for (int p = 0; p < 2; ++p) {
            const auto& range = tree_.Range(p);
            for (uint16_t combo : root.user_combo)
                root.reach[p].push_back(std::max(range[combo], 0.0));
        }
        Descend(root, {1.0, 1.0}, tree_.Board().turn, 0);
    }

private:
    struct Chance {
        double all, open;
    };

    // Multiplies the actor's reach by its frequency of the action taken.
    // The runouts of merged suits come one after another: their shared strategy is read
    // once.
    void ApplyStep(const PathStep& step, Level& level) {
        const size_t stride = engine_.LayoutOf(step.node).combos;
        if (step.node != read_node_ || level.runout.list != read_list_) {
            strategy_.resize(tree_.Node(step.node).child_count * stride);
            read_node_ = step.node;
            read_list_ = nullptr;
            if (!engine_.ReportedStrategy(step.node, level.runout, strategy_.data(), stride))
                throw StrategyUnavailable();
            read_list_ = level.runout.list;
        }
        const float* row = strategy_.data() + step.action * stride;
        for (int i = 0; i < level.runout.Size(); ++i)
            level.reach[step.player][i] *= row[i];
    }

    // The cards a chance node after 'level' can deal in the user's view.
    std::vector<int> UserCards(int named, int turn) const {
        if (named >= 0)
            return {named};
        CardMask used = tree_.Board().Mask() | (turn >= 0 ? CardBit(turn) : 0) |
                        (point_.river >= 0 ? CardBit(point_.river) : 0);
        std::vector<int> cards;
        for (int card = 0; card < kCardCount; ++card)
            if (!(used >> card & 1) && RankOf(card) >= tree_.low_rank)
                cards.push_back(card);
        return cards;
    }

    // The level of the user's card 'card' dealt after 'level' (nullopt when not dealt),
    // and the card's chance.
    // 'position' maps the user's combos to the entries of 'level' (-1 for none).
    std::optional<std::pair<Level, double>> Deal(const Level&            level,
                                                 const std::vector<int>& position, int turn,
                                                 int card) const {
        const bool            turn_deal = level.runout.street == kFlop;
        const CanonicalRunout canonical = turn_deal ? lists_.Canonical(card, -1)
                                                    : lists_.Canonical(turn, card);
        const auto runout =
            engine_.RunoutOf(level.runout.street + 1, canonical.turn, canonical.river);
        if (!runout)
            return std::nullopt;
        Level                 child;
        const SuitPermutation to_user = InverseSuits(canonical.suits);
        child.runout                  = *runout;
        child.user_combo.reserve(runout->Size());
        for (int p = 0; p < 2; ++p)
            child.reach[p].reserve(runout->Size());
        for (uint16_t combo : runout->list->combo) {
            const int user = PermuteCombo(combo, to_user);
            const int from = position[user];
            child.user_combo.push_back(static_cast<uint16_t>(user));
            for (int p = 0; p < 2; ++p)
                child.reach[p].push_back(from >= 0 ? level.reach[p][from] : 0.0);
        }
        const int slot = turn_deal ? runout->turn_slot : runout->river_slot;
        const int  turn_slot = lists_.BaseStreet() == kFlop ? runout->turn_slot : 0;
        const auto deals     = turn_deal ? lists_.TurnDeals() : lists_.RiverDeals(turn_slot);
        double weight = 1.0;
        for (const DealtCard& deal : deals)
            if (deal.slot == slot)
                weight = deal.weight;
        return std::pair(std::move(child), weight * ChanceFactorAfter(lists_, level.runout));
    }

    // Applies the decisions of the level's street, then visits the level or deals the next
    // street's cards; 'turn' is the user's turn card (-1 before it is dealt).
    void Descend(Level& level, Chance chance, int turn, size_t step) {
        const std::vector<PathStep>& steps = point_.steps;
        for (; step < steps.size() && steps[step].street == level.runout.street; ++step)
            ApplyStep(steps[step], level);
        if (level.runout.street >= point_.street) {
            visit_({level.runout, level.user_combo.data(), chance.all, chance.open,
                    {level.reach[0].data(), level.reach[1].data()}});
            return;
        }
        const bool turn_deal = level.runout.street == kFlop;
        const int  named     = turn_deal ? point_.turn : point_.river;
        if (!turn_deal && named < 0)
            return DescendOpenRivers(level, chance, turn, step);
        std::vector<int> position(kComboCount, -1);
        for (size_t j = 0; j < level.user_combo.size(); ++j)
            position[level.user_combo[j]] = static_cast<int>(j);
        for (int card : UserCards(named, turn)) {
            auto dealt = Deal(level, position, turn, card);
            if (!dealt)
                continue;
            const double p = dealt->second;
            Descend(dealt->first, {chance.all * p, named >= 0 ? chance.open : chance.open * p},
                    turn_deal ? card : turn, step);
        }
    }

    // Every river after 'level' when none is named: the solver's dealt rivers, and for each
    // the rivers it stands for under suit isomorphism, whose entries are the same with two
    // suits exchanged (the deal's images, as the solver's sweep adds them). No river card
    // is named, so none needs mapping.
    void DescendOpenRivers(const Level& level, Chance chance, int turn, size_t step) {
        const double factor = ChanceFactorAfter(lists_, level.runout);
        for (const DealtCard& deal : DealsAfter(lists_, level.runout)) {
            const Runout          runout = DealtRunout(lists_, level.runout, deal);
            const uint16_t*       parent = runout.list->parent.data();
            const double          p      = deal.weight * factor;
            std::vector<const uint16_t*> swaps = {nullptr};
            for (const std::vector<uint16_t>* image : deal.images)
                swaps.push_back(image->data());
            for (const uint16_t* swap : swaps) {
                Level child;
                child.runout = runout;
                child.user_combo.resize(runout.Size());
                for (int p2 = 0; p2 < 2; ++p2)
                    child.reach[p2].resize(runout.Size());
                for (int j = 0; j < runout.Size(); ++j) {
                    const int from      = swap ? swap[parent[j]] : parent[j];
                    child.user_combo[j] = level.user_combo[from];
                    for (int p2 = 0; p2 < 2; ++p2)
                        child.reach[p2][j] = level.reach[p2][from];
                }
                Descend(child, {chance.all * p, chance.open * p}, turn, step);
            }
        }
    }

    const CfrEngine&                               engine_;
    const RunoutLists&                             lists_;
    const BuiltTree&                               tree_;
    const QueryPoint&                              point_;
    const std::function<void(const PointRunout&)>& visit_;
    std::vector<float>                             strategy_;  // of read_node_ on read_list_
    uint32_t                                       read_node_ = 0;
    const RunoutCombos*                            read_list_ = nullptr;
};

}  // namespace

Runout RootRunout(const RunoutLists& lists) {
    const int base = lists.BaseStreet();
    Runout    root;
    root.street    = base;
    root.turn_slot = base == kTurn ? 0 : -1;
    root.list      = &lists.Root();
    return root;
}

std::span<const DealtCard> DealsAfter(const RunoutLists& lists, const Runout& runout) {
    if (runout.street == kFlop)
        return lists.TurnDeals();
    return lists.RiverDeals(lists.BaseStreet() == kFlop ? runout.turn_slot : 0);
}

double ChanceFactorAfter(const RunoutLists& lists, const Runout& runout) {
    return runout.street == kFlop ? lists.TurnChanceFactor() : lists.RiverChanceFactor();
}

Runout DealtRunout(const RunoutLists& lists, const Runout& parent, const DealtCard& deal) {
    Runout child = parent;
    child.street = parent.street + 1;
    if (parent.street == kFlop) {
        child.turn_slot = deal.slot;
        child.list      = &lists.Turn(deal.slot);
    } else {
        child.river_slot = deal.slot;
        child.list = &lists.River(lists.BaseStreet() == kFlop ? parent.turn_slot : 0, deal.slot);
    }
    return child;
}

const StrengthGroups& StrengthOf(const RunoutLists& lists, const Runout& runout) {
    switch (lists.BaseStreet()) {
        case kRiver: return lists.Strength(-1, -1);
        case kTurn: return lists.Strength(0, runout.river_slot);
        default: return lists.Strength(runout.turn_slot, runout.river_slot);
    }
}

void ForEachPointRunout(const CfrEngine& engine, const QueryPoint& point,
                        const std::function<void(const PointRunout&)>& visit) {
    PointWalk(engine, point, visit).Run();
}
