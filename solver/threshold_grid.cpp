#include "solver/threshold_grid.h"

#include <algorithm>
#include <bit>
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
    using T = ThresholdTables;
    first_above_.resize(T::kFineBins);
    size_t next = 0;
    for (int f = 0; f < T::kFineBins; ++f) {
        const double edge = std::bit_cast<float>(T::kLowestBits + (f << T::kFineShift));
        while (next < points_.size() && points_[next] <= edge)
            ++next;
        first_above_[f] = static_cast<int32_t>(next);
    }
    points_.push_back(INFINITY);
    for (const double point : points_) {
        const float nearest = static_cast<float>(point);
        below_.push_back(nearest > point ? std::nextafter(nearest, 0.0f) : nearest);
    }
}

int ThresholdGrid::Bin(double t) const {
    if (!(t > 0))
        return 0;
    return 1 + static_cast<int>(std::lower_bound(points_.begin(), points_.end(), t) - points_.begin());
}

double ThresholdGrid::Point(int bin) const {
    if (bin <= 0)
        return 0;
    if (bin > kGridPoints)
        return INFINITY;
    return points_[bin - 1];
}
