#include "solver/node_values.h"

#include <limits>

#include "cards/card.h"
#include "solver/node_ranges.h"
#include "solver/point_runouts.h"
#include "solver/subtree_values.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Adds one runout: per entry the weight (reach x compatible mass x chance / root
// mass) and weight x figure, where the figure of entry i is numerator[i] / mass[i].
struct FigureSums {
    std::vector<double> weighted = std::vector<double>(kComboCount, 0.0);
    std::vector<double> weight   = std::vector<double>(kComboCount, 0.0);
    std::vector<char>   live     = std::vector<char>(kComboCount, 0);

    void Add(const PointRunout& r, const double* reach, const float* mass,
             const std::vector<double>& figure, double scale) {
        for (int i = 0; i < r.runout.Size(); ++i) {
            const int    c = r.user_combo[i];
            const double w = scale * reach[i] * mass[i];
            live[c]        = 1;
            weight[c] += w;
            if (w > 0)
                weighted[c] += w * figure[i];
        }
    }

    ComboFigures Result() const {
        ComboFigures result{std::vector<double>(kComboCount, kNaN),
                            std::vector<double>(kComboCount, kNaN)};
        for (int c = 0; c < kComboCount; ++c) {
            if (!live[c])
                continue;
            result.weight[c] = weight[c];
            if (weight[c] > 0)
                result.figure[c] = weighted[c] / weight[c];
        }
        return result;
    }
};

}  // namespace

ComboFigures ValuesAtPoint(const CfrEngine& engine, const QueryPoint& point, int player) {
    const double root     = RootPairMass(engine);
    const int    opponent = 1 - player;
    SubtreeWalk  walk(engine, player);
    FigureSums   sums;
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        const int                n        = r.runout.Size();
        const std::vector<float> opponent_reach = r.FloatReach(opponent);
        std::vector<float>       values(n), mass(n);
        walk.Values(point.node, r.runout, nullptr, opponent_reach.data(), values.data());
        CompatibleMass(*r.runout.list, opponent_reach.data(), mass.data());
        std::vector<double> figure(n, 0.0);
        for (int i = 0; i < n; ++i)
            if (mass[i] > 0)
                figure[i] = double(values[i]) / mass[i];
        sums.Add(r, r.reach[player], mass.data(), figure, r.chance / root);
    });
    return sums.Result();
}

ComboFigures ScoresAtPoint(const CfrEngine& engine, const QueryPoint& point, int player) {
    const double root     = RootPairMass(engine);
    const int    opponent = 1 - player;
    FigureSums   sums;
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        const int                n        = r.runout.Size();
        const std::vector<float> opponent_reach = r.FloatReach(opponent);
        std::vector<float>       scores(n), showdown_mass(n), mass(n);
        ShowdownScores(engine.Runouts(), r.runout, opponent_reach.data(), scores.data(),
                       showdown_mass.data());
        CompatibleMass(*r.runout.list, opponent_reach.data(), mass.data());
        std::vector<double> figure(n, 0.0);
        for (int i = 0; i < n; ++i)
            if (showdown_mass[i] > 0)
                figure[i] = double(scores[i]) / showdown_mass[i];
        sums.Add(r, r.reach[player], mass.data(), figure, r.chance / root);
    });
    return sums.Result();
}
