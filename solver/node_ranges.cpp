#include "solver/node_ranges.h"

#include <cmath>
#include <limits>

#include "cards/card.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"
#include "tree/built_tree.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Sum over the list of reach_a x (compatible mass of reach_b).
template <class Reach>
double PairMass(const RunoutCombos& list, const Reach* reach_a, const float* reach_b) {
    std::vector<float> mass(list.Size());
    CompatibleMass(list, reach_b, mass.data());
    double sum = 0;
    for (int i = 0; i < list.Size(); ++i)
        sum += double(reach_a[i]) * mass[i];
    return sum;
}

}  // namespace

PointSummary SummaryAtPoint(const CfrEngine& engine, const QueryPoint& point, bool with_strategy) {
    const BuiltNode& node    = engine.Tree().Node(point.node);
    const int        actor   = node.player;
    const int        actions = with_strategy ? static_cast<int>(node.child_count) : 0;
    const size_t     cells   = size_t(actions) * kComboCount;
    std::vector<double> range[2] = {std::vector<double>(kComboCount, 0.0),
                                    std::vector<double>(kComboCount, 0.0)};
    std::vector<double> live(kComboCount, 0.0), weighted(cells, 0.0), plain(cells, 0.0);
    const size_t        stride = engine.LayoutOf(point.node).RowStride();
    std::vector<float>  rows(actions ? stride * actions : 0);
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        if (actions && !engine.ReportedStrategy(point.node, r.runout, rows.data(), stride))
            throw StrategyUnavailable();
        for (int i = 0; i < r.runout.Size(); ++i) {
            const int c = r.user_combo[i];
            live[c] += r.open_chance;
            for (int p = 0; p < 2; ++p)
                range[p][c] += r.open_chance * r.reach[p][i];
            const double w = r.open_chance * r.reach[actor][i];
            for (int a = 0; a < actions; ++a) {
                weighted[a * kComboCount + c] += w * rows[a * stride + i];
                plain[a * kComboCount + c] += r.open_chance * rows[a * stride + i];
            }
        }
    });
    PointSummary summary;
    summary.strategy.actions = actions;
    summary.strategy.frequencies.assign(cells, kNaN);
    summary.strategy.child_range.assign(cells, 0.0);
    for (int c = 0; c < kComboCount; ++c) {
        if (!(live[c] > 0))
            continue;
        const double reach = range[actor][c];  // the actor's reach summed over the runouts
        for (int a = 0; a < actions; ++a) {
            const size_t k = size_t(a) * kComboCount + c;
            summary.strategy.frequencies[k] = reach > 0 ? weighted[k] / reach : plain[k] / live[c];
            summary.strategy.child_range[k] = weighted[k] / live[c];
        }
        for (int p = 0; p < 2; ++p)
            range[p][c] /= live[c];
    }
    summary.range = {std::move(range[0]), std::move(range[1])};
    return summary;
}

double RootPairMass(const CfrEngine& engine) {
    const RunoutCombos& root = engine.Runouts().Root();
    std::vector<double> reach(root.Size());
    std::vector<float>  opponent(root.Size());
    for (int i = 0; i < root.Size(); ++i) {
        reach[i]    = std::max(engine.Tree().Range(0)[root.combo[i]], 0.0);
        opponent[i] = static_cast<float>(std::max(engine.Tree().Range(1)[root.combo[i]], 0.0));
    }
    return PairMass(root, reach.data(), opponent.data());
}

double ReachShareAtPoint(const CfrEngine& engine, const QueryPoint& point, bool with_named_chance) {
    double mass = 0;
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        const double chance = with_named_chance ? r.chance : r.open_chance;
        mass += chance * PairMass(*r.runout.list, r.reach[0], r.FloatReach(1).data());
    });
    const double root = RootPairMass(engine);
    return root > 0 ? mass / root : kNaN;
}
