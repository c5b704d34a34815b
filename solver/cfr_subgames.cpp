#include <chrono>
#include <cmath>

#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "tree/built_tree.h"

namespace {

// Sets the engine's iteration count for the duration of a re-solve and restores it.
class IterationOverride {
public:
    IterationOverride(std::atomic<int>& count) : count_(count), saved_(count.load()) {}
    ~IterationOverride() { count_.store(saved_); }
    void Set(int value) { count_.store(value); }

private:
    std::atomic<int>& count_;
    int               saved_;
};

}  // namespace

void CfrEngine::SubgamePass(PassState& pass, int street, const Task* only,
                            std::vector<float>* entering) {
    const int base   = tree_.BaseStreet();
    pass.task_street = street;
    Runout root;
    root.street    = base;
    root.turn_slot = base == 2 ? 0 : -1;
    root.list      = &runouts_.Root();
    std::vector<float> scratch(pass.width, 0.0f);
    pass.phase = 0;
    Sweep(pass, 0, root, root_reach_[1 - pass.traverser].data(), scratch.data(),
          pass.update ? nullptr : scratch.data(), nullptr);
    if (only)
        for (Task& task : pass.tasks)
            task.reachable = task.reachable && task.node == only->node &&
                             task.runout.turn_slot == only->runout.turn_slot &&
                             task.runout.river_slot == only->runout.river_slot;
    if (entering) {
        entering->clear();
        std::vector<float> reach(pass.width);
        for (Task& task : pass.tasks)
            if (task.reachable && LoadTaskReach(pass, task, reach.data()))
                entering->assign(reach.begin(), reach.begin() + task.runout.Size());
    }
    pass.phase = 1;
    RunTasks(pass);
}

void CfrEngine::SolveSubgames(int street, int iterations) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    CreateMissingStorage(0);
    IterationOverride count(iteration_);
    const bool        verbose = State().interp.verbosity > 0;
    for (int t = 0; t < iterations; ++t) {
        count.Set(t);
        for (int traverser : {1, 0}) {
            PassState pass = NewPass(traverser, true);
            SubgamePass(pass, street, nullptr);
        }
        if (verbose)
            Print("[resolve %s iteration %d/%d]\n", street == 2 ? "turn" : "river", t + 1,
                  iterations);
    }
}

void CfrEngine::CreateMissingStorage(uint32_t index) {
    BuiltNode& node = tree_.Node(index);
    if (node.kind != kDecisionNode)
        return;
    if (!node.strategy)
        State().tree.storage->CreateStorage(tree_, index, {}, {}, node);
    for (uint32_t child : tree_.Children(index))
        CreateMissingStorage(child);
}

double CfrEngine::SolveSubgame(uint32_t root, int turn_card, int river_card, double target) {
    std::scoped_lock lock(results_mutex_, tree_mutex_);
    const BuiltNode&      node      = tree_.Node(root);
    const CanonicalRunout canonical = runouts_.Canonical(turn_card, river_card);
    const auto            runout    = RunoutOf(node.street, canonical.turn, canonical.river);
    if (!runout || node.street <= tree_.BaseStreet())
        return 0;
    CreateMissingStorage(root);
    const Task        key{root, *runout, 0, true};
    if (target <= 0)
        target = kDefaultSubgameTarget * State().tree.params.StartingPot();
    IterationOverride count(iteration_);
    const auto        start       = std::chrono::steady_clock::now();
    double            exploitable = 0;
    for (int t = 0; t < kMaxSubgameIterations; ++t) {
        count.Set(t);
        for (int traverser : {1, 0}) {
            PassState pass = NewPass(traverser, true);
            SubgamePass(pass, node.street, &key);
        }
        const int done = t + 1;
        if (done >= 50 && done % 25 == 0) {
            count.Set(done);
            exploitable = SubgameExploitability(key);
            if (exploitable <= target)
                break;
        }
    }
    if (State().interp.verbosity > 0)
        Print("[%s: %gms]\n", "SolveSubgame",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
    return exploitable;
}

// Mean over the two players of what a best response gains in the subgame over its
// strategy, per pair of hands that reaches the subgame, in chips.
double CfrEngine::SubgameExploitability(const Task& key) {
    const int          street = tree_.Node(key.node).street;
    const int          m      = key.runout.Size();
    std::vector<float> reach[2], value[2], best[2];
    for (int traverser : {1, 0}) {
        PassState pass = NewPass(traverser, false);
        SubgamePass(pass, street, &key, &reach[1 - traverser]);
        for (const Task& task : pass.tasks) {
            if (!task.reachable)
                continue;
            value[traverser].assign(pass.TaskValues(task), pass.TaskValues(task) + m);
            best[traverser].assign(pass.TaskBest(task), pass.TaskBest(task) + m);
        }
    }
    if (reach[0].empty() || reach[1].empty())
        return 0;
    const auto& cards = key.runout.list->cards;
    double      card_mass[kCardCount] = {};
    double      oop_mass              = 0;
    for (int j = 0; j < m; ++j) {
        card_mass[cards[j].first] += reach[0][j];
        card_mass[cards[j].second] += reach[0][j];
        oop_mass += reach[0][j];
    }
    double pairs = 0, gain = 0;
    for (int j = 0; j < m; ++j) {
        pairs += reach[1][j] * (oop_mass - card_mass[cards[j].first] -
                                card_mass[cards[j].second] + reach[0][j]);
        for (int p = 0; p < 2; ++p)
            gain += reach[p][j] * (static_cast<double>(best[p][j]) - value[p][j]);
    }
    return pairs > 0 ? 0.5 * gain / pairs : 0.0;
}
