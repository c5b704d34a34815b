// The CFR engine of one built tree: the per-runout combo lists, the per-node strategy
// stores, and the passes that update and evaluate them.
//
// One iteration is an update pass for IP, then one for OOP. A pass walks the tree from the
// root carrying the opponent's reach per combo and returns the traverser's counterfactual
// values per combo; on the way back it updates the traverser's regrets and accumulates the
// opponent's average strategy. A result pass walks the same way without updates, using
// the average strategies, and carries best-response values beside the strategy values.
//
// River subtrees are swept either directly (depth first, each terminal evaluated on its
// own) or in batches (top down computing strategies and reaches while collecting the
// terminal ends, then the ends evaluated several at a time with one SIMD lane per
// terminal, then bottom up combining values and updating); batch_policy.h says which.
// Both give the same values and updates.
//
// Passes run in three phases. Phase 0 sweeps the tree's first street and, where a card is
// dealt, records a subgame task (the subtree below the dealt card with its entering
// reach) instead of entering it. Phase 1 runs the tasks in a dynamically scheduled
// parallel loop. Phase 2 sweeps the first street again, now taking the tasks' results at
// the dealt cards. A tree that starts on the river has no dealt cards and one phase; when
// it is too large to batch whole, the subtrees below its first decisions are shared out
// to the team (cfr_river_split.cpp).
//
// Rake is read from the tree parameters at the start of every pass.
//
// Units: the opponent's root reach is its range scaled to a fixed total mass, so values are
// chips relative to owning half the pot times that mass and the probability of the deal;
// root weights turn them into expectations over the deals both ranges allow (card removal
// included).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "solver/engine_snapshot.h"
#include "solver/node_value_cache.h"
#include "solver/stats_answer_cache.h"
#include "solver/batch_policy.h"
#include "solver/rake.h"
#include "solver/runout_lists.h"
#include "solver/solver_engine.h"
#include "solver/strategy_store.h"
#include "solver/task_buffers.h"
#include "tree/node_storage.h"

class BuiltTree;
class StatsCounts;
struct BuiltNode;
struct StatsLane;
struct DecodedRequest;
struct WorkerCounters;
struct WorkerReply;

// A runout a sweep works on: how many streets are dealt, its slots and its combo list.
struct Runout {
    int                 street     = 1;   // 1 flop dealt, 2 turn dealt, 3 river dealt
    int                 turn_slot  = -1;  // flop trees: the dealt turn's slot
    int                 river_slot = -1;  // the dealt river's slot
    const RunoutCombos* list       = nullptr;

    int Size() const { return list->Size(); }
};

// Whether sweeping 'node' on 'runout' deals the next card first: a decision node of a later
// street, or a showdown before the river (an all-in).
bool DealsNextCard(const BuiltNode& node, const Runout& runout);

// Whether a per-combo reach vector reaches anything: some of its first n entries is positive.
inline bool AnyPositive(const float* v, int n) {
    for (int i = 0; i < n; ++i)
        if (v[i] > 0)
            return true;
    return false;
}

// A lock or strategy edit the engine refuses; the message is the reason as printed.
class InconsistentEdit : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CfrEngine final : public SolverEngine {
public:
    // Prepares the combo lists of every runout, the root reach and weights and the solver
    // constants. The tree must outlive the engine. Builds in parallel; blocks.
    CfrEngine(BuiltTree& tree, const RunoutSetup& setup);

    // SolverEngine.
    int  IterationCount() const override { return iteration_; }
    int  IterationCap() const override { return iteration_cap_; }
    int  DecisionCount() const override;
    bool Incomplete() const override;
    void SetAveragingDelay(int delay) override { averaging_delay_ = delay; }
    void Iterate(int threads) override;
    ResultFigures Evaluate(int threads) override;

    // Forgets the cached figures, so that the next Evaluate recomputes them.
    void InvalidateResults();

    // Re-solves the subgames that start where 'street' is dealt (2 turns, 3 rivers), the
    // strategies of the earlier streets held fixed: 'iterations' iterations (IP, then
    // OOP) over those subgames only, each with the averaging weight of the iteration it
    // repeats. With verbosity, prints one progress line per iteration. Blocks.
    void SolveSubgames(int street, int iterations);

