// The solving run: `go` starts it, the run loop iterates until a stop condition holds,
// checks exploitability at intervals and prints result lines; `stop` and
// `wait_for_solver` control it from the command thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "solver/solver_engine.h"

// One exploitability check of a run, in stored units (relative to half the pot).
struct ResultRecord {
    int    iterations = 0;
    double running_time = 0;  // wall-clock seconds since the run started
    double ev_oop = 0, ev_ip = 0, mes_oop = 0, mes_ip = 0, exploitability = 0;
};

struct RunLimits {
    int  limit      = 0;      // iterations or seconds; 0 = none
    bool steps_mode = false;  // the limit counts iterations
};

class SolverDriver {
public:
    static constexpr int kDefaultAveragingDelay = 60;

    // The run's target: exploitability in chips, and the same as a fraction of the pot.
    void   SetAccuracy(double chips, double fraction);
    double Accuracy() const { return accuracy_; }
    double AccuracyFraction() const { return accuracy_fraction_; }

    bool Running() const { return thread_running_.load(); }

    // Half the starting pot, added to the EVs and MES of the result lines; set_pot moves
    // it during a run too.
    void SetHalfPot(double half_pot) { half_pot_.store(half_pot); }

    // Starts a run on 'engine' (the engine must outlive the run). Printed values add
    // 'half_pot'. Non-blocking unless 'block', in which case the run loop runs on the
    // calling thread. Returns false when the run cannot start (one exists already).
    bool Start(SolverEngine& engine, RunLimits limits, bool block, double half_pot);

    // Asks the run to end after its current iteration. Non-blocking.
    void RequestStop();

    // Blocks until the current run, if any, has ended and printed its stop line.
    void WaitForEnd();

    // Copies of the results history.
    std::vector<ResultRecord> History() const;

    // Ends and joins a finished or running run's thread: call before destroying the engine.
    void Join();

private:
    void RunLoop(SolverEngine& engine, RunLimits limits);
    void ChooseAveragingDelay(SolverEngine& engine);
    void PrintResultLine(const ResultRecord& record);

    double accuracy_          = 0;
    double accuracy_fraction_ = 0;
    int    averaging_delay_   = kDefaultAveragingDelay;
    int    last_printed_      = -1;
    std::atomic<double> half_pot_{0};

    // A run exists from Start until just before its stop line (go and the tree-changing
    // commands refuse meanwhile); it is finished once the stop line is out (waiters wake).
    // The stop request is set only while a run exists and cleared as the run ends, both
    // under end_mutex_, so that a late stop never reaches the next run.
    std::atomic<bool> stop_request_{false};
    std::atomic<bool> thread_running_{false};
    std::atomic<bool> finishing_{false};
    std::thread       thread_;

    mutable std::mutex        history_mutex_;
    std::vector<ResultRecord> history_;

    std::mutex              end_mutex_;
    std::condition_variable end_signal_;
};
