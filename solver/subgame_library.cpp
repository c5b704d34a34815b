#include "solver/subgame_library.h"

#include <omp.h>

void libsubgame_init(int) {
#pragma omp parallel
    {
        // An empty region: creating the team is the whole point.
    }
}
