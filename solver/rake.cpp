#include "solver/rake.h"

float RakeRate(const RakeSettings& rake, float stake) {
    if (!(rake.cap > 0.0f && stake > 0.0f))
        return 0.0f;
    float pot = 2.0f * stake;
    return pot * rake.fraction > rake.cap ? rake.cap / pot : rake.fraction;
}

float RakedFoldPayoff(float payoff, float rake_rate) {
    return payoff > 0.0f ? payoff - 2.0f * rake_rate * payoff : payoff;
}