    // Re-solves the one subgame rooted at decision node 'root' (the first node of its
    // street) on the runout of the user's cards, creating the storage its nodes lack,
    // until its exploitability is at most 'target' chips (tested every 25th iteration from
    // the 50th, at most kMaxSubgameIterations). Returns that exploitability, 0 when the
    // cards do not name a runout of the subgame. Blocks.
    double SolveSubgame(uint32_t root, int turn_card, int river_card, double target);

    static constexpr int    kMaxSubgameIterations = 2000;
    static constexpr double kDefaultSubgameTarget  = 0.001;  // of the pot, without a target

    // Stores of a decision node (null when its street's storage does not exist).
    StrategyStore* RegretStore(uint32_t node) const;
    StrategyStore* AverageStore(uint32_t node) const;

    // The storage layout a decision node needs: actions x the acting player's combos x
    // runout slots, with the span of each slot's list (runout_layout.h).
    RunoutLayout LayoutOf(uint32_t node) const;

    // The strategy a result pass would use at decision node 'node' on the runout of the
    // given cards (-1 when not dealt): actions rows of 1326 floats in internal combo
    // order, 0 for combos outside the runout's list. Empty when the cards do not name a
    // runout of the node's street. Takes the tree mutex.
    std::vector<float> StrategyAt(uint32_t node, int turn_card, int river_card);

    // The storage slot of a node on 'street' for the runout of the user's dealt cards (-1
    // when not dealt), or -1 when the cards do not name a runout of that street.
    int StorageSlotFor(int street, int turn_card, int river_card) const;

    // Queries and node locks, defined in solver/engine_locks.cpp. Cards are in the
    // user's suits (-1 when not dealt); per-combo arrays hold 1326 entries in internal
    // combo order, in the user's suits.

    // The strategy result passes and queries use at decision node 'node' on 'runout',
    // written strategies applied: actions rows at 'stride' (>= LayoutOf(node).combos),
    // the first runout.Size() entries of a row being the runout's combos. False when the
    // node holds no storage. The caller holds the tree mutex.
    bool ReportedStrategy(uint32_t node, const Runout& runout, float* rows, size_t stride) const;

    // Lock edits of the runout of the given cards, applied to both stores of the node. A
    // node keeps reporting the strategy it reported before the edit: a lock fixes it, an
    // unlock leaves it until the solver next updates the node. WriteStrategy writes
    // 'frequencies' as the strategy of 'action' (1326 values), or of every action when
    // 'action' is -1 (actions x 1326 values, action-major). Each returns false when the
    // cards name no runout of the node's street or the node holds no storage. Take the
    // results and the tree mutex (so that they fall between iterations and between result
    // evaluations, never inside one).
    bool LockNode(uint32_t node, int turn_card, int river_card);
    bool UnlockNode(uint32_t node, int turn_card, int river_card);
    // ComboLockNode and WriteStrategy refuse, throwing InconsistentEdit, weights or
    // frequencies that differ between two combos that suit isomorphism merges later cards
    // through (the solver could not keep those cards apart); nothing changes then.
    bool ComboLockNode(uint32_t node, int turn_card, int river_card,
                       std::span<const double> weights);
    bool WriteStrategy(uint32_t node, int turn_card, int river_card, int action,
                       std::span<const double> frequencies);

    // Runs 'edit' of something the passes read (rake, expected-value boosts) under the
    // results mutex and the tree mutex.
    void BetweenPasses(const std::function<void()>& edit);

    // Per combo: 1 in a LOCKED runout, the combo-lock weight in a COMBO_LOCKED one, else
    // 0; NaN for combos outside the runout's combo list. Empty when the cards name no
    // runout of the node's street or the node holds no storage. Takes the tree mutex.
    std::vector<float> LockWeightsAt(uint32_t node, int turn_card, int river_card);

    // Values kept from the result passes for the queries (node_value_cache.h): the figures
    // of 'player' at decision node 'node' on 'runout', or null when not kept. Complete
    // when both players' result passes over the whole tree ran since the strategies last
    // changed. The caller holds the tree mutex.
    const float* KeptValues(int player, uint32_t node, const Runout& runout) const;
    bool         KeptValuesComplete() const;

    // What the reported strategies were last changed by: the iteration count, the count of
    // strategy changes (update passes, lock and strategy edits) and what the kept values
    // depend on besides. Equal stamps mean the same strategies under the same conditions.
    // The caller holds the tree mutex.
    std::vector<double> StrategyStamp() const;

    // Strategy statistics already walked for the present stamp (stats_answer_cache.h).
    StatsAnswerCache& StatsAnswers() const { return stats_answers_; }

