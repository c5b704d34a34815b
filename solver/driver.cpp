#include "solver/driver.h"

#include <omp.h>

#include <cstdio>

#include "cli/command.h"
#include "cli/progress_bar.h"
#include "cli/solver_state.h"
#include "net/server_loop.h"
#include "platform/process_times.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string Formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The run's own lines: on the console, and in server mode also to the client as
// messages of their own (the replies of commands never carry them).
void EmitLine(const std::string& text) {
    if (State().interp.server_mode) {
        WriteDirect(text);
        SendToClient(text);
        return;
    }
    PrintText(text);
    FlushOutput();
}

std::string Format(const char* format, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

void SolverDriver::SetAccuracy(double chips, double fraction) {
    accuracy_          = chips;
    accuracy_fraction_ = fraction;
}

void SolverDriver::ChooseAveragingDelay(SolverEngine& engine) {
    if (engine.IterationCount() >= 1)
        return;
    averaging_delay_ = kDefaultAveragingDelay;
    if (accuracy_ > 0 && engine.DecisionCount() >= 1000) {
        if (accuracy_fraction_ <= 0.0015001)
            averaging_delay_ = 360;
        else if (accuracy_fraction_ <= 0.0025001)
            averaging_delay_ = 260;
    }
    engine.SetAveragingDelay(averaging_delay_);
    if (State().interp.verbosity > 0)
        Print("[avg delay %d]\n", averaging_delay_);
}

bool SolverDriver::Start(SolverEngine& engine, RunLimits limits, bool block, double half_pot) {
    if (thread_running_.load())
        return false;
    Join();
    half_pot_.store(half_pot);
    last_printed_ = -1;
    ChooseAveragingDelay(engine);
    finishing_.store(true);
    thread_running_.store(true);
    if (block)
        RunLoop(engine, limits);
    else
        thread_ = std::thread([this, &engine, limits] { RunLoop(engine, limits); });
    return true;
}

void SolverDriver::RequestStop() {
    std::lock_guard lock(end_mutex_);
    if (thread_running_.load())
        stop_request_.store(true);
}

void SolverDriver::WaitForEnd() {
    std::unique_lock lock(end_mutex_);
    end_signal_.wait(lock, [this] { return !finishing_.load(); });
}

void SolverDriver::Join() {
    WaitForEnd();
    if (thread_.joinable())
        thread_.join();
}

std::vector<ResultRecord> SolverDriver::History() const {
    std::lock_guard lock(history_mutex_);
    return history_;
}

void SolverDriver::PrintResultLine(const ResultRecord& r) {
    if (r.iterations <= last_printed_)
        return;
    last_printed_       = r.iterations;
    const double offset = half_pot_.load();
    const char* format =
        State().interp.compactmsg
            ? "SOLVER: running time: %.3f EV OOP: %.3f EV IP: %.3f OOP's MES: %.3f IP's MES: "
              "%.3f Exploitable for: %.3f\n"
            : "SOLVER:\nrunning time: %.3f\nEV OOP: %.3f\nEV IP: %.3f\nOOP's MES: %.3f\nIP's "
              "MES: %.3f\nExploitable for: %.3f\nEND\n";
    SetColor(11);
    EmitLine(Format(format, r.running_time, r.ev_oop + offset, r.ev_ip + offset,
                    r.mes_oop + offset, r.mes_ip + offset, r.exploitability));
    SetColor(7);
    std::this_thread::yield();
}

void SolverDriver::RunLoop(SolverEngine& engine, RunLimits limits) {
    EmitLine("SOLVER: started\n");
    const int64_t     cpu_start  = ProcessCpuTime100ns();
    const auto        wall_start = Clock::now();
    const int         first      = engine.IterationCount();
    int64_t           threshold_ms = 0;
    auto              last_check   = wall_start;
    const char*       reason       = "requested";
    EngineSettings&   settings     = State().settings;

    while (!stop_request_.load()) {
        if (engine.IterationCount() >= engine.IterationCap())
            break;
        const int threads = settings.thread_count;
        omp_set_num_threads(threads);
        engine.Iterate(threads);
        const int count = engine.IterationCount();
        if (settings.ui_notifications)
            WriteDirect("#iterations " + std::to_string(count) + "\n");

        const int freq = settings.info_freq;
        if (count % freq == 0 && MillisecondsSince(last_check) >= threshold_ms) {
            ResultFigures figures = engine.Evaluate(threads);
            ResultRecord  record{count, MillisecondsSince(wall_start) * 0.001, figures.ev_oop,
                                figures.ev_ip, figures.mes_oop, figures.mes_ip,
                                figures.Exploitability()};
            last_check   = Clock::now();
            threshold_ms = count < 4 * freq ? 250 : 500;
            {
                std::lock_guard lock(history_mutex_);
                history_.push_back(record);
            }
            const double cpu_time = (ProcessCpuTime100ns() - cpu_start) * 1e-7;
            DrawProgressBar(-1, 0, freq);
            State().variables.Set("running_time", Formatted("%f", record.running_time));
            if (State().interp.verbosity > 0) {
                const int peak_mb = static_cast<int>(PeakResidentBytes() >> 20);
                State().variables.Set("cpu_time", Formatted("%f", cpu_time));
                State().variables.Set("peak_working_set", std::to_string(peak_mb));
                Print("[%d iterations | cpu time %.1fs | peak working set %d MB]\n", count,
                      cpu_time, peak_mb);
            }
            PrintResultLine(record);
            if (!(record.exploitability > accuracy_)) {
                reason = "required accuracy reached";
                break;
            }
        }
        if (limits.steps_mode) {
            if (count >= first + limits.limit) {
                reason = "required number of steps done";
                break;
            }
        } else if (limits.limit > 0 && MillisecondsSince(wall_start) / 1000 >= limits.limit) {
            reason = "timeout reached";
            break;
        }
    }
    // The result passes keep the values the queries read: leave them computed for the
    // strategies the run ends with (free when the last check evaluated them).
    engine.Evaluate(settings.thread_count);
    {
        std::lock_guard lock(end_mutex_);
        thread_running_.store(false);
        stop_request_.store(false);
    }
    DrawProgressBar(-1, 0, settings.info_freq);
    EmitLine(Format("SOLVER: stopped (%s)\n", reason));
    {
        std::lock_guard lock(end_mutex_);
        finishing_.store(false);
    }
    end_signal_.notify_all();
}
