#include "net/server_loop.h"

#include <array>
#include <cstdio>
#include <exception>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "net/server.h"
#include "solver/worker_sync.h"

namespace {

constexpr std::array<std::string_view, 2> kQuietServerCommands = {"ping", "traverse_subgames"};

// The server trace goes straight to the console, in its own colour.
void Trace(const std::string& text) {
    SetColor(6);
    WriteDirect(text);
    SetColor(7);
    std::fflush(stdout);
}

void SendCommandReply(const std::string& reply, bool quiet) {
    NetState& net = State().net;
    if (!quiet && !reply.empty())
        Trace("< " + reply);
    net.server->SendReply(reply, net.output_block.empty() ? nullptr : &net.output_block);
}

void RunClientCommand(const Tokens& tokens) {
    try {
        SyncWorkerStores();
        ExecuteCommand(tokens);
    } catch (const char*) {
        // Already reported as an info line by the dispatcher; the reply goes out as usual.
    }
}

}  // namespace

bool CreateServer(int port, const std::string& transfer_file) {
    try {
        State().net.server = std::make_unique<Server>(port, transfer_file);
        return true;
    } catch (const std::exception& error) {
        WriteDirect("ERROR: can't listen to port " + std::to_string(port) + " (" + error.what() +
                    ")\n");
        return false;
    }
}

bool IsQuietServerCommand(std::string_view word) {
    for (auto quiet : kQuietServerCommands)
        if (word == quiet)
            return true;
    return false;
}

bool ServeOneMessage() {
    NetState& net = State().net;
    net.input_block.clear();
    ClientCommand command = net.server->ReadMessage();
    net.input_block       = std::move(command.block);
    if (command.text.empty())
        return !State().interp.exit_after_disconnect;
    Tokens tokens = SplitCommandLine(command.text);
    bool   quiet  = !tokens.empty() && IsQuietServerCommand(tokens[0]);
    if (!quiet)
        Trace("> " + command.text + "\n");
    net.output_block.clear();
    RunClientCommand(tokens);
    SendCommandReply(State().output.Take(), quiet);
    return true;
}

void RunServerLoop() {
    State().interp.server_mode = true;
    while (ServeOneMessage()) {
    }
    State().interp.server_mode = false;
}

void SendToClient(const std::string& text) {
    if (Server* server = State().net.server.get())
        server->SendText(text);
}

void DesignateReplyFile(const std::string& path) {
    if (Server* server = State().net.server.get())
        server->DesignateReplyFile(path);
}

void DeliverPendingReply() {
    if (!State().interp.server_mode || !State().net.server)
        return;
    std::string reply = State().output.Take();
    if (!reply.empty())
        SendCommandReply(reply, IsQuietServerCommand(State().interp.current_command));
}