    // The result passes count the strategy statistics only on trees with at least this
    // much storage. Counting holds about 2 MB more while the passes run (every thread's
    // bins, both players' totals, own-reach vectors: 2.2 MB on a 30 MB turn tree), where
    // a walk for show_stats takes time in proportion to the tree: about 50 ms on that turn
    // tree, seconds on a flop tree of a gigabyte. Below the floor show_stats walks.
    static constexpr uint64_t kStatsCountingFloor = uint64_t{64} << 20;
    void SetStatsCountingFloor(uint64_t bytes) { stats_counting_floor_ = bytes; }

    // A thread of a streamed pass starts its next subgame task only while the pass holds
    // fewer than this many task buffers per thread, or when no earlier task is still in
    // progress (RunTaskList): the buffers held are those of tasks waiting for the cards
    // before theirs.
    static constexpr int kBuffersPerThread = 16;
    void SetBuffersPerThread(int count) { buffers_per_thread_ = count; }

    // The runout of the given dealt cards as the sweeps see it, or nullopt.
    std::optional<Runout> RunoutOf(int street, int turn_card, int river_card) const;

    // A player's range over the root list as the passes carry it: scaled to a fixed mass.
    const std::vector<float>& RootReach(int player) const { return root_reach_[player]; }

    const RunoutLists& Runouts() const { return runouts_; }
    BuiltTree&         Tree() const { return tree_; }

    // Held by every pass for its whole duration; queries take it to read a consistent tree.
    std::mutex& TreeMutex() { return tree_mutex_; }

    // Regret scale s = 125 * 2^p / (largest absolute end value).
    double RegretScale() const;

    // The two constants of the storage level (tree/storage_level.h): early grouping of
    // river regrets while the iteration count is at most 'early_grouping' (0 = never),
    // and the iteration cap of a run.
    void SetLevelConstants(int early_grouping, int iteration_cap) {
        early_grouping_ = early_grouping;
        iteration_cap_  = iteration_cap;
    }
    int EarlyGrouping() const { return early_grouping_; }

    // Distributed solving (blocks in worker_exchange.h). On a worker (worker_tasks.cpp):
    // TraverseForMaster runs the share of worker 'worker' of a master's subgame request and
    // returns the reply block with the number of tasks run ('buffer' lends its memory); a
    // request that does not fit this tree throws CommandError. WorkerData: the counters and
    // every store of the worker's share under 'weights'. On the master
    // (distributed_tasks.cpp): SyncWorkerStores brings the master's copy of the workers'
    // stores up to date. All take the tree mutex.
    struct WorkerPass {
        std::vector<uint8_t> block;
        uint32_t             tasks = 0;
    };
    WorkerPass TraverseForMaster(int traverser, bool update, std::span<const uint8_t> request,
                                 int worker, std::vector<uint8_t> buffer = {});
    std::vector<uint8_t> WorkerData(const WorkerCounters& counters, std::span<const double> weights);
    void                 SyncWorkerStores();

    // The state a tree file keeps beside the stores; Restore puts it back on a freshly
    // built engine (engine_snapshot.cpp).
    EngineSnapshot Snapshot();
    void           Restore(const EngineSnapshot& snapshot);

private:
    // A subgame below a dealt card: its root node and runout, and where its entering reach
    // and its results live in the pass's task buffer.
    struct Task {
        uint32_t node;
        Runout   runout;
        size_t   offset;     // where PassState::TaskValues finds its vectors
        bool     reachable;  // some entering reach is positive (until the task has run:
                             // false only when it is known to be 0)
        int      edge = -1;  // where its entering reach comes from (PassState::edges), or
                             // -1 when its slot holds it
    };
    struct PassState;
    struct DecisionFrame;
    struct OpenedDecision;
    struct BatchWork;

    // A pass for 'traverser' with the settings in force, its task list emptied.
    PassState NewPass(int traverser, bool update);

    // One pass; returns (best-response value, strategy value) of the traverser.
    std::pair<double, double> Pass(int traverser, bool update);

