#include "net/workers.h"

// No worker connections exist yet: nothing is ever forwarded.
bool WorkersConnected() { return false; }

void ForwardToWorkers(const std::string&, bool) {}
