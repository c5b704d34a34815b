// Command-line options.
#pragma once

#include <string>
#include <vector>

struct StartupOptions {
    bool                     verbose = false, echo = false, color = false;
    bool                     terminateonerror = false, suppressok = false, compactmsg = false;
    bool                     exit_after_disconnect = false;
    int                      server_port = 0;  // 0: no server
    std::vector<std::string> cmds, pscmds, vars;
    std::string              script;
};

// Parses the options. --help, --version and parse errors are answered by the option
// library, which then ends the process with its own exit code.
StartupOptions ParseOptions(int argc, char** argv);
