#include "solver/threshold_grid.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The bin of a number is found in two steps: its binary exponent and top ten mantissa bits
// give a fine bin (1024 per octave), and a table gives the first grid point above the fine
// bin's lower edge. Fine bins are narrower than the gaps between grid points (a ratio of
// at most 1 + 1/1024 against at least 1000/999), so the number's grid point is that one
// or the next.
constexpr int      kFineBits      = 10;
constexpr int      kFineShift     = 52 - kFineBits;
constexpr int      kLowestOctave  = -17;  // 2^-17 < 1e-5
constexpr int      kHighestOctave = 10;   // 2^10 > 1000
constexpr int      kFineBins      = (kHighestOctave - kLowestOctave) << kFineBits;
constexpr uint64_t kLowestBits    = uint64_t(1023 + kLowestOctave) << 52;

struct Grid {
    std::vector<double>  points;  // ascending
    std::vector<int32_t> first_above;  // per fine bin: the first point above its lower edge

    Grid() {
        // Each point is the double nearest its decimal text, as a parsed threshold is.
        char text[32];
        for (int decade = 0; decade < kGridDecades; ++decade)
            for (int digits = 100; digits < 1000; ++digits) {
                std::snprintf(text, sizeof text, "%de%d", digits, decade - 7);
                points.push_back(std::strtod(text, nullptr));
            }
        points.push_back(1000.0);
        first_above.resize(kFineBins);
        size_t next = 0;
        for (int f = 0; f < kFineBins; ++f) {
            const double edge = FineEdge(f);
            while (next < points.size() && points[next] <= edge)
                ++next;
            first_above[f] = static_cast<int32_t>(next);
        }
    }

    static double FineEdge(int f) {
        return std::bit_cast<double>(kLowestBits + (uint64_t(f) << kFineShift));
    }
};

const Grid& TheGrid() {
    static const Grid grid;
    return grid;
}

}  // namespace

int ThresholdBin(double t) {
    if (!(t > 0))
        return 0;
    const Grid&    grid = TheGrid();
    const uint64_t bits = std::bit_cast<uint64_t>(t);
    if (bits <= kLowestBits)
        return 1;
    // t lies in (edge f, edge f + 1].
    const uint64_t fine = (bits - kLowestBits - 1) >> kFineShift;
    if (fine >= uint64_t(kFineBins))
        return kThresholdBins - 1;
    const int32_t first = grid.first_above[fine];
    if (first >= kGridPoints)
        return kThresholdBins - 1;
    return 1 + first + (t > grid.points[first] ? 1 : 0);
}

double ThresholdGridPoint(int bin) {
    if (bin <= 0)
        return 0;
    if (bin > kGridPoints)
        return INFINITY;
    return TheGrid().points[bin - 1];
}
