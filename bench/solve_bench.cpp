// Solver benchmark: builds a standard spot, runs iterations on a chosen number of threads
// and reports the exploitability curve, iterations per second, the time to each of the
// spot's exploitability targets, storage and peak memory.
//
//   solve_bench <spot.json> [threads] [max seconds] [check every n iterations] [command]...
//
// Further arguments are command lines run before the tree is built ("set_precision 1");
// with "enable_perf_counters 1" among them the batch counters' report follows the result.
// The time counts iterations only: the exploitability checks are excluded. The last line
// is machine-readable ("RESULT spot=... key=value ...").
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "platform/process.h"
#include "platform/process_times.h"
#include "solver/solver_run_state.h"
#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"
#include "tree/built_tree.h"
#include "bench/run_script.h"
#include "tree/street_storage.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: solve_bench <spot.json> [threads] [max seconds] [check]\n");
        return 2;
    }
    const std::string path        = argv[1];
    const int         threads     = argc > 2 ? std::atoi(argv[2]) : 2;
    const double      max_seconds = argc > 3 ? std::atof(argv[3]) : 120.0;
    const int         check       = argc > 4 ? std::atoi(argv[4]) : 25;

    UseOneMallocArena();
    const Spot spot = LoadSpotFile(path);
    InstallSolverHooks();
    State().settings.thread_count = threads;
    for (int i = 5; i < argc; ++i)
        RunScript(argv[i]);
    const auto build_start        = std::chrono::steady_clock::now();
    CfrEngine* const engine     = BuildSpotEngine(SpotScript(spot));
    const double build_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - build_start).count();
    if (!engine)
        return 1;
    const BuiltTree& tree = engine->Tree();
    const double     pot  = static_cast<double>(spot.pot);
    std::printf("spot %s: %u decision nodes, %u showdowns, %u folds; build %.2f s\n",
                spot.name.c_str(), tree.DecisionCount(), tree.ShowdownCount(), tree.FoldCount(),
                build_seconds);
    // Bytes of every store, and the combo-action entries they cover: regrets and averages
    // together, so that two 16-bit numbers per entry make 4 bytes.
    uint64_t storage = 0, entries = 0;
    for (uint32_t i = 0; i < tree.Size(); ++i) {
        for (const NodeStorage* s : {tree.Node(i).strategy.get(), tree.Node(i).second.get()})
            if (s)
                storage += s->SizeBytes();
        if (tree.Node(i).kind == kDecisionNode) {
            const StorageShape shape = ShapeOf(tree, i);
            entries += shape.combo_runouts * uint64_t(shape.actions);
        }
    }
    std::printf("storage %.1f MB, threads %d\n", storage / 1048576.0, threads);

    std::vector<double> targets = spot.targets_pct_pot;
    std::vector<double> reached(targets.size(), -1);
    double              solve_seconds = 0;
    int                 iterations    = 0;
    double              last_pct      = 0;
    while (solve_seconds < max_seconds) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < check; ++i)
            engine->Iterate(threads);
        solve_seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        iterations += check;
        last_pct = 100.0 * engine->Evaluate(threads).Exploitability() / pot;
        std::printf("  %6d iterations %8.2f s  exploitability %.4f %% pot\n", iterations,
                    solve_seconds, last_pct);
        std::fflush(stdout);
        bool all = true;
        for (size_t t = 0; t < targets.size(); ++t) {
            if (reached[t] < 0 && last_pct <= targets[t])
                reached[t] = solve_seconds;
            all = all && reached[t] >= 0;
        }
        if (all || engine->IterationCount() >= engine->IterationCap())
            break;
    }
    const double rate    = iterations / solve_seconds;
    const double peak_mb = PeakResidentBytes() / 1048576.0;
    std::printf("%.1f iterations/s, peak resident %.0f MB, storage %.2f bytes per combo and action\n",
                rate, peak_mb, entries ? double(storage) / double(entries) : 0.0);
    std::string result = "RESULT spot=" + spot.name + " threads=" + std::to_string(threads) +
                         " iterations_per_s=" + std::to_string(rate) +
                         " peak_mb=" + std::to_string(peak_mb) +
                         " final_pct=" + std::to_string(last_pct) +
                         " bytes_per_entry=" + std::to_string(entries ? double(storage) / double(entries) : 0.0);
    for (size_t t = 0; t < targets.size(); ++t) {
        std::printf("target %.3f %% pot: %s\n", targets[t],
                    reached[t] < 0 ? "not reached" : (std::to_string(reached[t]) + " s").c_str());
        result += " t" + std::to_string(targets[t]) + "=" +
                  (reached[t] < 0 ? std::string("none") : std::to_string(reached[t]));
    }
    std::printf("%s\n", result.c_str());
    if (State().settings.perf_counters)
        std::printf("%s", State().solver.batch_counters.Report().c_str());
    return 0;
}
