// The networking subsystem's share of the process-wide state.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class Server;

struct NetState {
    NetState();
    ~NetState();

    std::unique_ptr<Server> server;  // created at start-up in server mode, else none

    // The payload of the type-4 message that carried the command running now, and the
    // bytes that command wants to return with its reply (a type-4 reply when non-empty).
    // Worker commands read the one and fill the other.
    std::vector<uint8_t> input_block;
    std::vector<uint8_t> output_block;
};
