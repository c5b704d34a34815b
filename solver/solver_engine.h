// The solving engine as the run driver sees it: one object per built tree that runs
// iterations and evaluates the current strategies.
#pragma once

// Each player's value of its own strategy (EV) and of a best response against the other
// player's strategy (MES), in chips relative to owning half the starting pot.
struct ResultFigures {
    double ev_oop = 0, ev_ip = 0, mes_oop = 0, mes_ip = 0;

    double Exploitability() const { return 0.5 * (mes_oop + mes_ip - ev_oop - ev_ip); }
};

class SolverEngine {
public:
    virtual ~SolverEngine() = default;

    virtual int  IterationCount() const = 0;
    virtual int  IterationCap() const   = 0;
    virtual int  DecisionCount() const  = 0;
    virtual bool Incomplete() const     = 0;  // storage of some streets was forgotten

    // Iterations before the average strategy starts to accumulate.
    virtual void SetAveragingDelay(int delay) = 0;

    // Runs one iteration (an update pass for IP, then for OOP) on 'threads' threads.
    // Blocks; holds the tree mutex while it runs.
    virtual void Iterate(int threads) = 0;

    // Evaluates both players' strategies and best responses (two result passes), or
    // returns the figures cached for the current iteration count. Blocks.
    virtual ResultFigures Evaluate(int threads) = 0;
};
