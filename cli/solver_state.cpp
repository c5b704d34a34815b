#include "cli/solver_state.h"

SolverState& State() {
    static SolverState state;
    return state;
}
