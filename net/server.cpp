#include "net/server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>
#include <utility>

#include "cli/output.h"
#include "net/mapped_file.h"
#include "net/message_io.h"
#include "net/transfer_file.h"

namespace {

using boost::asio::ip::tcp;

// A client that vanishes without closing (cable pulled, machine gone) is noticed by
// keep-alive probes after about two minutes instead of the system's two hours; a client
// that is merely idle between commands is never dropped.
constexpr int kKeepAliveIdleSeconds     = 60;
constexpr int kKeepAliveIntervalSeconds = 10;
constexpr int kKeepAliveProbes          = 6;
// Pause after a failed accept (out of descriptors, for example) before trying again.
constexpr auto kAcceptRetryPause = std::chrono::milliseconds(100);

void ConfigureClientSocket(tcp::socket& socket) {
    boost::system::error_code ignored;
    // Replies leave in one gather write each; there is nothing to coalesce.
    socket.set_option(tcp::no_delay(true), ignored);
    socket.set_option(boost::asio::socket_base::keep_alive(true), ignored);
    int fd = socket.native_handle();
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleSeconds, sizeof(int));
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalSeconds, sizeof(int));
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof(int));
}

std::string EndpointText(const tcp::endpoint& endpoint) {
    return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

void ReportException(const std::string& text) { WriteDirect("Exception:" + text + "\n"); }

}  // namespace

Server::Server(int port, std::string transfer_file)
    : acceptor_(io_), client_(io_), transfer_file_(std::move(transfer_file)) {
    tcp::endpoint endpoint(tcp::v4(), static_cast<unsigned short>(port));
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(boost::asio::socket_base::max_listen_connections);
    WriteDirect("Listening to " + EndpointText(acceptor_.local_endpoint()) + "\n");
}

int Server::Port() const { return acceptor_.local_endpoint().port(); }

bool Server::ClientConnected() const {
    std::lock_guard lock(client_mutex_);
    return client_.is_open();
}

void Server::AcceptClient() {
    for (;;) {
        tcp::socket               socket(io_);
        boost::system::error_code error;
        acceptor_.accept(socket, error);
        if (error) {
            WriteDirect("accept failed: " + error.message() + "\n");
            std::this_thread::sleep_for(kAcceptRetryPause);
            continue;
        }
        tcp::endpoint peer = socket.remote_endpoint(error);
        ConfigureClientSocket(socket);
        {
            std::lock_guard lock(client_mutex_);
            client_ = std::move(socket);
        }
        WriteDirect((error ? std::string("?") : EndpointText(peer)) + " connected\n");
        return;
    }
}

void Server::DropClient() {
    {
        std::lock_guard           lock(client_mutex_);
        boost::system::error_code ignored;
        client_.shutdown(tcp::socket::shutdown_both, ignored);
        client_.close(ignored);
    }
    WriteDirect("client disconnected\n");
}

ClientCommand Server::ReadMessage() {
    if (!ClientConnected())
        AcceptClient();
    Message            message;
    TransferFileWriter transfer(transfer_file_, ReportException);
    // Only this thread replaces or closes client_, so it may read without the mutex.
    // Senders on other threads only write to or shut down the same descriptor, which the
    // system allows alongside a blocked read.
    if (ReceiveMessage(client_, message, transfer) != ReceiveStatus::kOk) {
        DropClient();
        return {};
    }
    return {std::move(message.text), std::move(message.block)};
}

std::string Server::SendLocked(MessageType type, std::span<const uint8_t> payload,
                               const std::string& text) {
    boost::system::error_code error = SendMessage(client_, type, payload, text);
    if (error == boost::asio::error::message_size) {
        error = SendMessage(client_, MessageType::kText, {}, text);
        if (!error)
            return "reply of " + std::to_string(text.size()) + " bytes sent without its payload";
    }
    if (error) {
        // Wakes the interpreter thread's read, which then reports the disconnect.
        boost::system::error_code ignored;
        client_.shutdown(tcp::socket::shutdown_both, ignored);
    }
    return {};
}

void Server::SendReply(const std::string& text, const std::vector<uint8_t>* block) {
    std::string problem;
    {
        std::lock_guard lock(client_mutex_);
        std::string     reply_file = std::exchange(reply_file_, std::string());
        if (!client_.is_open())
            return;
        MappedFile file;
        if (!reply_file.empty() && file.Open(reply_file)) {
            problem = SendLocked(MessageType::kFile, file.Bytes(), text);
        } else {
            if (!reply_file.empty())
                problem = file.Error();
            std::string send_problem =
                block ? SendLocked(MessageType::kBlock, *block, text)
                      : SendLocked(MessageType::kText, {}, text);
            if (problem.empty())
                problem = send_problem;
        }
    }
    if (!problem.empty())
        ReportException(problem);
}

void Server::SendText(const std::string& text) {
    std::lock_guard lock(client_mutex_);
    if (client_.is_open())
        SendLocked(MessageType::kText, {}, text);
}

void Server::DesignateReplyFile(std::string path) {
    std::lock_guard lock(client_mutex_);
    reply_file_ = std::move(path);
}
