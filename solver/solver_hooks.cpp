#include <algorithm>
#include <span>

#include "cli/command.h"
#include "cli/solver_state.h"
#include "platform/process_times.h"
#include "solver/node_stores.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"

namespace {

RunoutSetup SetupOf(const BuiltTree& tree) {
    const CardState& cards = State().cards;
    RunoutSetup      setup;
    setup.flop      = tree.Board().flop;
    setup.turn      = tree.Board().turn;
    setup.river     = tree.Board().river;
    setup.ranges[0] = tree.Range(0);
    setup.ranges[1] = tree.Range(1);
    setup.rules     = &cards.rules;
    if (cards.deck_weights_in_use)
        setup.deck_weights = cards.deck_weights;
    setup.isomorphism = (tree.flags & kIsomorphismOn) != 0;
    return setup;
}

void CreateEngine(BuiltTree& tree) {
    SolverRunState& solver = State().solver;
    solver.driver.Join();
    solver.engine.reset();
    solver.engine = std::make_unique<CfrEngine>(tree, SetupOf(tree));
    State().tree.storage = std::make_unique<CfrStorageProvider>(*solver.engine);
}

void ReleaseEngine() {
    SolverRunState& solver = State().solver;
    solver.driver.Join();
    State().tree.storage = std::make_unique<DefaultStorageProvider>();
    solver.engine.reset();
}

// Re-solves every subgame of a street for as many iterations as the main solve has run.
void SolveAllSplits(int street) {
    if (State().solver.driver.Running())
        CommandError("Can't do that when solver is running");
    CfrEngine& engine = *State().solver.engine;
    engine.SolveSubgames(street, std::max(engine.IterationCount(), 1));
}

AccuracyForms RecomputeAccuracy(double pot) {
    SolverRunState& solver = State().solver;
    AccuracyForms   forms;
    if (solver.accuracy_is_fraction) {
        forms.absolute = solver.accuracy_value * pot;
        forms.fraction = solver.accuracy_value;
    } else {
        forms.absolute = solver.accuracy_value;
        forms.fraction = solver.accuracy_value / pot;
    }
    solver.driver.SetAccuracy(forms.absolute, forms.fraction);
    solver.driver.SetHalfPot(0.5 * pot);
    return forms;
}

}  // namespace

void InstallSolverHooks() {
    SolverRunState& solver  = State().solver;
    solver.start_time_100ns = WallClock100ns();
    TreeState& trees        = State().tree;
    trees.on_tree_built     = CreateEngine;
    trees.on_tree_freed     = ReleaseEngine;
    trees.params.pot_changed = RecomputeAccuracy;
    trees.solve_all_splits   = SolveAllSplits;
    trees.between_passes     = [](const std::function<void()>& edit) {
        if (CfrEngine* engine = State().solver.engine.get())
            engine->BetweenPasses(edit);
        else
            edit();
    };
}
