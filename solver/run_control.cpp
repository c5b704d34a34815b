#include "solver/run_control.h"

// The solving run does not exist yet in this build: nothing is ever running.
bool SolverRunning() { return false; }

void RequestSolverStop() {}
