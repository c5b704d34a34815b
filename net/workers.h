// The master's view of connected worker processes, as the command loop and the solver
// see it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class WorkerPool;

// True while at least one worker process is connected (lost ones included: the list
// lives until the next connect_to_workers).
bool WorkersConnected();

// The connected workers; only valid while WorkersConnected().
WorkerPool& Workers();

// Sends one command line to every connected worker. With 'report_results' the error lines
// of the workers' replies are printed, each preceded by "worker <index>: " (script lines
// report what the workers answered); otherwise the replies are discarded.
void ForwardToWorkers(const std::string& line, bool report_results);

// Prints, once per worker, a line naming each worker that has been lost since the last
// call. Safe from any thread (the output routines take the output mutex).
void ReportLostWorkers();
