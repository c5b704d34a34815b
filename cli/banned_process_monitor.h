// Background scan of the running processes for the programs this engine must not run
// beside. While one of them runs, every command line is refused.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class BannedProcessMonitor {
public:
    static constexpr std::chrono::milliseconds kScanInterval{60000};

    static BannedProcessMonitor& Instance();

    // Starts the scanning thread at the lowest priority: one scan at once, then one
    // after every 'interval'. Non-blocking.
    void Start(std::chrono::milliseconds interval = kScanInterval);

    // Stops and joins the scanning thread; returns at once when it is not running.
    void Stop();

    bool        Flagged() const { return flagged_.load(std::memory_order_relaxed); }
    std::string Name() const;

    // The first executable name that begins with a banned name, or an empty text.
    static std::string FindBanned(const std::vector<std::string>& executable_names);

private:
    void ScanLoop(std::chrono::milliseconds interval);

    std::thread             thread_;
    mutable std::mutex      mutex_;
    std::condition_variable wake_;
    bool                    stop_requested_ = false;
    std::atomic<bool>       flagged_{false};
    std::string             name_;
};
