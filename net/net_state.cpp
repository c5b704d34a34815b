#include "net/net_state.h"

#include "net/server.h"

NetState::NetState()  = default;
NetState::~NetState() = default;