    // 'lane' (null but in result passes that count statistics) carries the traverser's
    // own reach and says where its decisions count (pass_tallies.h).
    void Sweep(PassState& pass, uint32_t node, const Runout& runout, const float* reach,
               float* values, float* best, const StatsLane* lane);
    void SweepDecision(PassState& pass, uint32_t node, const Runout& runout, const float* reach,
                       float* values, float* best, const StatsLane* lane);
    void SweepDealt(PassState& pass, uint32_t node, const Runout& runout, const float* reach,
                    float* values, float* best, const StatsLane* lane);
    void SweepTerminal(PassState& pass, uint32_t node, const Runout& runout, const float* reach,
                       float* values);
    void RunTasks(PassState& pass);
    void CombineEdges(PassState& pass);
    // Streamed passes: the edges' sums zeroed and the tasks outside 'order' marked done
    // (StartStreaming); a task's buffer taken when it runs (OpenTask) and its values added
    // in card order once it is done (CloseTask). Nothing when the pass is not streamed.
    void StartStreaming(PassState& pass, const std::vector<int>& order) const;
    static void OpenTask(PassState& pass, Task& task);
    static void CloseTask(PassState& pass, int task);
    static void AddDealtValues(const SolverKernels& kernels, const DealtCard& deal,
                               const RunoutCombos& list, int n, const float* child_values,
                               const float* child_best, float* values, float* best);
    static void ScaleDealtValues(double factor, int n, float* values, float* best);
    int  TaskEdges() const;
    int  TaskDeals() const;
    int  TaskCapacity() const;
    void RunTaskList(PassState& pass, const std::vector<int>& order);
    void TraverseSubgamesNUMA(PassState& pass, const std::vector<int>& order, int nodes);
    void RunTask(PassState& pass, int task);  // a task, or a group of tasks
    // The task's entering reach into 'out' (the pass's width, 0 past the task's list);
    // records in the task whether any of it is positive, and returns that.
    bool LoadTaskReach(const PassState& pass, Task& task, float* out) const;
    bool Groups(const PassState& pass, const Task& task) const;
    void GroupTasks(PassState& pass, std::vector<int>& order) const;

    // Phase 1 on the connected workers (distributed_tasks.cpp): false when there are none
    // or the pass is not a flop tree's solving pass, and the caller runs the tasks itself.
    // The master's copy of a worker's stores is brought up to date from time to time
    // (SyncLocked); the update requests sent since are kept, so that the share of a lost
    // worker can be replayed on the master's copy (RecoverLostWorkers).
    struct StoreRef {
        uint32_t node;
        uint8_t  kind;  // 0 regrets, 1 averages
    };
    struct PassRequest;
    bool RunTasksOnWorkers(PassState& pass);
    PassRequest          BuildRequest(const PassState& pass);
    std::vector<uint8_t> EncodePassRequest(const PassState& pass, const PassRequest& request);
    void                 KeepRequest(std::vector<uint8_t> block);
    bool InstallValues(PassState& pass, int worker, const WorkerReply& reply,
                       const std::vector<int>& expected);
    void RunTasksInOrder(PassState& pass, std::vector<int> order);
    std::vector<uint32_t> SubgameRoots() const;
    std::vector<int> SubgameOwners(const std::vector<uint32_t>& roots, std::span<const double> weights) const;
    std::vector<StoreRef> ShareStores(int worker, std::span<const double> weights) const;
    std::vector<int> LoadRequest(PassState& pass, const DecodedRequest& request, int worker);
    void SyncLocked();
    bool InstallWorkerData(int worker, const WorkerReply& reply);
    void RecoverLostWorkers();
    void ReplayShare(int worker, const std::vector<uint8_t>& request);

    // A decision node's stores and, where the descent needs it, its strategy; then, once
    // its children's values are known, its values and updates.
    DecisionFrame BeginDecision(PassState& pass, uint32_t node, const Runout& runout);
    // The strategy the node plays, in a vector of the thread's arena.
    float* PlayedStrategy(const PassState& pass, const DecisionFrame& frame) const;
    // The children's reach at a node of the opponent; bit a set when child a is reached.
    uint64_t ChildReaches(const PassState& pass, const DecisionFrame& frame, const float* reach,
                          float* const* out) const;
    void AccumulateAverages(const PassState& pass, const DecisionFrame& frame,
                            const float* const* next, uint64_t live);
    void FinishDecision(PassState& pass, const DecisionFrame& frame, float* const* child_values,
                        float* const* child_best, float* values, float* best);
    // SweepDecision in two halves: the node's frame, its children's reach and the vectors
    // of their values (in the thread's arena, under the caller's scope); then, once the
    // children are swept, the node's values and updates, its statistics with a lane and
    // the values result passes keep for queries (the batched sweep closes its nodes so too).
    OpenedDecision OpenDecision(PassState& pass, uint32_t node, const Runout& runout,
                                const float* reach, bool with_best, bool collecting);
    void CloseDecision(PassState& pass, const DecisionFrame& frame, float* const* child_values,
                       float* const* child_best, const Runout& runout, const float* reach,
                       float* values, float* best, const StatsLane* lane);

