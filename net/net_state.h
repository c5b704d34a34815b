// The networking subsystem's share of the process-wide state.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "solver/worker_exchange.h"

class Server;
class WorkerPool;

// What a worker process knows about its part in a distributed solve (set by init_worker).
struct WorkerRole {
    bool                active = false;  // stays on for the life of the process
    int                 index  = 0;
    std::vector<double> weights;         // of every worker, in the master's list order

    // What this worker has done for its master, and the time figures of its iteration
    // line (100-nanosecond units): when the current iteration's first request arrived and
    // how long requests have kept it busy since.
    WorkerCounters counters;
    uint32_t       iteration_tasks = 0;
    int64_t        iteration_start = 0;
    int64_t        iteration_busy  = 0;
};

struct NetState {
    NetState();
    ~NetState();

    std::unique_ptr<Server> server;  // created at start-up in server mode, else none

    // The payload of the type-4 message that carried the command running now, and the
    // bytes that command wants to return with its reply (a type-4 reply when non-empty).
    // Worker commands read the one and fill the other.
    std::vector<uint8_t> input_block;
    std::vector<uint8_t> output_block;

    // Master side: the connected workers (created by the first connect_to_workers), and
    // which of them have been reported lost.
    std::unique_ptr<WorkerPool> workers;
    std::vector<bool>           loss_reported;

    // Worker side.
    WorkerRole worker;
};
