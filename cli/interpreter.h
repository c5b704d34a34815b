// The interpreter's process-wide flags and skip state, shared by the console loop, the
// script loader and the server loop.
#pragma once

#include <atomic>
#include <string>

struct Interpreter {
    // Option flags fixed at start-up.
    bool echo             = false;
    bool color            = false;
    bool suppressok       = false;
    bool compactmsg       = false;
    bool terminateonerror = false;
    bool exit_after_disconnect = false;
    int  verbosity        = 0;

    std::string current_command;  // command word of the handler running now
    std::string end_string;       // custom terminator written after every command
    std::string pending_label;    // skip lines until "LABEL: <pending_label>"
    bool        skipping_if = false;  // skip lines until "end_if"

    // Set by the server loop: replies are captured for the client instead of printed.
    bool server_mode = false;
};