    // River subtrees: the batching decision and the batched sweep (cfr_batch_sweep.cpp).
    bool BatchCandidate(uint32_t node, int cap) const;
    void SweepRiverSubtree(PassState& pass, uint32_t node, const Runout& runout,
                           const float* reach, float* values, float* best, const StatsLane* lane);
    void SweepBatched(PassState& pass, uint32_t node, const Runout& runout, const float* reach,
                      float* values, float* best, const StatsLane* lane);
    void DescendBatched(PassState& pass, BatchWork& work, uint32_t node, const Runout& runout,
                        const float* reach, const StatsLane* lane);
    // A terminal end the top-down step left for evaluation: its node, reach and values.
    struct PendingEnd {
        uint32_t     node;
        const float* reach;
        float*       values;
    };
    void EvaluatePending(PassState& pass, std::span<const PendingEnd> showdowns,
                         std::span<const PendingEnd> folds, const Runout& runout);
    void FinishBatched(PassState& pass, BatchWork& work, const Runout& runout, float* values,
                       float* best, bool counting);
    void FinishBatchedNode(PassState& pass, BatchWork& work, const Runout& runout,
                           uint32_t node, float* values, float* best, float* zeros,
                           bool counting);
    void RunTaskGroup(PassState& pass, const std::vector<int>& group);
    // A river subtree, or a river terminal end, run with others of its runout: its entering
    // reach, where its values (and best-response values in result passes) go, and its
    // statistics lane.
    struct SubgameJob {
        uint32_t         node;
        Runout           runout;
        const float*     reach;
        float*           values;
        float*           best;
        const StatsLane* lane;  // null unless the pass counts statistics
    };
    void RunJobs(PassState& pass, std::span<const SubgameJob> jobs);
    // River subtrees over the evaluation cap, and trees that start on the river on a team
    // of threads (cfr_river_split.cpp): whether a pass sweeps the river tree on the team,
    // whether a subtree over the cap may be swept in groups, that sweep, and the groups it
    // hands to the team's threads.
    bool SplitsRiverRoot(const PassState& pass, uint32_t index) const;
    bool SweepsInGroups(const PassState& pass, const StatsLane* lane) const;
    void SweepRiverInGroups(PassState& pass, uint32_t root, const Runout& runout,
                            const float* reach, float* values, float* best);
    void RunGroupsOnTeam(PassState& pass, std::vector<SubgameJob>& jobs, int team);
    void RunJobGroup(PassState& pass, std::span<const SubgameJob> jobs);
    static void LearnJobCosts(std::vector<double>& cost,
                              const std::vector<std::vector<SubgameJob>>& group,
                              const std::vector<double>& expected,
                              const std::vector<uint64_t>& cycles);
    // A turn subtree of a flop tree with the river subtrees of its lines grouped by river
    // card (cfr_turn_sweep.cpp); TurnGroupable says whether this pass and subtree allow it.
    bool TurnGroupable(const PassState& pass, uint32_t root, const Runout& runout) const;
    void SweepTurnGrouped(PassState& pass, uint32_t root, const Runout& runout,
                          const float* reach, float* values, float* best);
    // Packs river jobs of one runout into groups whose showdown ends fill one batch as
    // nearly as they can (first fit, most ends first): the groups as index lists.
    std::vector<std::vector<int>> PackByShowdowns(const PassState& pass,
                                                  const std::vector<uint32_t>& nodes) const;
    const StrengthGroups& StrengthOf(const Runout& runout) const;
    void PrefetchChild(const PassState& pass, uint32_t node, const Runout& runout) const;
    void PrefetchSubtree(const PassState& pass, uint32_t root, const Runout& runout) const;
    void PrepareSubtreeFigures();

    // Statistics counted by result passes (cfr_stats_sweep.cpp): whether this pass counts
    // them, the lane of a traverser's child, a swept decision of the traverser, every
    // decision of the traverser in a subtree the opponent does not reach, and keeping the
    // pass's figures for show_stats.
    bool      CountsStatistics(const PassState& pass) const;
    StatsLane OwnChildLane(const PassState& pass, const DecisionFrame& frame,
                           const StatsLane& lane, int action) const;
    void      CountSweptDecision(const PassState& pass, const DecisionFrame& frame,
                                 const Runout& runout, const StatsLane& lane,
                                 const float* opponent_reach, float* const* child_values) const;
    void      CountUnreached(const PassState& pass, uint32_t node, const Runout& runout,
                             StatsCounts& counts) const;
    void      KeepPassStatistics(const PassState& pass);

