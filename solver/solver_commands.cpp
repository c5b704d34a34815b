#include "solver/solver_commands.h"

#include <cstdio>

#include "cli/solver_state.h"
#include "platform/process_times.h"
#include "solver/run_control.h"
#include "tree/built_tree.h"

namespace {

SolverRunState& Solver() { return State().solver; }

double HalfPot() { return 0.5 * State().tree.params.StartingPot(); }

// The engine of the present tree, or "missing/incorrect tree".
CfrEngine& RequireEngine() {
    if (!State().tree.Tree() || !Solver().engine)
        CommandError("missing/incorrect tree");
    return *Solver().engine;
}

struct GoForm {
    RunLimits limits;
    bool      block = false;
};

GoForm ParseGo(const Tokens& t) {
    GoForm form;
    if (t.size() == 1)
        return form;
    if (t.size() == 3 && t[2] == "block") {
        form.block = true;
        return form;
    }
    if ((t.size() != 3 && t.size() != 4) || (t.size() == 4 && t[3] != "block"))
        ArgumentCountError(t);
    if (t[2] != "seconds" && t[2] != "steps")
        ArgumentCountError(t);
    form.limits.limit      = ParseInt(t[1]);
    form.limits.steps_mode = t[2] == "steps";
    form.block             = t.size() == 4;
    return form;
}

std::string Fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

}  // namespace

bool SolverRunning() { return State().solver.driver.Running(); }

void RequestSolverStop() { State().solver.driver.RequestStop(); }

void CmdGo(const Tokens& t) {
    GoForm     form   = ParseGo(t);
    CfrEngine& engine = RequireEngine();
    // A worker solves only the subgames its master sends it.
    if (State().net.worker.active)
        return PrintOk(t);
    if (SolverRunning())
        CommandError("Can't do that when solver is running");
    if (engine.Incomplete())
        CommandError("incomplete tree");
    if (State().interp.verbosity > 0)
        Print("[go %d threads]\n", State().settings.thread_count);
    // A background run confirms before it starts, so that the confirmation always comes
    // before the run's own lines; a blocking run confirms when it has ended.
    if (!form.block) {
        PrintOk(t);
        FlushOutput();
    }
    if (!Solver().driver.Start(engine, form.limits, form.block, HalfPot()))
        CommandError("out of memory");
    if (form.block)
        PrintOk(t);
}

void CmdStop(const Tokens& t) {
    RequestSolverStop();
    PrintOk(t);
}

void CmdWaitForSolver(const Tokens& t) {
    Solver().driver.WaitForEnd();
    if (!State().interp.end_string.empty())
        PrintOk(t);
}

void CmdSolverTime(const Tokens&) {
    Print("%f\n", (WallClock100ns() - Solver().start_time_100ns) * 1e-7);
}

void CmdSetAccuracy(const Tokens& t) {
    if (t.size() != 2 && t.size() != 3)
        ArgumentCountError(t);
    const double value = ParseDouble(t[1]);
    if (!(value >= 0))
        ArgumentCountError(t);
    const bool   fraction = t.size() == 3 && t[2] == "fraction";
    const double pot      = State().tree.params.StartingPot();
    Solver().accuracy_value       = value;
    Solver().accuracy_is_fraction = fraction;
    const double chips = fraction ? value * pot : value;
    const double share = fraction ? value : value / pot;
    Solver().driver.SetAccuracy(chips, share);
    if (State().interp.verbosity > 0)
        Print("[accuracy %.6g (%.6g fraction)]\n", chips, share);
    PrintOk(t);
}

void CmdSetRecalcAccuracy(const Tokens& t) {
    const double pot = State().tree.params.StartingPot();
    std::array<double, 3> values{};
    for (int i = 0; i < 3; ++i)
        values[i] = ParseDouble(t[i + 1]) * pot;
    Solver().recalc_accuracy = values;
    PrintOk(t);
}

void CmdCalcResults(const Tokens&) {
    CfrEngine& engine = RequireEngine();
    if (!engine.Incomplete())
        engine.InvalidateResults();
    const ResultFigures r    = engine.Evaluate(State().settings.thread_count);
    const double        half = HalfPot();
    VariableStore&      vars = State().variables;
    vars.Set("solver_ev_oop", Fixed(r.ev_oop + half));
    vars.Set("solver_ev_ip", Fixed(r.ev_ip + half));
    vars.Set("solver_mes_oop", Fixed(r.mes_oop + half));
    vars.Set("solver_mes_ip", Fixed(r.mes_ip + half));
    vars.Set("solver_exploitability", Fixed(r.Exploitability()));
    vars.Set("solver_iterations", std::to_string(engine.IterationCount()));
    Print("EV OOP: %.3f\nEV IP: %.3f\nOOP's MES: %.3f\nIP's MES: %.3f\nExploitable for: %.3f\n",
          r.ev_oop + half, r.ev_ip + half, r.mes_oop + half, r.mes_ip + half,
          r.Exploitability());
    PrintEnd();
}
