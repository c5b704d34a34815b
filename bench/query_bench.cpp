// Query benchmark: builds a standard spot, runs a few iterations, then times every query
// command at the first decision, at flop, turn and river nodes, and at points whose turn
// or river card is left open.
//
//   query_bench <spot.json> [threads] [iterations] [repeats] [paths...]
//
// Each query runs 'repeats' times (default 3); the first, the slowest and the last wall
// times are printed, in milliseconds (the last shows what answers kept from an earlier
// run of the same query save). The commands without a path (calc_eq, calc_eq_pp, show_stats)
// run only with the default points. With "evaluate" among the paths a result pass runs before the
// queries (as a run that stops on its accuracy test leaves the engine); by default the last
// iteration is not evaluated (a run stopped by its step count or time limit). The last line
// names the slowest query.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "solver/solver_run_state.h"
#include "tree/built_tree.h"
#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"
#include "bench/run_script.h"

namespace {

struct Timing {
    double      first = 0, slowest = 0, last = 0;
    std::string answer;
};

Timing TimeCommand(const std::string& line, int repeats) {
    Timing timing;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        ExecuteCommand(SplitCommandLine(line));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        timing.answer = State().output.Take();
        if (r == 0)
            timing.first = ms;
        timing.slowest = std::max(timing.slowest, ms);
        timing.last    = ms;
    }
    return timing;
}

// The commands timed at one point.
std::vector<std::string> QueriesAt(const std::string& path, bool decision) {
    std::vector<std::string> lines = {"show_probs " + path,       "calc_ev OOP " + path,
                                      "calc_ev IP " + path,       "calc_ev_pp OOP " + path,
                                      "calc_ev_line OOP " + path, "calc_line_freq " + path,
                                      "calc_global_freq " + path, "calc_eq_node OOP " + path,
                                      "show_range IP " + path};
    if (decision) {
        lines.push_back("show_strategy " + path);
        lines.push_back("show_strategy_pp " + path);
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: query_bench <spot.json> [threads] [iterations] [repeats] "
                             "[paths...]\n");
        return 2;
    }
    const Spot spot       = LoadSpotFile(argv[1]);
    const int  threads    = argc > 2 ? std::atoi(argv[2]) : 2;
    const int  iterations = argc > 3 ? std::atoi(argv[3]) : 3;
    const int  repeats    = argc > 4 ? std::atoi(argv[4]) : 3;
    bool       evaluate   = false;
    std::vector<std::string> paths;
    for (int i = 5; i < argc; ++i) {
        if (std::string(argv[i]) == "evaluate")
            evaluate = true;
        else
            paths.push_back(argv[i]);
    }
    const bool globals = paths.empty();  // the commands without a path, with the default points
    if (paths.empty())
        paths = {"r:0",           "r:0:c",         "r:0:c:c",       "r:0:c:c:5c",
                 "r:0:c:c:5c:c",  "r:0:c:c:c",     "r:0:c:c:5c:c:c:8d", "r:0:c:c:5c:c:c",
                 "r:0:c:c:5c:c:c:c", "r:0:c:c:c:c:c"};

    InstallSolverHooks();
    State().settings.thread_count = threads;
    CfrEngine* const engine = BuildSpotEngine(SpotScript(spot));
    if (!engine)
        return 1;
    for (int i = 0; i < iterations; ++i)
        engine->Iterate(threads);
    if (evaluate)
        engine->Evaluate(threads);
    // What the kept values of flop and turn decisions take at most (both players).
    double kept_mb = 0;
    for (uint32_t i = 0; i < engine->Tree().Size(); ++i)
        if (engine->Tree().Node(i).IsDecision() && engine->Tree().Node(i).street < 3) {
            const RunoutLayout layout = engine->LayoutOf(i);
            kept_mb += 2.0 * layout.slots * layout.combos * sizeof(float) / 1048576.0;
        }
    std::printf("spot %s, %d iterations, threads %d%s; kept values at most %.1f MB\n",
                spot.name.c_str(), iterations, threads, evaluate ? ", evaluated" : "", kept_mb);

    std::vector<std::string> lines;
    if (globals)
        lines = {"calc_results", "calc_eq OOP", "calc_eq_pp OOP", "show_stats", "show_stats 0 OOP",
                 "show_stats 0.01 IP"};
    for (const std::string& path : paths) {
        const auto probe = TimeCommand("show_strategy " + path, 1);
        const bool decision = probe.answer.rfind("ERROR", 0) != 0;
        for (const std::string& line : QueriesAt(path, decision))
            lines.push_back(line);
    }
    double      slowest = 0;
    std::string slowest_line;
    for (const std::string& line : lines) {
        const Timing timing = TimeCommand(line, repeats);
        const bool   error  = timing.answer.rfind("ERROR", 0) == 0;
        std::printf("%9.2f %9.2f %9.2f  %s%s\n", timing.first, timing.slowest, timing.last,
                    line.c_str(),
                    error ? ("   -> " + timing.answer.substr(0, timing.answer.find('\n'))).c_str()
                          : "");
        std::fflush(stdout);
        if (timing.slowest > slowest) {
            slowest      = timing.slowest;
            slowest_line = line;
        }
    }
    std::printf("slowest: %.2f ms  %s\n", slowest, slowest_line.c_str());
    return 0;
}
