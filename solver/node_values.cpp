#include "solver/node_values.h"

#include <omp.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>

#include "cards/card.h"
#include "cli/solver_state.h"
#include "tree/built_tree.h"
#include "solver/node_ranges.h"
#include "solver/point_runouts.h"
#include "solver/run_control.h"
#include "solver/subtree_values.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Adds one runout: per entry the weight (reach x compatible mass x chance / root mass)
// and weight x figure.
struct FigureSums {
    std::vector<double> weighted = std::vector<double>(kComboCount, 0.0);
    std::vector<double> weight   = std::vector<double>(kComboCount, 0.0);
    std::vector<char>   live     = std::vector<char>(kComboCount, 0);

    void Add(const std::vector<uint16_t>& user_combo, const std::vector<double>& reach,
             const std::vector<float>& mass, const std::vector<double>& figure, double scale) {
        for (size_t i = 0; i < user_combo.size(); ++i) {
            const int    c = user_combo[i];
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

// A covered runout copied out of the walk, so that a batch of them can be evaluated in
// parallel.
struct HeldRunout {
    Runout                runout;
    std::vector<uint16_t> user_combo;
    std::vector<double>   reach;           // the player's
    std::vector<float>    opponent_reach;
    double                chance = 1;
};

// One runout's answer: per entry the figure and the opponent's compatible mass.
struct RunoutFigures {
    std::vector<double> figure;
    std::vector<float>  mass;
};

// Runouts evaluated together: enough to keep every thread busy on the 48 rivers of a turn,
// and few parallel regions over the 2352 runouts of a river point below a flop (each
// region's start and end cost a wait for the slowest thread, long on a busy machine).
// About 14 KB a held runout.
constexpr size_t kBatch = 1024;

// The answers given so far, by solver runout and opponent reach: the user's runouts that
// suit isomorphism merges come back with the same reach when the strategies before them
// treat the exchanged suits alike, and are answered once. About 17 KB a runout.
class AnswerMemo {
public:
    // The answer of a held runout with the same inputs, or null.
    const RunoutFigures* Find(const HeldRunout& h) const {
        const auto found = by_list_.find(h.runout.list);
        if (found == by_list_.end())
            return nullptr;
        for (const auto& [reach, answer] : found->second)
            if (reach == h.opponent_reach)
                return &answer;
        return nullptr;
    }
    void Add(const HeldRunout& h, const RunoutFigures& answer) {
        by_list_[h.runout.list].emplace_back(h.opponent_reach, answer);
    }

private:
    std::unordered_map<const RunoutCombos*,
                       std::vector<std::pair<std::vector<float>, RunoutFigures>>>
        by_list_;
};

// Evaluates 'figures' for every covered runout, a batch at a time on the team of the
// parallel runtime, and adds the answers in runout order, so that the combined figures
// do not depend on the thread count.
template <class Figures>
ComboFigures CombineRunouts(const CfrEngine& engine, const QueryPoint& point, int player,
                            const Figures& figures) {
    const double            root = RootPairMass(engine);
    FigureSums              sums;
    std::vector<HeldRunout> batch;
    omp_set_num_threads(State().settings.Threads());
    AnswerMemo memo;
    auto flush = [&] {
        const int                  count = static_cast<int>(batch.size());
        std::vector<RunoutFigures> answers(count);
        std::vector<int>           same(count, -1), distinct;
        for (int b = 0; b < count; ++b) {
            if (const RunoutFigures* known = memo.Find(batch[b])) {
                answers[b] = *known;
                continue;
            }
            for (int e : distinct)
                if (batch[e].runout.list == batch[b].runout.list &&
                    batch[e].opponent_reach == batch[b].opponent_reach) {
                    same[b] = e;
                    break;
                }
            if (same[b] < 0)
                distinct.push_back(b);
        }
        const int work = static_cast<int>(distinct.size());
#pragma omp parallel for schedule(dynamic, 1) if (work > 1)
        for (int k = 0; k < work; ++k) {
            _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero, denormals-are-zero
            answers[distinct[k]] = figures(batch[distinct[k]]);
        }
        for (int b : distinct)
            memo.Add(batch[b], answers[b]);
        for (int b = 0; b < count; ++b)
            if (same[b] >= 0)
                answers[b] = answers[same[b]];
        for (int b = 0; b < count; ++b)
            sums.Add(batch[b].user_combo, batch[b].reach, answers[b].mass, answers[b].figure,
                     batch[b].chance / root);
        batch.clear();
    };
    ForEachPointRunout(engine, point, [&](const PointRunout& r) {
        const int n = r.runout.Size();
        batch.push_back({r.runout, std::vector<uint16_t>(r.user_combo, r.user_combo + n),
                         std::vector<double>(r.reach[player], r.reach[player] + n),
                         r.FloatReach(1 - player), r.chance});
        if (batch.size() == kBatch)
            flush();
    });
    flush();
    return sums.Result();
}

// numerator / denominator per entry, 0 where the denominator is not positive.
std::vector<double> Ratios(const std::vector<float>& numerator,
                           const std::vector<float>& denominator) {
    std::vector<double> ratio(numerator.size(), 0.0);
    for (size_t i = 0; i < ratio.size(); ++i)
        if (denominator[i] > 0)
            ratio[i] = double(numerator[i]) / denominator[i];
    return ratio;
}

// The figures the last result passes kept for the node on the runout, or nullopt when
// they are not kept or miss an entry that 'mass' (the query's opponent reach) reaches.
std::optional<std::vector<double>> KeptFigures(const CfrEngine& engine, uint32_t node,
                                               int player, const Runout& runout,
                                               const std::vector<float>& mass) {
    const float* kept = engine.KeptValues(player, node, runout);
    if (!kept)
        return std::nullopt;
    std::vector<double> figure(mass.size(), 0.0);
    for (size_t i = 0; i < mass.size(); ++i) {
        if (!(mass[i] > 0))
            continue;
        if (std::isnan(kept[i]))
            return std::nullopt;
        figure[i] = kept[i];
    }
    return figure;
}

}  // namespace

ComboFigures ValuesAtPoint(const CfrEngine& engine, const QueryPoint& point, int player) {
    SubtreeWalk walk(engine, player);
    walk.RequireStorage(point.node);
    return CombineRunouts(engine, point, player, [&](const HeldRunout& h) {
        const int          n = h.runout.Size();
        std::vector<float> values(n), mass(n);
        CompatibleMass(*h.runout.list, h.opponent_reach.data(), mass.data());
        if (auto kept = KeptFigures(engine, point.node, player, h.runout, mass))
            return RunoutFigures{std::move(*kept), std::move(mass)};
        walk.Values(point.node, h.runout, nullptr, h.opponent_reach.data(), values.data());
        return RunoutFigures{Ratios(values, mass), std::move(mass)};
    });
}

void KeepValuesForQueries(CfrEngine& engine, const QueryPoint& point) {
    const BuiltTree& tree = engine.Tree();
    const bool kept_kind  = tree.Node(point.node).IsDecision() && point.street < kRiver;
    if (!kept_kind || engine.KeptValuesComplete() || SolverRunning() || engine.Incomplete() ||
        tree.first_forgotten_street >= 0)
        return;
    engine.InvalidateResults();
    engine.Evaluate(State().settings.Threads());
}

ComboFigures ScoresAtPoint(const CfrEngine& engine, const QueryPoint& point, int player) {
    return CombineRunouts(engine, point, player, [&](const HeldRunout& h) {
        const int          n = h.runout.Size();
        std::vector<float> scores(n), showdown_mass(n), mass(n);
        ShowdownScores(engine.Runouts(), h.runout, h.opponent_reach.data(), scores.data(),
                       showdown_mass.data());
        CompatibleMass(*h.runout.list, h.opponent_reach.data(), mass.data());
        return RunoutFigures{Ratios(scores, showdown_mass), std::move(mass)};
    });
}
