#include "solver/pass_tallies.h"

#include <omp.h>

#include <algorithm>

#include "solver/strategy_stats.h"

PassTallies::PassTallies(const std::vector<double>& range, const std::vector<uint16_t>& root_combos,
                         int width, const CountScale& scale)
    : range_(range), scale_(scale), width_(width), root_own_(width, 0.0f),
      per_thread_(StatsThreadCount()) {
    for (size_t i = 0; i < root_combos.size() && i < root_own_.size(); ++i)
        root_own_[i] = static_cast<float>(std::max(range_[root_combos[i]], 0.0));
}

StatsCounts& PassTallies::ThreadCounts() { return per_thread_[omp_get_thread_num()]; }

StatsLane PassTallies::RootLane() { return {root_own_.data(), 1.0, &ThreadCounts()}; }

void PassTallies::ReserveTasks(int tasks) {
    task_own_.reserve(static_cast<size_t>(tasks) * width_);
    task_chance_.reserve(tasks);
}

float* PassTallies::AddTask(double chance) {
    const size_t offset = task_own_.size();
    task_own_.resize(offset + width_, 0.0f);
    task_chance_.push_back(chance);
    return task_own_.data() + offset;
}

StatsLane PassTallies::TaskLane(int task) {
    return {task_own_.data() + static_cast<size_t>(task) * width_, task_chance_[task],
            &ThreadCounts()};
}

StatsCounts PassTallies::Totals() const {
    StatsCounts sum;
    for (const StatsCounts& thread : per_thread_)
        sum.Add(thread);
    return sum;
}
