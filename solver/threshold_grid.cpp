#include "solver/threshold_grid.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

const ThresholdGrid& ThresholdGrid::Get() {
    static const ThresholdGrid grid;
    return grid;
}

ThresholdGrid::ThresholdGrid() {
    // Each point is the double nearest its decimal text, as a parsed threshold is.
    char text[32];
    for (int decade = 0; decade < kGridDecades; ++decade)
        for (int digits = 100; digits < 1000; ++digits) {
            std::snprintf(text, sizeof text, "%de%d", digits, decade - 7);
            points_.push_back(std::strtod(text, nullptr));
        }
    points_.push_back(1000.0);
    first_above_.resize(kFineBins);
    size_t next = 0;
    for (int f = 0; f < kFineBins; ++f) {
        const double edge = std::bit_cast<double>(kLowestBits + (uint64_t(f) << kFineShift));
        while (next < points_.size() && points_[next] <= edge)
            ++next;
        first_above_[f] = static_cast<int32_t>(next);
    }
}

double ThresholdGrid::Point(int bin) const {
    if (bin <= 0)
        return 0;
    if (bin > kGridPoints)
        return INFINITY;
    return points_[bin - 1];
}
