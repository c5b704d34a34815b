#include "net/worker_commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/output.h"
#include "cli/solver_state.h"
#include "net/worker_pool.h"
#include "net/workers.h"
#include "platform/process_times.h"
#include "solver/cfr_engine.h"
#include "solver/query_lines.h"
#include "solver/query_support.h"
#include "solver/run_control.h"
#include "tree/built_tree.h"

namespace {

constexpr int    kDefaultWorkerPort = 5251;
constexpr double kMaxWeight         = 10000.0;
constexpr int    kPingRounds        = 10;
constexpr size_t kPingBlockSize     = 65536;

std::string WeightText(double weight) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", weight);
    return text;
}

// "host" or "host:port"; a port beyond the 16-bit range fails the argument check (an empty
// host or a port of 0 or less is no address to connect to: "can't connect").
WorkerAddress ParseAddress(const Tokens& t, const std::string& text, const std::string& weight) {
    WorkerAddress address;
    const size_t  colon = text.rfind(':');
    address.host        = text.substr(0, colon);
    if (colon != std::string::npos)
        address.port = ParseInt(text.substr(colon + 1));
    if (address.port >= 65536)
        ArgumentCountError(t);
    address.weight = ParseDouble(weight);
    if (!(address.weight > 0 && address.weight <= kMaxWeight))
        ArgumentCountError(t);
    // The workers receive the weight as "%f" text and split the subgames by what they
    // read; the master splits by the same value (a weight under 0.0000005 reads as 0).
    address.weight = std::strtod(WeightText(address.weight).c_str(), nullptr);
    return address;
}

std::string InitWorkerLine(int index, const std::vector<WorkerAddress>& addresses) {
    std::string line = "init_worker " + std::to_string(index);
    for (const WorkerAddress& address : addresses)
        line += " " + WeightText(address.weight);
    return line;
}

WorkerRole& Role() { return State().net.worker; }

// The worker's line at the end of each iteration it took part in (after the OOP update
// pass): the master's iteration count, the process's CPU time and peak memory, and the
// share of the iteration's wall time that the requests kept it busy; with --verbose also
// the subgames it solved.
void PrintIterationLine(const CfrEngine& engine) {
    WorkerRole&   role    = Role();
    const int64_t elapsed = WallClock100ns() - role.iteration_start;
    const double  busy    = elapsed > 0 ? 100.0 * role.iteration_busy / elapsed : 100.0;
    char          line[256];
    std::snprintf(line, sizeof line,
                  "[%d iterations | cpu time %.1fs | peak working set %d MB | efficiency %.1f%%]\n",
                  engine.IterationCount() + 1, ProcessCpuTime100ns() * 1e-7,
                  static_cast<int>(PeakResidentBytes() >> 20), std::min(busy, 100.0));
    WriteDirect(line);
    if (State().interp.verbosity > 0) {
        std::snprintf(line, sizeof line, "[worker %d: %u subgames this iteration, %llu in all]\n",
                      role.index, role.iteration_tasks,
                      static_cast<unsigned long long>(role.counters.tasks));
        WriteDirect(line);
    }
    std::fflush(stdout);
}

}  // namespace

void CmdConnectToWorkers(const Tokens& t) {
    if (t.size() < 3 || t.size() % 2 == 0)
        ArgumentCountError(t);
    std::vector<WorkerAddress> addresses;
    for (size_t i = 1; i < t.size(); i += 2)
        addresses.push_back(ParseAddress(t, t[i], t[i + 1]));
    // A worker serves one connection at a time: a second one to it would wait forever.
    for (size_t a = 0; a < addresses.size(); ++a)
        for (size_t b = 0; b < a; ++b)
            if (addresses[a].host == addresses[b].host && addresses[a].port == addresses[b].port)
                CommandError("duplicate worker address");
    // A run hands its subgames to the connected workers: they stay while it lasts.
    if (SolverRunning())
        CommandError("Can't do that when solver is running");
    for (const WorkerAddress& address : addresses)
        if (address.host.empty() || address.port <= 0)
            CommandError("can't connect");
    NetState& net = State().net;
    if (!net.workers)
        net.workers = std::make_unique<WorkerPool>();
    auto trying = [](const WorkerAddress& address) {
        if (State().interp.verbosity > 0)
            Print("[trying to connect to %s:%d...]\n", address.host.c_str(), address.port);
    };
    if (!net.workers->Connect(addresses, trying).empty())
        CommandError("can't connect");
    net.loss_reported.assign(addresses.size(), false);
    for (int w = 0; w < static_cast<int>(addresses.size()); ++w)
        net.workers->Request(w, InitWorkerLine(w, addresses));
    ReportLostWorkers();
    PrintOk(t);
}

