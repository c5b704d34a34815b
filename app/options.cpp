#include "app/options.h"

#include <tclap/CmdLine.h>

#include <iostream>

namespace {

constexpr const char* kBuildNumber = "1084";
constexpr int         kDefaultPort = 5251;

}  // namespace

StartupOptions ParseOptions(int argc, char** argv) {
    StartupOptions options;
    try {
        TCLAP::CmdLine cmd("", ' ', kBuildNumber);
        TCLAP::UnlabeledValueArg<std::string> script("filename", "script to load", false, "",
                                                     "script.txt", cmd);
        TCLAP::MultiArg<std::string> var("a", "var",
            "set value of a variable (set_value/get_value/$name in script)", false, "name=value",
            cmd);
        TCLAP::MultiArg<std::string> command("c", "cmd", "execute command", false, "command", cmd);
        TCLAP::MultiArg<std::string> pscmd("d", "pscmd", "execute command after script is loaded",
                                           false, "command", cmd);
        TCLAP::SwitchArg exit_after("e", "exit", "exit after client disconnects", cmd, false);
        TCLAP::SwitchArg suppressok("k", "suppressok", "suppress ok-messages", cmd, false);
        TCLAP::SwitchArg compactmsg("m", "compactmsg", "show only single-line solver messages",
                                    cmd, false);
        TCLAP::SwitchArg echo("o", "echo", "echo commands", cmd, false);
        TCLAP::ValueArg<int> port("p", "port", "server port (default 5251)", false, kDefaultPort,
                                  "port", cmd);
        TCLAP::SwitchArg color("r", "color", "color text", cmd, false);
        TCLAP::SwitchArg server("s", "server", "run as a server", cmd, false);
        TCLAP::SwitchArg terminate("t", "terminateonerror", "terminate process on error", cmd,
                                   false);
        TCLAP::SwitchArg verbose("v", "verbose", "show debug information", cmd, false);
        cmd.parse(argc, argv);

        options.script                = script.getValue();
        options.verbose               = verbose.getValue();
        options.echo                  = echo.getValue();
        options.color                 = color.getValue();
        options.terminateonerror      = terminate.getValue();
        options.suppressok            = suppressok.getValue();
        options.compactmsg            = compactmsg.getValue();
        options.exit_after_disconnect = exit_after.getValue();
        options.server_port = server.getValue() && port.getValue() < 65536 ? port.getValue() : 0;
        options.cmds        = command.getValue();
        options.pscmds      = pscmd.getValue();
        options.vars        = var.getValue();
    } catch (const TCLAP::ArgException& e) {
        std::cerr << "error: " << e.error() << " for arg " << e.argId() << std::endl;
    }
    return options;
}
