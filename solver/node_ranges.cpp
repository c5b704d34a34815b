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

std::array<std::vector<double>, 2> RangesAtPoint(const CfrEngine& engine, const QueryPoint& point) {
    std::array<std::vector<double>, 2> range{std::vector<double>(kComboCount, 0.0),
                                             std::vector<double>(kComboCount, 0.0)};
    std::vector<double>                live(kComboCount, 0.0);
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        const RunoutCombos& list = *r.runout.list;
        for (int i = 0; i < list.Size(); ++i) {
            live[list.combo[i]] += r.open_chance;
            for (int p = 0; p < 2; ++p)
                range[p][list.combo[i]] += r.open_chance * r.reach[p][i];
        }
    });
    for (int c = 0; c < kComboCount; ++c)
        for (int p = 0; p < 2; ++p)
            range[p][c] = live[c] > 0 ? range[p][c] / live[c] : 0.0;
    return range;
}

PointStrategy StrategyAtPoint(const CfrEngine& engine, const QueryPoint& point) {
    const BuiltNode& node  = engine.Tree().Node(point.node);
    const int        actor = node.player;
    PointStrategy    result;
    result.actions = static_cast<int>(node.child_count);
    const size_t cells = size_t(result.actions) * kComboCount;
    std::vector<double> weighted(cells, 0.0), plain(cells, 0.0);
    std::vector<double> reach(kComboCount, 0.0), live(kComboCount, 0.0);
    const size_t        stride = engine.LayoutOf(point.node).RowStride();
    std::vector<float>  rows(stride * result.actions);
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        if (!engine.ReportedStrategy(point.node, r.runout, rows.data(), stride))
            throw StrategyUnavailable();
        const RunoutCombos& list = *r.runout.list;
        for (int i = 0; i < list.Size(); ++i) {
            const int    c = list.combo[i];
            const double w = r.open_chance * r.reach[actor][i];
            live[c] += r.open_chance;
            reach[c] += w;
            for (int a = 0; a < result.actions; ++a) {
                weighted[a * kComboCount + c] += w * rows[a * stride + i];
                plain[a * kComboCount + c] += r.open_chance * rows[a * stride + i];
            }
        }
    });
    result.frequencies.assign(cells, kNaN);
    result.child_range.assign(cells, 0.0);
    result.range.assign(kComboCount, 0.0);
    for (int c = 0; c < kComboCount; ++c) {
        if (!(live[c] > 0))
            continue;
        result.range[c] = reach[c] / live[c];
        for (int a = 0; a < result.actions; ++a) {
            const size_t k           = size_t(a) * kComboCount + c;
            result.frequencies[k]    = reach[c] > 0 ? weighted[k] / reach[c] : plain[k] / live[c];
            result.child_range[k]    = weighted[k] / live[c];
        }
    }
    return result;
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
