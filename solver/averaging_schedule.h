// The iteration-dependent constants of the CFR iteration: the averaging weight, the
// schedule of river averages, the regret scale and the iteration cap.
#pragma once

// Averaging exponent and weight cap, reset by every tree build: alpha 1.5 and cap 262143
// for trees starting on the flop or turn; alpha 4 and no cap (the largest double) for a
// tree that starts on the river.
struct AveragingParams {
    double alpha = 1.5;
    double cap   = 262143.0;
};
AveragingParams AveragingParamsFor(int first_street);

// Weight of this iteration's average accumulation, t = completed iterations (before the
// increment), d = averaging delay: 0 while t <= d, else min((t - d)^alpha, cap).
// Example: d = 60 gives 0 up to t = 60, 1 at t = 61 and 4^1.5 = 8 at t = 64.
double AveragingWeight(int iteration, int delay, const AveragingParams& params);

// Weight of the range accumulation at subgame roots: (t + 1)^alpha.
double RangeAccumulationWeight(int iteration, const AveragingParams& params);

// Whether river averages accumulate in this iteration. With a positive second storage
// parameter: not while t <= d, then in each of the 7 iterations after d, afterwards only
// when (t - d - 1) is a multiple of 7. Otherwise always.
bool RiverAveragesThisIteration(int iteration, int delay, int second_storage_parameter);

// Regret scale s = 125 * 2^p / (largest absolute terminal value of the tree).
double RegretScale(double precision, double largest_terminal_value);

// Iteration cap of a solve: 9000, or 2200 for the storage level "fast" (second storage
// parameter 3).
int IterationCap(int second_storage_parameter);
