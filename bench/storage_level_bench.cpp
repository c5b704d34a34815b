// Storage levels on a standard spot: memory of every level's stores and, unless only
// building, the speed and accuracy of solving with them.
//
//   storage_level_bench <spot.json> [threads] [max seconds] [check every n] [options] [levels]
//
// Options: --build-only (memory after the build, no solving), --delay=N (averaging delay
// N instead of the driver's choice, so that short runs fill the averages), --force (give the level's
// storage-parameter pair to trees that do not start on the flop too, so that the river
// stores of turn and river spots take the compressed layouts; the tree itself applies the
// pair to flop trees only). Levels: names of set_compression, default all six.
// Per level it prints the stores' bytes (all streets and river only, and relative to
// level none), iterations per second, the exploitability reached and the seconds to
// each of the spot's targets, and the processor time per iteration (all threads; steadier
// than wall time on a busy machine). The last line per level is machine-readable.
// --stats prints, for level none, how many river numbers are 0 and how many bits the
// others need.
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "platform/process_times.h"
#include "solver/solver_run_state.h"
#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"
#include "tree/built_tree.h"
#include "tree/storage_level.h"
#include "tree/street_storage.h"
#include "solver/average_storage.h"
#include "solver/regret_storage.h"
#include "solver/node_stores.h"
#include "bench/run_script.h"
#include <cmath>

namespace {

using Clock = std::chrono::steady_clock;

struct Bytes {
    uint64_t all = 0, river = 0, river_averages = 0;
};

Bytes StoreBytes(const BuiltTree& tree) {
    Bytes bytes;
    for (const BuiltNode& node : tree.Nodes())
        for (const NodeStorage* s : {node.strategy.get(), node.second.get()}) {
            const uint64_t size = s ? s->SizeBytes() : 0;
            bytes.all += size;
            bytes.river += node.street == 3 ? size : 0;
            bytes.river_averages += node.street == 3 && s == node.second.get() ? size : 0;
        }
    return bytes;
}

// The level's layouts on every street whatever the tree's first street.
void ForceLevel(int level) {
    TreeState&              trees      = State().tree;
    const StorageParameters parameters = StorageLevelParameters(level);
    trees.storage->SetUp(parameters);
    DropStorageFrom(*trees.built, kFlop);
    for (int street = kFlop; street <= kRiver; ++street)
        CreateStreetStorage(*trees.built, street, *trees.storage, parameters);
}


// Value statistics of the plain river stores: zeros, and how many bits the others need.
void PrintValueStats(const BuiltTree& tree) {
    for (int family = 0; family < 2; ++family) {
        uint64_t count = 0, zeros = 0, bits[17] = {};
        for (const BuiltNode& node : tree.Nodes()) {
            if (node.street != 3)
                continue;
            NodeStorage* s = family == 0 ? node.strategy.get() : node.second.get();
            StrategyStore* store = StoreOf(s);
            if (!store)
                continue;
            const RunoutLayout& l = store->Layout();
            for (int slot = 0; slot < l.slots; ++slot)
                for (int a = 0; a < l.actions; ++a) {
                    const uint16_t* row = family == 0
                        ? static_cast<RunoutRegretStorage*>(store)->Row(slot, a)
                        : static_cast<RunoutAverageStorage*>(store)->Row(slot, a);
                    for (int i = 0; i < l.Span(slot).count; ++i) {
                        ++count;
                        if (row[i] == 0) { ++zeros; continue; }
                        ++bits[std::bit_width(unsigned(row[i]))];
                    }
                }
        }
        std::printf("%s: %llu values, zeros %.3f, bits:", family ? "averages" : "regrets",
                    (unsigned long long)count, double(zeros) / count);
        for (int b = 1; b <= 16; ++b)
            std::printf(" %d:%.3f", b, double(bits[b]) / count);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: storage_level_bench <spot.json> [threads] [max seconds] "
                             "[check every n] [--build-only] [--delay=N] [--force] [levels]\n");
        return 2;
    }
    const Spot   spot        = LoadSpotFile(argv[1]);
    const int    threads     = argc > 2 ? std::atoi(argv[2]) : 2;
    const double max_seconds = argc > 3 ? std::atof(argv[3]) : 60;
    const int    check       = argc > 4 ? std::atoi(argv[4]) : 25;
    bool         build_only = false, force = false, stats = false;
    int          delay      = -1;
    std::vector<std::string> levels;
    for (int i = 5; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--build-only")
            build_only = true;
        else if (word == "--stats")
            stats = true;
        else if (word == "--force")
            force = true;
        else if (word.rfind("--delay=", 0) == 0)
            delay = std::atoi(word.c_str() + 8);
        else
            levels.push_back(word);
    }
    if (levels.empty())
        levels = {"none", "low", "medium", "high", "max", "fast"};

