#include "net/workers.h"

#include <mutex>

#include "cli/command.h"
#include "cli/solver_state.h"
#include "net/worker_pool.h"

namespace {

std::mutex loss_mutex;  // the interpreter and the solver thread both report losses

// The error lines of a reply, each preceded by the worker's index.
void PrintErrorLines(int worker, const std::string& reply) {
    size_t begin = 0;
    while (begin < reply.size()) {
        size_t end = reply.find('\n', begin);
        if (end == std::string::npos)
            end = reply.size();
        if (reply.compare(begin, 7, "ERROR: ") == 0)
            Print("worker %d: %s\n", worker, reply.substr(begin, end - begin).c_str());
        begin = end + 1;
    }
}

}  // namespace

bool WorkersConnected() {
    const auto& pool = State().net.workers;
    return pool && !pool->Empty();
}

WorkerPool& Workers() { return *State().net.workers; }

void ForwardToWorkers(const std::string& line, bool report_results) {
    const std::vector<WorkerReply> replies = Workers().Multicast(line);
    if (report_results)
        for (int w = 0; w < static_cast<int>(replies.size()); ++w)
            PrintErrorLines(w, replies[w].text);
    ReportLostWorkers();
}

void ReportLostWorkers() {
    if (!WorkersConnected())
        return;
    std::lock_guard    lock(loss_mutex);
    WorkerPool&        pool     = Workers();
    std::vector<bool>& reported = State().net.loss_reported;
    reported.resize(pool.Count(), false);
    for (int w = 0; w < pool.Count(); ++w) {
        if (reported[w] || !pool.Lost(w))
            continue;
        reported[w]                = true;
        const WorkerAddress& where = pool.Address(w);
        Print("worker %d (%s:%d) lost: its subgames are solved by the master from now on\n", w,
              where.host.c_str(), where.port);
    }
}
