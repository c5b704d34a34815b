// Sending and receiving framed messages (net/message.h) on a connected TCP socket with
// blocking calls. Shared by the server, the command-line client, the tests and the bench.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/message.h"

using TcpSocket = boost::asio::ip::tcp::socket;

// Where the file bytes of a type-3 message go while they arrive. The receiver calls
// Begin once with the announced length, Write for every chunk of at most kFileChunkSize
// bytes in order, then End(true) after the last byte, or End(false) when the connection
// broke before it. A sink reports its own storage errors and must not throw: the rest of
// the message is received whatever the sink does.
class FileSink {
public:
    virtual ~FileSink()                                 = default;
    virtual void Begin(uint64_t length)                 = 0;
    virtual void Write(const uint8_t* data, size_t size) = 0;
    virtual void End(bool complete)                     = 0;
};

// A sink that drops the bytes.
class DiscardingFileSink final : public FileSink {
public:
    void Begin(uint64_t) override {}
    void Write(const uint8_t*, size_t) override {}
    void End(bool) override {}
};

struct Message {
    MessageType          type = MessageType::kText;
    std::string          text;
    std::vector<uint8_t> block;            // the payload of a type-4 message
    uint64_t             file_length = 0;  // type 3: the byte count given to the sink
};

enum class ReceiveStatus {
    kOk,
    kClosed,   // the peer closed or reset the connection, possibly inside a message
    kRefused,  // a length beyond the limits of net/message.h; nothing more was read
};

// Blocks until one whole message has arrived and stores it in 'message' (file bytes go
// to 'file_sink'). Texts and blocks are read in chunks of at most kFileChunkSize bytes
// and grow only with the bytes that actually arrive, so a false length announcement
// costs no memory; lengths beyond the limits are refused before anything is allocated.
// On kClosed or kRefused the message contents are unspecified and the socket should be
// closed: the stream can no longer be read in step with the framing.
[[nodiscard]] ReceiveStatus ReceiveMessage(TcpSocket& socket, Message& message,
                                           FileSink& file_sink);

// Sends one message with one gather write: the header, then for types 3 and 4 'payload'
// (the file content or the block) and the text length, then the text. 'payload' is
// ignored for type 1. Blocks until everything is handed to the system. Returns the
// error of the write, or message_size when the text does not fit the 32-bit text length
// of a type-3 or type-4 message (nothing is sent then).
[[nodiscard]] boost::system::error_code SendMessage(TcpSocket& socket, MessageType type,
                                                    std::span<const uint8_t> payload,
                                                    std::string_view text);
