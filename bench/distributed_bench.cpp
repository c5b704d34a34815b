// distributed_bench: a flop spot solved by this process as the master with 0, 1, 2 ...
// local worker processes, the traffic and the waiting of every iteration.
//
//   distributed_bench <spot.json> [iterations] [max workers] [threads] [--binary PATH]
//
// For each worker count the bench starts that many workers (build/quillane beside this
// executable, in server mode on free ports of 127.0.0.1), connects to them, sets the spot
// up through the console path (so every line reaches the workers), runs one iteration to
// warm up and then times 'iterations' more. Per iteration it reports the wall time, the
// bytes sent to and received from each worker, and how long the master waited for each
// worker's replies after sending its requests; the rest of the iteration is the master's
// own sweep of the flop (phases 0 and 2) and the installing of the returned stores. Every
// process uses 'threads' threads (default 1). Averaging starts at once (no averaging
// delay), so that the figures are those of the long part of a solve, where every pass
// returns averages as well as regrets. The last lines are machine-readable.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "net/worker_pool.h"
#include "net/workers.h"
#include "platform/process_times.h"
#include "solver/cfr_engine.h"
#include "solver/solver_run_state.h"
#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"
#include "tree/built_tree.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid  = -1;
    int   port = 0;
};

bool Accepts(int port) {
    boost::asio::io_context          io;
    boost::asio::ip::tcp::socket     socket(io);
    boost::system::error_code        error;
    socket.connect({boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(port)},
                   error);
    return !error;
}

// A worker in server mode on a free port; it accepts connections once this returns.
Child StartWorker(const std::string& binary) {
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 30; ++attempt) {
        Child       child;
        child.port       = 20000 + static_cast<int>(random() % 40000);
        std::string port = std::to_string(child.port);
        std::string log  = "/dev/null";
        const char* argv[] = {binary.c_str(), "--server", "--port", port.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY, 0);
        posix_spawn(&child.pid, binary.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        for (int wait = 0; wait < 200; ++wait) {
            if (Accepts(child.port))
                return child;
            int status;
            if (waitpid(child.pid, &status, WNOHANG) == child.pid)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
    }
    std::fprintf(stderr, "distributed_bench: no worker could start\n");
    std::exit(1);
}

void StopWorkers(std::vector<Child>& children) {
    for (const Child& child : children) {
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
    }
    children.clear();
}

void RunConsoleLines(const std::string& script) {
    size_t start = 0;
    while (start < script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos)
            end = script.size();
        if (end > start)
            ExecuteConsoleLine(script.substr(start, end - start));
        start = end + 1;
    }
    const std::string output = State().output.Take();
    if (output.find("ERROR") != std::string::npos) {
        std::fprintf(stderr, "distributed_bench: %s", output.c_str());
        std::exit(1);
    }
}

std::vector<WorkerTraffic> TrafficNow() {
    std::vector<WorkerTraffic> traffic;
    if (WorkersConnected())
        for (int w = 0; w < Workers().Count(); ++w)
            traffic.push_back(Workers().Traffic(w));
    return traffic;
}

uint64_t SubtreeSize(const BuiltTree& tree, uint32_t index) {
    uint64_t size = 1;
    for (uint32_t child : tree.Children(index))
        size += SubtreeSize(tree, child);
    return size;
}

