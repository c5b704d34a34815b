// Strategy statistics counted by the result passes (pass_tallies.h): the traverser's own
// reach through its decisions, the count at each of its decisions, the subtrees the
// opponent does not reach, and the counts kept for show_stats at the end of a pass.
#include <algorithm>

#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/point_runouts.h"
#include "solver/strategy_stats.h"
#include "solver/vector_arena.h"
#include "tree/built_tree.h"

// Only whole-tree result passes count: update passes carry no own reach, and a tree whose
// storage was forgotten for a street (or is incomplete) is always walked. Trees with less
// storage than the floor are walked too (cfr_engine.h, SetStatsCountingFloor).
bool CfrEngine::CountsStatistics(const PassState& pass) const {
    return !pass.update && tree_.first_forgotten_street < 0 && !Incomplete() &&
           tree_.StorageTotal() >= stats_counting_floor_;
}

StatsLane CfrEngine::OwnChildLane(const PassState& pass, const DecisionFrame& frame,
                                  const StatsLane& lane, int action) const {
    float* own = TailZeroed(ThreadVectorArena(), pass.width, frame.n);
    pass.kernels->ReachProduct(lane.own, frame.strategy + action * frame.stride, frame.n, own);
    return {own, lane.chance, lane.counts};
}

void CfrEngine::CountSweptDecision(const PassState& pass, const DecisionFrame& frame,
                                   const Runout& runout, const StatsLane& lane,
                                   const float* opponent_reach, float* const* child_values) const {
    const DecisionVisit visit{frame.index,  &runout,        lane.chance, frame.actions,
                              frame.strategy, frame.stride, child_values, lane.own,
                              opponent_reach};
    CountDecision(visit, pass.traverser, tree_.Node(frame.index).street, pass.tallies->Range(),
                  pass.tallies->Scale(), *lane.counts);
}

// Every decision of the traverser in the subtree of 'index' on 'runout' and the runouts
// dealt below it, with the strategy the pass would use there (BeginDecision's).
void CfrEngine::CountUnreached(const PassState& pass, uint32_t index, const Runout& runout,
                               StatsCounts& counts) const {
    const BuiltNode& node = tree_.Node(index);
    if (node.kind != kDecisionNode)
        return;
    if (node.street > runout.street) {
        for (const DealtCard& deal : DealsAfter(runouts_, runout))
            CountUnreached(pass, index, DealtRunout(runouts_, runout, deal), counts);
        return;
    }
    if (node.player == pass.traverser) {
        const StrategyStore* regrets = RegretStore(index);
        const StrategyStore* averages = AverageStore(index);
        const StrategyStore* source   = UsesAverage(pass, node) && averages ? averages : regrets;
        const int            actions  = static_cast<int>(node.child_count);
        const size_t         stride   = LayoutOf(index).RowStride();
        VectorArena&         arena    = ThreadVectorArena();
        ArenaScope           scope(arena);
        float*               strategy = arena.Allocate(stride * actions);
        if (source)
            source->PlayedStrategy(StorageSlot(node.street, runout), *pass.kernels, strategy, stride);
        else
            std::fill(strategy, strategy + stride * actions, 1.0f / actions);
        CountUnreachedDecision(*runout.list, pass.traverser, node.street, actions, strategy, stride,
                               pass.tallies->Range(), counts);
    }
    for (uint32_t child : tree_.Children(index))
        CountUnreached(pass, child, runout, counts);
}

// The pass's counts are kept under the stamp of the strategies it swept, unless workers
// ran some of its subgames.
void CfrEngine::KeepPassStatistics(const PassState& pass) {
    if (pass.remote)
        return;
    stats_answers_.Store(pass.traverser, StatsStamp(*this),
                         {pass.tallies->TakeTotals(), pass.tallies->Scale().weight_unit});
}
