#include "solver/pass_tallies.h"

#include <algorithm>

PassTallies::PassTallies(const std::vector<double>& range, const std::vector<uint16_t>& root_combos,
                         int width, double weight_scale, std::vector<double> epsilons,
                         double starting_pot)
    : range_(range), epsilons_(std::move(epsilons)), width_(width), weight_scale_(weight_scale),
      root_own_(width, 0.0f), root_(static_cast<int>(epsilons_.size())) {
    for (double epsilon : epsilons_)
        thresholds_.push_back(ThresholdFor(epsilon, starting_pot));
    for (size_t i = 0; i < root_combos.size() && i < root_own_.size(); ++i)
        root_own_[i] = static_cast<float>(std::max(range_[root_combos[i]], 0.0));
}

StatsLane PassTallies::RootLane() { return {root_own_.data(), 1.0, &root_}; }

void PassTallies::ReserveTasks(int tasks) {
    task_own_.reserve(static_cast<size_t>(tasks) * width_);
    task_chance_.reserve(tasks);
    task_tallies_.reserve(tasks);
}

float* PassTallies::AddTask(double chance) {
    const size_t offset = task_own_.size();
    task_own_.resize(offset + width_, 0.0f);
    task_chance_.push_back(chance);
    task_tallies_.emplace_back(static_cast<int>(epsilons_.size()));
    return task_own_.data() + offset;
}

StatsLane PassTallies::TaskLane(int task) {
    return {task_own_.data() + static_cast<size_t>(task) * width_, task_chance_[task],
            &task_tallies_[task]};
}

StatsTallies PassTallies::Totals(int threshold) const {
    ThresholdTallies sum = root_;
    for (const ThresholdTallies& task : task_tallies_)
        sum.Add(task);
    return sum.Columns(threshold, weight_scale_);
}
