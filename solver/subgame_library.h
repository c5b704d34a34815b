// Entry points of the subgame solving library.
#pragma once

// Starts the parallel runtime's team once, so that the first solver pass does not pay
// for thread creation. 'flags' is reserved and must be 0.
void libsubgame_init(int flags);
