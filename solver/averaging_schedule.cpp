#include "solver/averaging_schedule.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

AveragingParams AveragingParamsFor(int first_street) {
    return first_street == 3 ? AveragingParams{4.0, DBL_MAX} : AveragingParams{1.5, 262143.0};
}

double AveragingWeight(int iteration, int delay, const AveragingParams& params) {
    if (iteration <= delay)
        return 0.0;
    return std::min(std::pow(double(iteration - delay), params.alpha), params.cap);
}

double RangeAccumulationWeight(int iteration, const AveragingParams& params) {
    return std::pow(double(iteration + 1), params.alpha);
}

bool RiverAveragesThisIteration(int iteration, int delay, int second_storage_parameter) {
    if (second_storage_parameter <= 0)
        return true;
    if (iteration <= delay)
        return false;
    if (iteration <= delay + 7)
        return true;
    return (iteration - delay - 1) % 7 == 0;
}

double RegretScale(double precision, double largest_terminal_value) {
    return 125.0 * std::exp2(precision) / largest_terminal_value;
}

int IterationCap(int second_storage_parameter) {
    return second_storage_parameter == 3 ? 2200 : 9000;
}
