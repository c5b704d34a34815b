// The thresholds at which the strategy statistics are counted.
//
// A statistics count records, for every infoset, the least threshold at which it is pure
// and the least at which it stops being dominated, rounded up to a point of a fixed grid:
// 0, then every number of three significant digits from 1e-5 to 1000 (1.00e-5, 1.01e-5,
// ..., 999, 1000). One count then answers every threshold: a threshold is taken as the
// least grid point at or above it (0.2 and 0.0125 exactly, 0.01234 as 0.0124),
// thresholds of 0 and below (and NaN) as 0, and thresholds above 1000 as the bin past
// the grid, where every infoset is pure and none dominated.
//
// Counting finds a float's bin in two steps: its binary exponent and top ten mantissa bits
// give a fine bin (1024 per octave), and a table gives the first grid point above the fine
// bin's lower edge. Fine bins are narrower than the gaps between grid points (a ratio of at
// most 1 + 1/1024 against at least 1000/999), so the number's grid point is that one or
// the next. The steps have no branches, so that counting loops run them as vector code.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

inline constexpr int kGridDecades = 8;  // 1e-5 .. 1000
inline constexpr int kGridPoints  = kGridDecades * 900 + 1;
// Bin 0 holds thresholds of 0 and below, bins 1 .. kGridPoints the grid points from the
// lowest, the last bin everything above the grid.
inline constexpr int kThresholdBins = kGridPoints + 2;

// The tables the counting loops bin floats with (ThresholdGrid::Tables).
struct ThresholdTables {
    static constexpr int      kFineBits      = 10;
    static constexpr int      kFineShift     = 23 - kFineBits;
    static constexpr int      kLowestOctave  = -17;  // 2^-17 < 1e-5
    static constexpr int      kHighestOctave = 10;   // 2^10 > 1000
    static constexpr int      kFineBins      = (kHighestOctave - kLowestOctave) << kFineBits;
    static constexpr uint32_t kLowestBits    = uint32_t(127 + kLowestOctave) << 23;

    const int32_t* first_above;  // per fine bin: the first grid point above its lower edge
    const float*   below;        // per grid point: the largest float at or below it, then infinity

    // The bin of the least grid point at or above 't'.
    int FloatBin(float t) const {
        // Positive floats order as their bits. At or below the lowest octave, and for
        // negative floats, the unsigned difference wraps to a step past the table.
        const uint32_t bits  = std::bit_cast<uint32_t>(t);
        const uint32_t step  = (bits - kLowestBits - 1) >> kFineShift;
        const int32_t  fine  = step < uint32_t(kFineBins) ? int32_t(step) : kFineBins - 1;
        const int32_t  first = first_above[fine];  // kGridPoints past the grid
        // A float lies above a grid point exactly when it lies above the point's float below.
        const int32_t  bin   = 1 + first + int32_t(t > below[first]);
        // Bin 1 up to the lowest octave, bin 0 for 0, negatives and NaN (products rather
        // than branches, which would keep the compiler from vectorising the callers' loops).
        const int32_t  lowest   = int32_t(bits <= kLowestBits);
        const int32_t  positive = int32_t(t > 0);
        return positive * (bin + lowest * (1 - bin));
    }
};

class ThresholdGrid {
public:
    static const ThresholdGrid& Get();

    // The bin of the least grid point at or above 't'.
    int Bin(double t) const;

    ThresholdTables Tables() const { return {first_above_.data(), below_.data()}; }

    // The grid point of a bin (0 for bin 0, infinity past the grid).
    double Point(int bin) const;

private:
    ThresholdGrid();

    std::vector<double>  points_;       // ascending, then infinity
    std::vector<int32_t> first_above_;  // per fine bin: the first point above its lower edge
    std::vector<float>   below_;        // per point: the largest float at or below it
};

inline int    ThresholdBin(double t) { return ThresholdGrid::Get().Bin(t); }
inline double ThresholdGridPoint(int bin) { return ThresholdGrid::Get().Point(bin); }
