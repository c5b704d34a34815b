#include "solver/point_runouts.h"

#include <algorithm>
#include <vector>

#include "tree/built_tree.h"

namespace {

class PointWalk {
public:
    PointWalk(const CfrEngine& engine, const QueryPoint& point,
              const std::function<void(const PointRunout&)>& visit)
        : engine_(engine), tree_(engine.Tree()), point_(point), visit_(visit) {}

    void Run() {
        const Runout       root = RootRunout(engine_.Runouts());
        std::vector<double> reach[2];
        for (int p = 0; p < 2; ++p) {
            const auto& range = tree_.Range(p);
            reach[p].resize(root.Size());
            for (int i = 0; i < root.Size(); ++i)
                reach[p][i] = std::max(range[root.list->combo[i]], 0.0);
        }
        Descend(root, reach, {1.0, 1.0}, tree_.Board().turn, tree_.Board().river, 0);
    }

private:
    // Multiplies the actor's reach by its frequency of the action taken.
    void ApplyStep(const PathStep& step, const Runout& runout, std::vector<double>& reach) {
        const size_t stride = engine_.LayoutOf(step.node).combos;
        strategy_.resize(tree_.Node(step.node).child_count * stride);
        if (!engine_.ReportedStrategy(step.node, runout, strategy_.data(), stride))
            throw StrategyUnavailable();
        const float* row = strategy_.data() + step.action * stride;
        for (int i = 0; i < runout.Size(); ++i)
            reach[i] *= row[i];
    }

    struct Chance {
        double all, open;
    };

    void Descend(const Runout& runout, std::vector<double> (&reach)[2], Chance chance, int turn,
                 int river, size_t step) {
        for (; step < point_.steps.size() && point_.steps[step].street == runout.street; ++step)
            ApplyStep(point_.steps[step], runout, reach[point_.steps[step].player]);
        if (runout.street >= point_.street) {
            visit_({runout, turn, river, chance.all, chance.open, {reach[0].data(), reach[1].data()}});
            return;
        }
        const bool   turn_deal = runout.street == kFlop;
        const int    named     = turn_deal ? point_.turn : point_.river;
        const double factor    = ChanceFactorAfter(engine_.Runouts(), runout);
        for (const DealtCard& deal : DealsAfter(engine_.Runouts(), runout)) {
            if ((named >= 0 && deal.card != named) || (turn_deal && deal.card == point_.river))
                continue;
            const Runout       child = DealtRunout(engine_.Runouts(), runout, deal);
            std::vector<double> child_reach[2];
            for (int p = 0; p < 2; ++p) {
                child_reach[p].resize(child.Size());
                for (int j = 0; j < child.Size(); ++j)
                    child_reach[p][j] = reach[p][child.list->parent[j]];
            }
            const double p = deal.weight * factor;
            Descend(child, child_reach, {chance.all * p, named >= 0 ? chance.open : chance.open * p},
                    turn_deal ? deal.card : turn, turn_deal ? river : deal.card, step);
        }
    }

    const CfrEngine&                               engine_;
    const BuiltTree&                               tree_;
    const QueryPoint&                              point_;
    const std::function<void(const PointRunout&)>& visit_;
    std::vector<float>                             strategy_;
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