    // Phases 0 and 1 of a pass whose tasks root where 'street' is dealt; with 'only', the
    // tasks of other subgames are left out.
    // With 'entering', the entering reach of the task 'only' is copied there (empty when
    // the task is not reached).
    void SubgamePass(PassState& pass, int street, const Task* only,
                     std::vector<float>* entering = nullptr);
    void CreateMissingStorage(uint32_t node);
    double SubgameExploitability(const Task& key);

    int  StorageSlot(int street, const Runout& runout) const;
    // The storage-parameter pair of the tree's storage level ((0, 0) but on flop trees).
    StorageParameters TreeStorageParameters() const;
    bool UsesAverage(const PassState& pass, const BuiltNode& node) const;
    double AveragingWeight() const;

    void PrepareRootVectors();
    void PrepareSpanTables();
    void TidyStores();

    // Result passes keep the values of the decisions before the river (engine_locks.cpp):
    // at the start of every pass (an update pass forgets them), and at each decision.
    void StartKeepingValues(bool update);
    // What kept values depend on besides the strategies.
    std::vector<double> KeptValuesKey() const;
    template <class F>
    auto WithTreeMutex(const F& f) {
        std::lock_guard lock(tree_mutex_);
        return f();
    }
    void KeepValues(const PassState& pass, uint32_t node, int slot, const Runout& runout,
                    const float* reach, const float* values);

    BuiltTree&   tree_;
    RunoutLists  runouts_;
    std::mutex   tree_mutex_;

    // Per street (1 flop .. 3 river) and acting player: the span of each storage slot.
    std::shared_ptr<const SpanTable> span_tables_[4][2];

    std::vector<float>  root_reach_[2];   // each player's range over the root list
    std::vector<double> root_weight_[2];  // turns root values into expectations per deal
    float               average_scale_[2] = {1, 1};

    std::atomic<int> iteration_{0};
    int    iteration_cap_   = 9000;
    int    early_grouping_  = 0;
    int    averaging_delay_ = 60;
    double alpha_           = 1.5;
    double weight_cap_      = 262143.0;

    // Held by every iteration, every result evaluation (both passes) and every edit of the
    // strategies (locks, written strategies, subgame re-solves), so that none of them
    // comes between the two passes of another; taken before the tree mutex, or with it in
    // one std::scoped_lock.
    std::mutex    results_mutex_;
    ResultFigures cached_;

    std::vector<uint32_t> subtree_end_;     // per node: one past its subtree (pre-order)
    std::vector<uint32_t> terminal_count_;  // per node: terminal ends in its subtree
    std::vector<uint32_t> showdown_count_;  // per node: showdown ends in its subtree
    std::vector<uint32_t> river_ends_max_;  // per node: most ends of a river subtree in it
    std::vector<uint8_t>  river_root_;      // per node: first river decision below a deal
    BatchPolicy           batch_policy_;
    // Trees that start on the river: the expected cost of the subtrees their passes hand
    // to the team's threads, per node and traverser (cfr_river_split.cpp).
    std::vector<double>   team_job_cost_[2];

    // Master side: the update requests sent to the workers since their stores were last
    // copied, and which lost workers' shares have been replayed since.
    std::vector<std::vector<uint8_t>> worker_log_;
    uint64_t                          worker_log_bytes_ = 0;
    std::vector<bool>                 worker_recovered_;
    uint64_t                          worker_generation_ = 0;  // of the worker list they refer to
    double                            last_sync_seconds_ = 0;  // how long the last copy took
    std::chrono::steady_clock::time_point last_sync_end_ = std::chrono::steady_clock::now();

    std::vector<Task>  task_list_;  // subgame tasks of the pass under way
    std::vector<float> task_data_;  // their reach and result vectors
    TaskBuffers        task_buffers_;  // in streamed passes: those of the running tasks
    int           cached_at_ = -1;

    NodeValueCache kept_values_;
    mutable StatsAnswerCache stats_answers_;
    uint64_t                 stats_counting_floor_ = kStatsCountingFloor;
    int                      buffers_per_thread_   = kBuffersPerThread;
};
