// Rake arithmetic of the terminal values.
//
// The rake taken from a pot of 2A is min(f * 2A, c) for the fraction f and cap c set by
// `set_rake`. The terminal kernels do not see the cap: they take a rake rate r per
// terminal, the share of the pot taken, so that the winner's payoff is A * (1 - 2r) and a
// tie costs each player A * r.
#pragma once

struct RakeSettings {
    float fraction = 0.0f;  // f
    float cap      = 0.0f;  // c, in chips

    // Rake is on exactly when both numbers are non-zero.
    bool Enabled() const { return fraction != 0.0f && cap != 0.0f; }
};

// Rake rate of a terminal with stake A (float): 0 unless c > 0 and A > 0; else f, or
// c / (2A) when 2A * f exceeds the cap. For a fold end pass the traverser's signed payoff
// (+A when the opponent folded, -A when the traverser did), so that the folder's own
// terminal has rate 0. Example: f = 0.05, c = 3: A = 20 gives 0.05 (rake 2); A = 40 gives
// 3 / 80 = 0.0375 (rake 3, capped).
float RakeRate(const RakeSettings& rake, float stake);

// Fold payoff with rake applied: P - 2r * P when P > 0 (the traverser wins the pot and
// pays rake), P unchanged otherwise.
float RakedFoldPayoff(float payoff, float rake_rate);
