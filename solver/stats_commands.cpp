// show_stats: the strategy statistics table.
#include "cards/player.h"
#include "solver/query_commands.h"
#include "solver/query_support.h"
#include "solver/strategy_stats.h"

namespace {

void PrintCounts(const char* name, const StreetColumns<int64_t>& row) {
    Print("%24s %12lld %12lld %12lld %12lld\n", name, static_cast<long long>(row[0]),
          static_cast<long long>(row[1]), static_cast<long long>(row[2]),
          static_cast<long long>(row[3]));
}

void PrintPercents(const char* name, const StreetColumns<double>& row) {
    Print("%24s %11.1f%% %11.1f%% %11.1f%% %11.1f%%\n", name, row[0], row[1], row[2], row[3]);
}

}  // namespace

void CmdShowStats(const Tokens& t) {
    CfrEngine& engine = RequireQueryEngine();
    if (t.size() > 3)
        ArgumentCountError(t);
    const double epsilon = t.size() > 1 ? ParseDouble(t[1]) : 0.0;
    const int    player  = t.size() > 2 ? ParsePlayer(t[2]) : -1;
    const StrategyStats s =
        UnderTreeMutex(engine, [&] { return ComputeStrategyStats(engine, epsilon, player); });
    const char* covered = player < 0 ? "OOP+IP" : player ? "IP" : "OOP";
    Print("epsilon %g (%g%%) | %s\n", epsilon, epsilon * 100, covered);
    Print("%24s %12s %12s %12s %12s\n", "stat", "flop", "turn", "river", "total");
    PrintCounts("decision nodes", s.decision_nodes);
    PrintCounts("canonical decisions", s.canonical_decisions);
    Print("%24s %12g %12g %12g %12g\n", "infosets/decision", s.infosets_per_decision[0],
          s.infosets_per_decision[1], s.infosets_per_decision[2], s.infosets_per_decision[3]);
    PrintCounts("infosets", s.infosets);
    PrintCounts("infoset-actions", s.infoset_actions);
    PrintPercents("reachable infosets", s.reachable);
    PrintPercents("pure strategies", s.pure);
    PrintPercents("reachable pure strats", s.reachable_pure);
    PrintPercents("weighted pure strats", s.weighted_pure);
    PrintPercents("dominated strategies", s.dominated);
    PrintPercents("reachable domin strats", s.reachable_dominated);
    PrintPercents("weighted domin strats", s.weighted_dominated);
    PrintEnd();
}
