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
// A number's bin is found in two steps: its binary exponent and top ten mantissa bits give
// a fine bin (1024 per octave), and a table gives the first grid point above the fine
// bin's lower edge. Fine bins are narrower than the gaps between grid points (a ratio of at
// most 1 + 1/1024 against at least 1000/999), so the number's grid point is that one or
// the next.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

inline constexpr int kGridDecades = 8;  // 1e-5 .. 1000
inline constexpr int kGridPoints  = kGridDecades * 900 + 1;
// Bin 0 holds thresholds of 0 and below, bins 1 .. kGridPoints the grid points from the
// lowest, the last bin everything above the grid.
inline constexpr int kThresholdBins = kGridPoints + 2;

class ThresholdGrid {
public:
    static const ThresholdGrid& Get();

    // The bin of the least grid point at or above 't'.
    int Bin(double t) const {
        if (!(t > 0))
            return 0;
        const uint64_t bits = std::bit_cast<uint64_t>(t);
        if (bits <= kLowestBits)
            return 1;
        const uint64_t fine = (bits - kLowestBits - 1) >> kFineShift;  // t in (edge, next edge]
        if (fine >= uint64_t(kFineBins))
            return kThresholdBins - 1;
        const int32_t first = first_above_[fine];
        if (first >= kGridPoints)
            return kThresholdBins - 1;
        return 1 + first + (t > points_[first] ? 1 : 0);
    }

    // The grid point of a bin (0 for bin 0, infinity past the grid).
    double Point(int bin) const;

private:
    static constexpr int      kFineBits      = 10;
    static constexpr int      kFineShift     = 52 - kFineBits;
    static constexpr int      kLowestOctave  = -17;  // 2^-17 < 1e-5
    static constexpr int      kHighestOctave = 10;   // 2^10 > 1000
    static constexpr int      kFineBins      = (kHighestOctave - kLowestOctave) << kFineBits;
    static constexpr uint64_t kLowestBits    = uint64_t(1023 + kLowestOctave) << 52;

    ThresholdGrid();

    std::vector<double>  points_;       // ascending
    std::vector<int32_t> first_above_;  // per fine bin: the first point above its lower edge
};

inline int    ThresholdBin(double t) { return ThresholdGrid::Get().Bin(t); }
inline double ThresholdGridPoint(int bin) { return ThresholdGrid::Get().Point(bin); }
