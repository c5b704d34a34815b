#include "net/net_state.h"

#include "net/server.h"
#include "net/worker_pool.h"

NetState::NetState()  = default;
NetState::~NetState() = default;
