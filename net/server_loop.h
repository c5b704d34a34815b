// Server mode as the rest of the program sees it: creating the process's one server,
// the loop that serves commands to TCP clients, and the ways other code reaches the
// connected client.
#pragma once

#include <string>
#include <string_view>

// Creates the process's server listening on 'port' (State().net.server). On failure
// writes "ERROR: can't listen to port <port> (<reason>)" to standard output and returns
// false. Blocks only for the bind.
bool CreateServer(int port, const std::string& transfer_file);

// Command words whose traffic is not traced on the server console: ping and
// traverse_subgames.
bool IsQuietServerCommand(std::string_view word);

// Serves one message through the dispatcher, with the output buffer captured as its
// reply:
//   1. clear the input block; read one message (accepting a client first when none is
//      connected); its block becomes the input block;
//   2. an empty text (also what a disconnect yields) ends here: returns false with --exit
//      in force, true otherwise;
//   3. trace "> <text>" on the console unless the command is quiet;
//   4. clear the output block and execute the command;
//   5. take the output buffer as the reply; trace "< <reply>" unless quiet or empty;
//   6. send the reply, with the output block when it is non-empty; returns true.
// Blocks on the interpreter thread. Needs CreateServer first; the output buffer is only
// kept for the reply while State().interp.server_mode is on.
bool ServeOneMessage();

// Switches server mode on and serves messages until ServeOneMessage returns false, that
// is until a client leaves (or sends an empty text) while --exit is in force; without
// --exit it never returns.
void RunServerLoop();

// Sends 'text' to the connected client as a message of its own, outside the reply of
// the running command: the solver's run uses it for its started, result and stopped
// lines. Callable from any thread; does nothing without a server or a client.
void SendToClient(const std::string& text);

// Makes the reply of the running command a type-3 message carrying the file at 'path'
// (Server::DesignateReplyFile). Does nothing without a server.
void DesignateReplyFile(const std::string& path);

// When the process ends in the middle of a command in server mode (exit inside a
// script, terminate-on-error), sends the output gathered so far as that command's reply
// so that the client sees it. Does nothing outside the server loop or when nothing is
// gathered.
void DeliverPendingReply();