    InstallSolverHooks();
    State().settings.thread_count = threads;
    std::printf("spot %s, threads %d%s\n", spot.name.c_str(), threads,
                force ? ", levels forced onto every tree" : "");
    uint64_t none_bytes = 0, none_river = 0;
    for (const std::string& name : levels) {
        RunScript("free_tree");
        RunScript("set_compression " + name);
        const auto build_start = Clock::now();
        RunScript(SpotScript(spot));
        CfrEngine& engine = *State().solver.engine;
        const int  level  = State().tree.actual_level;
        if (force)
            ForceLevel(level);
        const double build = std::chrono::duration<double>(Clock::now() - build_start).count();
        Bytes        bytes = StoreBytes(engine.Tree());
        if (name == "none")
            none_bytes = bytes.all, none_river = bytes.river;
        std::printf("%-6s build %.2f s, stores %.1f MB (river %.1f MB)", name.c_str(), build,
                    bytes.all / 1048576.0, bytes.river / 1048576.0);
        if (none_bytes)
            std::printf(", %.3f of none (river %.3f)", double(bytes.all) / none_bytes,
                        none_river ? double(bytes.river) / none_river : 0.0);
        std::printf("\n");
        if (build_only)
            continue;
        if (delay >= 0)
            engine.SetAveragingDelay(delay);

        std::vector<double> reached(spot.targets_pct_pot.size(), -1);
        double              seconds = 0, pct = 0, cpu = 0;
        int                 iterations = 0;
        while (seconds < max_seconds && iterations < engine.IterationCap()) {
            const auto    start     = Clock::now();
            const int64_t cpu_start = ProcessCpuTime100ns();
            for (int i = 0; i < check; ++i)
                engine.Iterate(threads);
            seconds += std::chrono::duration<double>(Clock::now() - start).count();
            cpu += (ProcessCpuTime100ns() - cpu_start) * 1e-7;
            iterations += check;
            pct = 100 * engine.Evaluate(threads).Exploitability() / spot.pot;
            bool all = true;
            for (size_t t = 0; t < reached.size(); ++t) {
                if (reached[t] < 0 && pct <= spot.targets_pct_pot[t])
                    reached[t] = seconds;
                all = all && reached[t] >= 0;
            }
            if (all)
                break;
        }
        if (stats && name == "none")
            PrintValueStats(engine.Tree());
        bytes = StoreBytes(engine.Tree());
        std::printf("       cpu %.2f s per iteration (all threads)\n", cpu / iterations);
        std::printf("       %d iterations in %.1f s (%.2f/s), exploitability %.4f %% pot, stores now "
                    "%.1f MB (river %.1f MB)",
                    iterations, seconds, iterations / seconds, pct, bytes.all / 1048576.0,
                    bytes.river / 1048576.0);
        if (none_bytes)
            std::printf(", %.3f of none's at its end (river regrets %.3f, averages %.3f)",
                        double(bytes.all) / none_bytes,
                        double(bytes.river - bytes.river_averages) / none_bytes,
                        double(bytes.river_averages) / none_bytes);
        std::printf("\n       targets:");
        for (size_t t = 0; t < reached.size(); ++t)
            std::printf(" %.2f%% %s", spot.targets_pct_pot[t],
                        reached[t] < 0 ? "not reached" : (std::to_string(reached[t]) + " s").c_str());
        std::printf("\nRESULT level=%s iterations=%d seconds=%.2f cpu=%.2f pct=%.4f bytes=%llu "
                    "river_bytes=%llu\n",
                    name.c_str(), iterations, seconds, cpu, pct, (unsigned long long)bytes.all,
                    (unsigned long long)bytes.river);
        std::fflush(stdout);
        if (name == "none")
            none_bytes = bytes.all, none_river = bytes.river;
    }
    return 0;
}
