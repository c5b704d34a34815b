// Value and equity queries.
#include <cmath>
#include <limits>
#include <vector>

#include "cards/combo_tables.h"
#include "cards/player.h"
#include "cli/solver_state.h"
#include "solver/live_equity.h"
#include "solver/node_values.h"
#include "solver/query_commands.h"
#include "solver/query_lines.h"
#include "solver/query_support.h"

namespace {

// Values as printed: half the pot added, or 0 when the tree carries no values.
std::vector<double> PrintedValues(std::vector<double> values) {
    const bool   unavailable = State().tree.values_unavailable;
    const double half        = HalfPot();
    for (double& v : values)
        if (!std::isnan(v))
            v = unavailable ? 0.0 : v + half;
    return values;
}

// Scores in [-1, 1] as equities in [0, 1].
std::vector<double> Equities(const std::vector<double>& scores) {
    std::vector<double> equities(scores.size());
    for (size_t c = 0; c < scores.size(); ++c)
        equities[c] = 0.5 * scores[c] + 0.5;
    return equities;
}

// "AsAh: 12.34; 0.56" lines for the listed combos.
void PrintListing(const std::vector<int>& order, const std::vector<double>& first,
                  const std::vector<double>& second, double first_scale) {
    const ComboTables& tables = Combos();
    for (int p : order) {
        const int c = tables.internal_of_hand[p];
        Print("%.4s: %.2f; %.2f\n", tables.text[p].data(), first[c] * first_scale, second[c]);
    }
}

struct PlayerPoint {
    CfrEngine* engine;
    int        player;
    QueryPoint point;
};

// The player and point of tokens 1 and 2; the strategies the answer reads are re-solved
// first where their street was forgotten.
PlayerPoint ParsePlayerPoint(const Tokens& t, StrategyReads reads) {
    CfrEngine&       engine = RequireQueryEngine();
    const int        player = ParsePlayer(t[1]);
    const QueryPoint point  = PointOf(RequireQueryPath(t[2], /*root_as_first=*/true));
    ResolveForgottenStreets(engine, point, reads);
    return {&engine, player, point};
}

ComboFigures LiveFigures(const Tokens& t) {
    const int        player = ParsePlayer(t[1]);
    const CardState& cards  = State().cards;
    if (CardCountOf(cards.board.flop) != 3)
        CommandError("board not set");
    if (cards.ranges[0].empty() || cards.ranges[1].empty())
        CommandError("ranges not set");
    return LiveScores(cards, player, State().solver.live_lists);
}

}  // namespace

void CmdCalcEv(const Tokens& t) {
    const PlayerPoint  q       = ParsePlayerPoint(t, StrategyReads::kSubtree);
    KeepValuesForQueries(*q.engine, q.point);
    const ComboFigures figures = UnderTreeMutex(
        *q.engine, [&] { return ValuesAtPoint(*q.engine, q.point, q.player); });
    PrintText(ValueLine(PrintedValues(figures.figure), "%.9g", "nan"));
    PrintText(ValueLine(figures.weight, "%.9g", "0"));
    PrintEnd();
}

void CmdCalcEvPp(const Tokens& t) {
    const PlayerPoint q = ParsePlayerPoint(t, StrategyReads::kSubtree);
    KeepValuesForQueries(*q.engine, q.point);
    auto [values, scores] = UnderTreeMutex(*q.engine, [&] {
        return std::pair(ValuesAtPoint(*q.engine, q.point, q.player),
                         ScoresAtPoint(*q.engine, q.point, q.player));
    });
    PrintListing(ListingOrder(scores.figure), PrintedValues(values.figure), values.weight, 1.0);
    PrintEnd();
}

void CmdCalcEvLine(const Tokens& t) {
    RequireQueryEngine();
    ParsePlayer(t[1]);
    RequireQueryPath(t[2], /*root_as_first=*/true);
    PrintText(ValueLine(std::vector<double>(kComboCount, 0.0), "%.9g", "nan"));
    PrintText(ValueLine(std::vector<double>(kComboCount, 1.0), "%.9g", "0"));
    PrintEnd();
}

void CmdCalcEq(const Tokens& t) {
    const ComboFigures figures = LiveFigures(t);
    PrintText(EquityLine(Equities(figures.figure), "%.9g", State().cards.board.Cards()));
    PrintText(ValueLine(figures.weight, "%.9g", "0"));
    PrintEnd();
}

void CmdCalcEqPp(const Tokens& t) {
    const ComboFigures        figures  = LiveFigures(t);
    const std::vector<double> equities = Equities(figures.figure);
    PrintListing(ListingOrder(equities), equities, figures.weight, 100.0);
    PrintEnd();
}

void CmdCalcEqNode(const Tokens& t) {
    const PlayerPoint  q       = ParsePlayerPoint(t, StrategyReads::kPath);
    const ComboFigures figures = UnderTreeMutex(
        *q.engine, [&] { return ScoresAtPoint(*q.engine, q.point, q.player); });
    const std::vector<double> equities = Equities(figures.figure);
    double weighted = 0, weight = 0;
    for (int c = 0; c < kComboCount; ++c) {
        if (!std::isnan(equities[c]))
            weighted += figures.weight[c] * equities[c];
        if (!std::isnan(figures.weight[c]))
            weight += figures.weight[c];
    }
    PrintText(ValueLine(equities, "%.9g", "nan"));
    PrintText(ValueLine(figures.weight, "%.9g", "0"));
    Print("%.9g\n", weight > 0 ? weighted / weight : std::numeric_limits<double>::quiet_NaN());
    PrintEnd();
}
