#include "net/message_io.h"

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <limits>

namespace {

bool ReadExactly(TcpSocket& socket, void* data, size_t size) {
    boost::system::error_code error;
    boost::asio::read(socket, boost::asio::buffer(data, size), error);
    return !error;
}

// Appends 'length' bytes to 'out', one chunk at a time, so that the container grows only
// with what has arrived: a false announcement costs at most the first reservation.
template <typename Container>
bool ReadGrowing(TcpSocket& socket, uint64_t length, Container& out) {
    constexpr uint64_t kFirstReservation = uint64_t{1} << 20;
    out.clear();
    out.reserve(static_cast<size_t>(std::min(length, kFirstReservation)));
    while (out.size() < length) {
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(length - out.size(), kFileChunkSize));
        size_t start = out.size();
        out.resize(start + chunk);
        if (!ReadExactly(socket, out.data() + start, chunk))
            return false;
    }
    return true;
}

bool StreamFile(TcpSocket& socket, uint64_t length, FileSink& sink) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(length, kFileChunkSize)));
    sink.Begin(length);
    for (uint64_t done = 0; done < length;) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(length - done, kFileChunkSize));
        if (!ReadExactly(socket, chunk.data(), size)) {
            sink.End(/*complete=*/false);
            return false;
        }
        sink.Write(chunk.data(), size);
        done += size;
    }
    sink.End(/*complete=*/true);
    return true;
}

// The text that ends a type-3 or type-4 message: its 32-bit length, then its bytes.
ReceiveStatus ReadTrailingText(TcpSocket& socket, std::string& text) {
    std::array<uint8_t, kTextLengthSize> length_bytes{};
    if (!ReadExactly(socket, length_bytes.data(), length_bytes.size()))
        return ReceiveStatus::kClosed;
    uint64_t length = LoadLittleEndian(length_bytes.data(), length_bytes.size());
    if (length > kMaxTextLength)
        return ReceiveStatus::kRefused;
    return ReadGrowing(socket, length, text) ? ReceiveStatus::kOk : ReceiveStatus::kClosed;
}

}  // namespace

ReceiveStatus ReceiveMessage(TcpSocket& socket, Message& message, FileSink& file_sink) {
    MessageHeader header{};
    if (!ReadExactly(socket, header.data(), header.size()))
        return ReceiveStatus::kClosed;
    message.type          = TypeFromByte(header[0]);
    uint64_t first_length = LoadLittleEndian(&header[1], 8);
    message.text.clear();
    message.block.clear();
    message.file_length = 0;
    if (first_length > MaxFirstLength(message.type))
        return ReceiveStatus::kRefused;
    switch (message.type) {
        case MessageType::kText:
            return ReadGrowing(socket, first_length, message.text) ? ReceiveStatus::kOk
                                                                   : ReceiveStatus::kClosed;
        case MessageType::kBlock:
            if (!ReadGrowing(socket, first_length, message.block))
                return ReceiveStatus::kClosed;
            return ReadTrailingText(socket, message.text);
        case MessageType::kFile:
            message.file_length = first_length;
            if (!StreamFile(socket, first_length, file_sink))
                return ReceiveStatus::kClosed;
            return ReadTrailingText(socket, message.text);
    }
    return ReceiveStatus::kRefused;
}

boost::system::error_code SendMessage(TcpSocket& socket, MessageType type,
                                      std::span<const uint8_t> payload, std::string_view text) {
    boost::system::error_code error;
    if (type == MessageType::kText) {
        MessageHeader header = EncodeHeader(type, text.size());
        std::array<boost::asio::const_buffer, 2> buffers{boost::asio::buffer(header),
                                                         boost::asio::buffer(text)};
        boost::asio::write(socket, buffers, error);
        return error;
    }
    if (text.size() > std::numeric_limits<uint32_t>::max())
        return boost::asio::error::message_size;
    MessageHeader header      = EncodeHeader(type, payload.size());
    auto          text_length = EncodeTextLength(static_cast<uint32_t>(text.size()));
    std::array<boost::asio::const_buffer, 4> buffers{
        boost::asio::buffer(header), boost::asio::buffer(payload.data(), payload.size()),
        boost::asio::buffer(text_length), boost::asio::buffer(text)};
    boost::asio::write(socket, buffers, error);
    return error;
}