void CmdPing(const Tokens& t) {
    if (!WorkersConnected())
        return PrintOk(t);
    WorkerPool&                pool = Workers();
    const std::vector<uint8_t> block(kPingBlockSize, 0);
    Print("id   host                 port     time (avg of %d)\n", kPingRounds);
    for (int w = 0; w < pool.Count(); ++w) {
        int64_t total = 0;
        for (int round = 0; round < kPingRounds; ++round) {
            const int64_t start = WallClock100ns();
            pool.Request(w, "ping", block);
            total += WallClock100ns() - start;
        }
        const WorkerAddress& address = pool.Address(w);
        Print("%-4d %-20s %-8d %.1fms\n", w, address.host.c_str(), address.port,
              0.0001 * static_cast<double>(total) / kPingRounds);
    }
    ReportLostWorkers();
    PrintEnd();
}

void CmdInitWorker(const Tokens& t) {
    if (t.size() < 3)
        ArgumentCountError(t);
    const int           index = ParseInt(t[1]);
    std::vector<double> weights;
    for (size_t i = 2; i < t.size(); ++i)
        weights.push_back(ParseDouble(t[i]));
    // Any index and weights are taken: a worker outside the list, or one whose weight is
    // not positive, gets no share of the subgames (SplitByWeight).
    WorkerRole& role    = Role();
    role.active         = true;
    role.index          = index;
    role.weights        = std::move(weights);
    role.counters       = {};
    role.counters.worker = index;
    PrintOk(t);
}

void CmdGetWorkerData(const Tokens& t) {
    WorkerRole& role = Role();
    if (role.active) {
        CfrEngine& engine        = RequireQueryEngine();
        State().net.output_block = engine.WorkerData(role.counters, role.weights);
        role.counters.data_blocks += 1;
        role.counters.bytes_sent += State().net.output_block.size();
    }
    PrintOk(t);
}

void CmdGetWorkerStrategy(const Tokens& t) {
    if (!Role().active)
        return;
    const int  node   = ParseInt(t[1]);
    const int  turn   = ParseInt(t[2]);
    const int  river  = ParseInt(t[3]);
    const int  action = ParseInt(t[4]);
    CfrEngine& engine = RequireQueryEngine();
    if (node < 0 || node >= static_cast<int>(engine.Tree().Size()) ||
        engine.Tree().Node(node).kind != kDecisionNode)
        CommandError("invalid node");
    const std::vector<float> rows = engine.StrategyAt(node, turn, river);
    if (rows.empty() || action < 0 || static_cast<size_t>(action + 1) * kComboCount > rows.size())
        CommandError("invalid runout or action");
    std::vector<double> values(rows.begin() + action * kComboCount,
                               rows.begin() + (action + 1) * kComboCount);
    PrintText(ValueLine(values, "%g", "nan"));
}

void CmdTraverseSubgames(const Tokens& t) {
    const int   traverser = ParseInt(t[1]);
    const int   update    = ParseInt(t[2]);
    WorkerRole& role      = Role();
    if (!role.active)
        CommandError("not a worker");
    if ((traverser != 0 && traverser != 1) || (update != 0 && update != 1))
        ArgumentCountError(t);
    CfrEngine&    engine = RequireQueryEngine();
    const int64_t start  = WallClock100ns();
    if (update && traverser == 1) {
        role.iteration_start = start;
        role.iteration_busy  = 0;
        role.iteration_tasks = 0;
    }
    CfrEngine::WorkerPass pass =
        engine.TraverseForMaster(traverser, update != 0, State().net.input_block, role.index,
                                 std::move(State().net.output_block));
    role.iteration_busy += WallClock100ns() - start;
    role.counters.tasks += pass.tasks;
    role.counters.bytes_sent += pass.block.size();
    if (update) {
        ++role.counters.passes;
        role.iteration_tasks += pass.tasks;
    }
    State().net.output_block = std::move(pass.block);
    PrintOk(t);
    if (update && traverser == 0)
        PrintIterationLine(engine);
}
