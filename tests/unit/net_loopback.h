// Helpers for the networking tests: connected loopback sockets, raw byte writes and
// seeded payloads. Everything stays on 127.0.0.1.
#pragma once

#include <poll.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "net/message.h"

namespace net_test {

using boost::asio::ip::tcp;

inline tcp::endpoint Loopback(int port) {
    return tcp::endpoint(boost::asio::ip::address_v4::loopback(), static_cast<unsigned short>(port));
}

// Two ends of one TCP connection over 127.0.0.1.
struct LoopbackPair {
    boost::asio::io_context io;
    tcp::socket             near{io}, far{io};
    LoopbackPair() {
        tcp::acceptor acceptor(io, Loopback(0));
        near.connect(acceptor.local_endpoint());
        acceptor.accept(far);
    }
};

inline std::vector<uint8_t> SeededBytes(size_t size, unsigned seed) {
    std::mt19937         random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

inline void WriteRaw(tcp::socket& socket, const std::vector<uint8_t>& bytes) {
    boost::asio::write(socket, boost::asio::buffer(bytes));
}

// The bytes of a message header, for hand-made (possibly broken) messages.
inline std::vector<uint8_t> HeaderBytes(uint8_t type, uint64_t first_length) {
    std::vector<uint8_t> bytes(kHeaderSize);
    bytes[0] = type;
    StoreLittleEndian(first_length, 8, &bytes[1]);
    return bytes;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// True when the peer closes the connection within ten seconds: a read ends with end of
// file (or a reset) instead of data. False when data arrives or nothing happens.
inline bool PeerClosed(tcp::socket& socket) {
    pollfd waiting{socket.native_handle(), POLLIN, 0};
    if (poll(&waiting, 1, 10000) != 1)
        return false;
    uint8_t                   byte;
    boost::system::error_code error;
    boost::asio::read(socket, boost::asio::buffer(&byte, 1), error);
    return static_cast<bool>(error);
}

// A private temporary directory, removed with everything in it at the end of its scope.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/quillane_net_test.XXXXXX";
        path_          = mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    TempDir(const TempDir&)            = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(file);
    }
    return bytes;
}

inline void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

}  // namespace net_test
