// The solver run as other subsystems see it.
#pragma once

// True while a solving run exists (started and not yet finished).
bool SolverRunning();

// Asks a running solve to stop after its current iteration; does nothing when no run
// exists. Non-blocking.
void RequestSolverStop();
