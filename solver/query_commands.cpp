// Strategy, range and frequency queries.
#include "solver/query_commands.h"

#include <algorithm>
#include <cmath>

#include "cards/combo_tables.h"
#include "cards/player.h"
#include "cards/range.h"
#include "cli/solver_state.h"
#include "solver/node_ranges.h"
#include "solver/node_values.h"
#include "solver/query_lines.h"
#include "solver/query_support.h"
#include "tree/built_tree.h"

namespace {

// The cards known at a point: the tree's board and the dealt cards the path names.
CardMask KnownCards(const QueryPoint& point) {
    CardMask known = State().tree.Tree()->Board().Mask();
    for (int card : {point.turn, point.river})
        if (card >= 0)
            known |= CardBit(card);
    return known;
}

// Sum of a player's tree range over the combos the tree's board leaves possible.
double TreeRangeMass(const BuiltTree& tree, int player) {
    const CardMask board = tree.Board().Mask();
    double         sum   = 0;
    for (int c = 0; c < kComboCount; ++c)
        if (!(Combos().MaskOfInternal(c) & board))
            sum += std::max(tree.Range(player)[c], 0.0);
    return sum;
}

// The solver plays negative range weights as 0, so the reach holds 0 for them. A path on
// which the player never acts leaves the player's range as it was set, negative weights
// included; where the player acts, such a combo's frequencies are 0 and so is its weight.
void KeepNegativeWeights(const BuiltTree& tree, const QueryPoint& point, int player,
                         std::vector<double>& range) {
    for (const PathStep& step : point.steps)
        if (step.player == player)
            return;
    for (int c = 0; c < kComboCount; ++c)
        if (tree.Range(player)[c] < 0)
            range[c] = tree.Range(player)[c];
}

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values)
        if (!std::isnan(v))
            sum += v;
    return sum;
}

// "c 0.5 b50 0.5": each child's token and the actor's probability of taking it.
// The children of the lines at the point, each with its share of the actor's range; a
// child added to the lines since the build has none (0).
std::string ChildProbabilities(const BuiltTree& tree, const ResolvedPath& path,
                               const PointStrategy& strategy, const std::vector<double>& actor_range) {
    const double total = Sum(actor_range);
    std::string  text;
    char         number[32];
    for (const auto& [key, child] : path.node->children) {
        const int a     = BuiltActionOf(tree, *path.node, *child);
        double    share = 0;
        if (a >= 0)
            share = Sum(std::vector<double>(strategy.child_range.begin() + a * kComboCount,
                                            strategy.child_range.begin() + (a + 1) * kComboCount)) /
                    total;
        std::snprintf(number, sizeof number, " %.12g", share);
        text += (text.empty() ? "" : " ") + ChildToken(*path.node, key) + number;
    }
    return text;
}

}  // namespace

void CmdShowStrategy(const Tokens& t) {
    CfrEngine&          engine   = RequireQueryEngine();
    const QueryPoint    point    = PointOf(RequireDecisionPath(t[1]));
    ResolveForgottenStreets(engine, point, StrategyReads::kPathAndNode);
    const PointStrategy strategy =
        UnderTreeMutex(engine, [&] { return SummaryAtPoint(engine, point, true).strategy; });
    for (int a = 0; a < strategy.actions; ++a)
        PrintText(ValueLine(std::span(strategy.frequencies).subspan(a * kComboCount, kComboCount),
                            "%.12g", "0"));
    PrintEnd();
}

void CmdShowStrategyPp(const Tokens& t) {
    CfrEngine&       engine = RequireQueryEngine();
    const QueryPoint point  = PointOf(RequireDecisionPath(t[1]));
    const int        actor  = engine.Tree().Node(point.node).player;
    ResolveForgottenStreets(engine, point, StrategyReads::kPathAndNode);
    auto [strategy, scores] = UnderTreeMutex(engine, [&] {
        return std::pair(SummaryAtPoint(engine, point, true).strategy,
                         ScoresAtPoint(engine, point, actor));
    });
    const ComboTables& tables = Combos();
    for (int p : ListingOrder(scores.figure)) {
        std::string line = std::string(tables.text[p].data(), 4) + ": ";
        char        number[64];
        for (int a = 0; a < strategy.actions; ++a) {
            std::snprintf(number, sizeof number, "  %.6f",
                          strategy.frequencies[a * kComboCount + tables.internal_of_hand[p]]);
            line += number;
        }
        PrintText(line + "\n");
    }
    PrintEnd();
}

void CmdShowProbs(const Tokens& t) {
    CfrEngine&         engine = RequireQueryEngine();
    const ResolvedPath path   = RequireQueryPath(t[1]);
    const QueryPoint   point  = PointOf(path);
    const int          actor  = path.node ? point.Actor(engine.Tree()) : -1;
    ResolveForgottenStreets(engine, point, StrategyReads::kPathAndNode);
    const PointSummary summary =
        UnderTreeMutex(engine, [&] { return SummaryAtPoint(engine, point, actor >= 0); });
    double probability[2];
    for (int p = 0; p < 2; ++p) {
        const double total = TreeRangeMass(engine.Tree(), p);
        probability[p] = total > 0 ? Sum(summary.range[p]) / total : 0.0;
    }
    std::string children;
    if (actor >= 0 && probability[actor] > 0)
        children = ChildProbabilities(engine.Tree(), path, summary.strategy, summary.range[actor]);
    Print("OOP %.12g IP %.12g %s\n", probability[0], probability[1], children.c_str());
}

void CmdShowRange(const Tokens& t) {
    CfrEngine& engine = RequireQueryEngine();
    if (t.size() < 2 || t.size() > 3)
        ArgumentCountError(t);
    const int player = ParsePlayer(t[1]);
    if (t.size() == 2) {
        PrintText(FormatRangeLine(engine.Tree().Range(player), 0));
        return;
    }
    const QueryPoint point = PointOf(RequireQueryPath(t[2], /*root_as_first=*/true));
    ResolveForgottenStreets(engine, point, StrategyReads::kPath);
    auto ranges =
        UnderTreeMutex(engine, [&] { return SummaryAtPoint(engine, point, false).range; });
    KeepNegativeWeights(engine.Tree(), point, player, ranges[player]);
    PrintText(FormatRangeLine(ranges[player], KnownCards(point)));
}

void CmdCalcLineFreq(const Tokens& t) {
    CfrEngine&       engine = RequireQueryEngine();
    const QueryPoint point  = PointOf(RequireQueryPath(t[1], /*root_as_first=*/true));
    ResolveForgottenStreets(engine, point, StrategyReads::kPath);
    const double     share  = UnderTreeMutex(
        engine, [&] { return ReachShareAtPoint(engine, point, /*with_named_chance=*/true); });
    Print("%.9g\n", share);
}

void CmdCalcGlobalFreq(const Tokens& t) {
    CfrEngine&       engine = RequireQueryEngine();
    const QueryPoint point  = PointOf(RequireQueryPath(t[1], /*root_as_first=*/true));
    ResolveForgottenStreets(engine, point, StrategyReads::kPath);
    const double     share  = UnderTreeMutex(
        engine, [&] { return ReachShareAtPoint(engine, point, /*with_named_chance=*/false); });
    Print("%.9g\n", share);
}
