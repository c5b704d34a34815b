#include "solver/worker_share.h"

#include <algorithm>
#include <numeric>

std::vector<int> SplitByWeight(std::span<const uint64_t> work, std::span<const double> weights) {
    std::vector<int> owner(work.size(), -1);
    if (weights.empty())
        return owner;
    std::vector<size_t> order(work.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return work[a] > work[b]; });
    const bool any_positive =
        std::any_of(weights.begin(), weights.end(), [](double w) { return w > 0; });
    std::vector<double> load(weights.size(), 0.0);
    for (size_t group : order) {
        int    best      = -1;
        double best_load = 0;
        for (int w = 0; w < static_cast<int>(weights.size()); ++w) {
            const double weight = any_positive ? weights[w] : 1.0;
            if (!(weight > 0))
                continue;
            const double after = (load[w] + static_cast<double>(work[group])) / weight;
            if (best < 0 || after < best_load) {
                best      = w;
                best_load = after;
            }
        }
        owner[group] = best;
        load[best] += static_cast<double>(work[group]);
    }
    return owner;
}
