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

int PassTallies::AddEdge(const float* own, int n) {
    edge_own_.emplace_back(own, own + n);
    return static_cast<int>(edge_own_.size()) - 1;
}

void PassTallies::AddTask(int edge, const uint16_t* keep, double chance) {
    tasks_.push_back({edge, keep, chance});
}

StatsLane PassTallies::TaskLane(int task, const SolverKernels& kernels, VectorArena& arena) {
    const TaskRecord&         record = tasks_[task];
    const std::vector<float>& parent = edge_own_[record.edge];
    float* const              own    = arena.Zeroed(width_);
    kernels.GatherKept(parent.data(), record.keep, static_cast<int>(parent.size()), own);
    return {own, record.chance, &ThreadCounts()};
}

StatsCounts PassTallies::TakeTotals() {
    StatsCounts sum = std::move(per_thread_.front());
    for (size_t t = 1; t < per_thread_.size(); ++t)
        sum.Add(per_thread_[t]);
    per_thread_.clear();
    return sum;
}
