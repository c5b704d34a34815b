// The TCP server of server mode: one listening socket, at most one connected client, and
// the framing of net/message.h. Accept, read and write are blocking calls made on the
// interpreter thread; other threads (the solver's run) may send through SendText.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "net/message.h"

struct ClientCommand {
    std::string          text;   // one command line; empty after a disconnect
    std::vector<uint8_t> block;  // the payload of a type-4 message, else empty
};

class Server {
public:
    // Opens an IPv4 socket on every local address and 'port' (0 lets the system pick
    // one), with address reuse on, and listens; then writes "Listening to <address>:<port>"
    // to standard output. 'transfer_file' names the file that receives the file bytes of
    // type-3 messages. Throws boost::system::system_error when the port cannot be opened.
    Server(int port, std::string transfer_file);
    // Owns sockets that other threads may be writing to.
    Server(const Server&)            = delete;
    Server& operator=(const Server&) = delete;

    // The port actually listened to.
    int Port() const;

    // Blocks until one message has arrived and returns it. With no client connected it
    // first accepts one (a second client waits in the listen backlog meanwhile) and
    // writes "<address>:<port> connected". File bytes of a type-3 message are written to
    // the transfer file; a storage error is written as "Exception:<text>" and the text of
    // the message is still returned. When the connection breaks, the peer closes it or a
    // length beyond the framing limits is announced, writes "client disconnected", closes
    // and forgets the client socket and returns an empty text.
    ClientCommand ReadMessage();

    // Sends the reply of one command under the client mutex, in one gather write: type 4
    // with 'block' when one is given, otherwise type 1; but when a reply file has been
    // designated, type 3 with that file's content, and the designation is cleared. Does
    // nothing when no client is connected. A failed send shuts the connection down; the
    // next ReadMessage then reports the disconnect.
    void SendReply(const std::string& text, const std::vector<uint8_t>* block = nullptr);

    // Sends 'text' as a type-1 message of its own, under the client mutex, from any
    // thread (solver result lines). Never carries the designated reply file.
    void SendText(const std::string& text);

    // Makes the next SendReply a type-3 message carrying the file at 'path'.
    void DesignateReplyFile(std::string path);

    bool               ClientConnected() const;
    const std::string& TransferFileName() const { return transfer_file_; }

private:
    void AcceptClient();
    void DropClient();
    // Sends one message; the caller holds client_mutex_ and has checked the socket.
    // Returns the text of an error to report, or an empty text.
    std::string SendLocked(MessageType type, std::span<const uint8_t> payload,
                           const std::string& text);

    boost::asio::io_context        io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::ip::tcp::socket   client_;
    mutable std::mutex             client_mutex_;  // guards client_ for sends and replacement
    std::string                    transfer_file_;
    std::string                    reply_file_;  // designated by a command; read by SendReply
};
