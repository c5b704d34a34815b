#include "cli/banned_process_monitor.h"

#include <array>

#include "platform/process.h"

namespace {

constexpr std::array<std::string_view, 2> kBannedNames = {"PokerStars", "FullTiltPoker"};

}  // namespace

BannedProcessMonitor& BannedProcessMonitor::Instance() {
    static BannedProcessMonitor monitor;
    return monitor;
}

std::string BannedProcessMonitor::FindBanned(const std::vector<std::string>& executable_names) {
    for (const auto& name : executable_names)
        for (auto banned : kBannedNames)
            if (name.compare(0, banned.size(), banned) == 0)
                return name;
    return {};
}

void BannedProcessMonitor::Start(std::chrono::milliseconds interval) {
    if (thread_.joinable())
        return;
    stop_requested_ = false;
    thread_         = std::thread([this, interval] { ScanLoop(interval); });
}

void BannedProcessMonitor::Stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_requested_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::string BannedProcessMonitor::Name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

void BannedProcessMonitor::ScanLoop(std::chrono::milliseconds interval) {
    SetCurrentThreadLowestPriority();
    std::unique_lock lock(mutex_);
    while (!stop_requested_) {
        lock.unlock();
        std::string found = FindBanned(RunningExecutableNames());
        lock.lock();
        name_ = found;
        flagged_.store(!found.empty(), std::memory_order_relaxed);
        wake_.wait_for(lock, interval, [this] { return stop_requested_; });
    }
}