// The subgames are dealt to the workers whole, one subtree below the flop at a time: the
// largest one bounds the share of the work a single worker can be left with.
void PrintGroups(const BuiltTree& tree) {
    std::vector<uint64_t> sizes;
    std::vector<uint32_t> stack{0};
    while (!stack.empty()) {
        const uint32_t   index = stack.back();
        const BuiltNode& node  = tree.Node(index);
        stack.pop_back();
        if (node.kind == kShowdownEnd || (node.kind == kDecisionNode && node.street > 1))
            sizes.push_back(SubtreeSize(tree, index));
        else if (node.kind == kDecisionNode)
            for (uint32_t child : tree.Children(index))
                stack.push_back(child);
    }
    uint64_t total = 0, largest = 0;
    for (uint64_t size : sizes) {
        total += size;
        largest = std::max(largest, size);
    }
    std::printf("subgame groups: %zu, %llu nodes below the flop, the largest group %.1f %% of them\n",
                sizes.size(), static_cast<unsigned long long>(total),
                total ? 100.0 * largest / total : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string binary = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillane";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--binary" && i + 1 < argc)
            binary = argv[++i];
        else
            args.push_back(argv[i]);
    }
    if (args.empty()) {
        std::fprintf(stderr,
                     "usage: distributed_bench <spot.json> [iterations] [max workers] [threads]\n");
        return 2;
    }
    const int iterations  = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 3;
    const int max_workers = args.size() > 2 ? std::max(0, std::atoi(args[2].c_str())) : 2;
    const int threads     = args.size() > 3 ? std::max(1, std::atoi(args[3].c_str())) : 1;
    const Spot spot       = LoadSpotFile(args[0]);
    InstallSolverHooks();
    signal(SIGPIPE, SIG_IGN);

    std::vector<Child> children;
    for (int count = 0; count <= max_workers; ++count) {
        std::string connect = "connect_to_workers";
        for (int w = 0; w < count; ++w) {
            children.push_back(StartWorker(binary));
            connect += " 127.0.0.1:" + std::to_string(children.back().port) + " 1";
        }
        if (count > 0)
            RunConsoleLines(connect);
        RunConsoleLines("set_threads " + std::to_string(threads) + "\n" + SpotScript(spot));
        CfrEngine* engine = State().solver.engine.get();
        if (count == 0)
            PrintGroups(engine->Tree());
        // Averaging from the start: every pass then changes and returns both kinds of
        // store, as in the long part of a solve (after the averaging delay).
        engine->SetAveragingDelay(0);
        engine->Iterate(threads);

        const auto    before    = TrafficNow();
        const int64_t cpu_start = ProcessCpuTime100ns();
        const auto    start     = Clock::now();
        for (int i = 0; i < iterations; ++i)
            engine->Iterate(threads);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto   after   = TrafficNow();
        const double master_cpu = (ProcessCpuTime100ns() - cpu_start) * 1e-7 / iterations;

        std::printf("%s, %d worker(s), %d thread(s) each: %.3f s per iteration, %.3f it/s, "
                    "master cpu %.3f s per iteration\n",
                    spot.name.c_str(), count, threads, seconds / iterations, iterations / seconds,
                    master_cpu);
        std::string result = "RESULT spot=" + spot.name + " workers=" + std::to_string(count) +
                             " threads=" + std::to_string(threads) +
                             " iterations_per_s=" + std::to_string(iterations / seconds) +
                             " master_cpu_s=" + std::to_string(master_cpu);
        for (int w = 0; w < count; ++w) {
            const double sent     = double(after[w].bytes_sent - before[w].bytes_sent) / iterations;
            const double received = double(after[w].bytes_received - before[w].bytes_received) / iterations;
            const double waited   = (after[w].wait_seconds - before[w].wait_seconds) / iterations;
            std::printf("  worker %d: %.2f MB sent, %.2f MB received, %.3f s waited per iteration\n",
                        w, sent / 1e6, received / 1e6, waited);
            result += " w" + std::to_string(w) + "_sent=" + std::to_string(sent) + " w" +
                      std::to_string(w) + "_received=" + std::to_string(received) + " w" +
                      std::to_string(w) + "_wait_s=" + std::to_string(waited);
        }
        if (count > 0) {
            // The copy of the workers' stores that the master makes every 64 update
            // passes and before its commands (one after these iterations).
            const auto   copy_before = TrafficNow();
            const auto   copy_start  = Clock::now();
            engine->SyncWorkerStores();
            const double copy_seconds =
                std::chrono::duration<double>(Clock::now() - copy_start).count();
            double copied = 0;
            for (int w = 0; w < count; ++w)
                copied += double(TrafficNow()[w].bytes_received - copy_before[w].bytes_received);
            std::printf("  copy of the workers' stores: %.1f MB in %.2f s\n", copied / 1e6,
                        copy_seconds);
            result += " copy_bytes=" + std::to_string(copied) +
                      " copy_s=" + std::to_string(copy_seconds);
        }
        std::printf("%s\n", result.c_str());
        std::fflush(stdout);
        StopWorkers(children);
    }
    return 0;
}
