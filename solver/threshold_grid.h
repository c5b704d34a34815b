// The thresholds at which the strategy statistics are counted.
//
// A statistics count records, for every infoset, the least threshold at which it is pure
// and the least at which it stops being dominated, rounded up to a point of a fixed grid:
// 0, then every number of three significant digits from 1e-5 to 1000 (1.00e-5, 1.01e-5,
// ..., 999, 1000). One count then answers every threshold: a threshold is taken as the
// least grid point at or above it (0.2 and 0.0125 exactly, 0.01234 as 0.0124),
// thresholds of 0 and below (and NaN) as 0, and thresholds above 1000 as the bin past
// the grid, where every infoset is pure and none dominated.
#pragma once

inline constexpr int kGridDecades = 8;  // 1e-5 .. 1000
inline constexpr int kGridPoints  = kGridDecades * 900 + 1;
// Bin 0 holds thresholds of 0 and below, bins 1 .. kGridPoints the grid points from the
// lowest, the last bin everything above the grid.
inline constexpr int kThresholdBins = kGridPoints + 2;

// The bin of the least grid point at or above 't'.
int ThresholdBin(double t);

// The grid point of a bin (0 for bin 0, infinity past the grid).
double ThresholdGridPoint(int bin);
