#include "net/worker_pool.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "net/message.h"
#include "net/message_io.h"

namespace asio = boost::asio;
using boost::asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

struct WorkerPool::Ticket {
    int                    worker = 0;
    bool                   done   = false;
    WorkerReply            reply;
    SteadyClock::time_point done_at;
};

namespace {

// One worker's connection. Handlers of the I/O thread hold it by shared pointer, so that a
// connection replaced by a new Connect lives until its last handler has run.
struct Connection : std::enable_shared_from_this<Connection> {
    Connection(asio::io_context& io, WorkerAddress address) : socket(io), address(std::move(address)) {}

    tcp::socket   socket;
    WorkerAddress address;
    std::mutex    send_mutex;

    // Guarded by the pool's state mutex.
    std::deque<std::shared_ptr<WorkerPool::Ticket>> waiting;
    bool          lost = false;
    WorkerTraffic traffic;

    // Receive buffers, used by the I/O thread only.
    MessageHeader                       header{};
    std::vector<uint8_t>                payload;
    std::vector<uint8_t>                spare;  // a used block given back; guarded by the state mutex
    std::array<uint8_t, kTextLengthSize> text_length{};
    std::string                         text;
    MessageType                         type = MessageType::kText;
};

using ConnectionList = std::vector<std::shared_ptr<Connection>>;

}  // namespace

struct WorkerPool::Impl {
    asio::io_context                                     io;
    asio::executor_work_guard<asio::io_context::executor_type> guard = asio::make_work_guard(io);
    std::thread                                          thread;

    mutable std::mutex      state_mutex;
    std::condition_variable replied;
    std::shared_ptr<const ConnectionList> connections = std::make_shared<ConnectionList>();
    uint64_t                              generation  = 0;

    std::shared_ptr<const ConnectionList> Snapshot() const {
        std::lock_guard lock(state_mutex);
        return connections;
    }

    // Marks the connection lost and answers every waiting caller with an empty reply; the
    // socket is closed on the I/O thread.
    void Fail(const std::shared_ptr<Connection>& c) {
        {
            std::lock_guard lock(state_mutex);
            c->lost = true;
            for (auto& ticket : c->waiting) {
                ticket->done    = true;
                ticket->done_at = SteadyClock::now();
            }
            c->waiting.clear();
        }
        replied.notify_all();
        asio::post(io, [c] {
            boost::system::error_code ignored;
            c->socket.shutdown(tcp::socket::shutdown_both, ignored);
            c->socket.close(ignored);
        });
    }

    void Deliver(const std::shared_ptr<Connection>& c) {
        {
            std::lock_guard lock(state_mutex);
            c->traffic.bytes_received += kHeaderSize + c->payload.size() + c->text.size() +
                                         (c->type == MessageType::kText ? 0 : kTextLengthSize);
            if (!c->waiting.empty()) {  // a message nobody asked for is dropped
                auto ticket = c->waiting.front();
                c->waiting.pop_front();
                ticket->reply.ok   = true;
                ticket->reply.text = std::move(c->text);
                if (c->type == MessageType::kBlock)
                    ticket->reply.block = std::move(c->payload);
                ticket->done    = true;
                ticket->done_at = SteadyClock::now();
            }
        }
        replied.notify_all();
        c->text.clear();
        c->payload.clear();
        ReadHeader(c);
    }

    void ReadHeader(const std::shared_ptr<Connection>& c) {
        asio::async_read(c->socket, asio::buffer(c->header),
                         [this, c](boost::system::error_code error, size_t) {
                             if (error)
                                 return Fail(c);
                             c->type            = TypeFromByte(c->header[0]);
                             const uint64_t len = LoadLittleEndian(c->header.data() + 1, 8);
                             if (len > MaxFirstLength(c->type) || len > kMaxBlockLength)
                                 return Fail(c);
                             if (c->type == MessageType::kText)
                                 return ReadText(c, len);
                             ReadPayload(c, len);
                         });
    }

    void ReadPayload(const std::shared_ptr<Connection>& c, uint64_t length) {
        {
            std::lock_guard lock(state_mutex);
            if (c->payload.capacity() < length && c->spare.capacity() >= length)
                c->payload.swap(c->spare);
        }
        c->payload.resize(length);
        asio::async_read(c->socket, asio::buffer(c->payload),
                         [this, c](boost::system::error_code error, size_t) {
                             if (error)
                                 return Fail(c);
                             ReadTextLength(c);
                         });
    }

    void ReadTextLength(const std::shared_ptr<Connection>& c) {
        asio::async_read(c->socket, asio::buffer(c->text_length),
                         [this, c](boost::system::error_code error, size_t) {
                             if (error)
                                 return Fail(c);
                             ReadText(c, LoadLittleEndian(c->text_length.data(), kTextLengthSize));
                         });
    }

    void ReadText(const std::shared_ptr<Connection>& c, uint64_t length) {
        if (length > kMaxTextLength)
            return Fail(c);
        c->text.resize(length);
        asio::async_read(c->socket, asio::buffer(c->text),
                         [this, c](boost::system::error_code error, size_t) {
                             if (error)
                                 return Fail(c);
                             Deliver(c);
                         });
    }

    std::shared_ptr<Ticket> SendOne(int worker, const std::shared_ptr<Connection>& c,
                                    const std::string& text, std::span<const uint8_t> block) {
        auto ticket    = std::make_shared<Ticket>();
        ticket->worker = worker;
        std::lock_guard send_lock(c->send_mutex);
        {
            std::lock_guard lock(state_mutex);
            if (c->lost) {
                ticket->done = true;
                return ticket;
            }
            c->waiting.push_back(ticket);
            ++c->traffic.requests;
            c->traffic.bytes_sent += kHeaderSize + block.size() + text.size() +
                                     (block.empty() ? 0 : kTextLengthSize);
        }
        const MessageType type = block.empty() ? MessageType::kText : MessageType::kBlock;
        if (SendMessage(c->socket, type, block, text))
            Fail(c);
        return ticket;
    }
};

WorkerPool::WorkerPool() : impl_(std::make_unique<Impl>()) {
    impl_->thread = std::thread([this] { impl_->io.run(); });
}

WorkerPool::~WorkerPool() {
    impl_->guard.reset();
    impl_->io.stop();
    impl_->thread.join();
}

std::string WorkerPool::Connect(const std::vector<WorkerAddress>&               addresses,
                                const std::function<void(const WorkerAddress&)>& trying) {
    auto fresh = std::make_shared<ConnectionList>();
    for (const WorkerAddress& address : addresses) {
        if (trying)
            trying(address);
        auto c = std::make_shared<Connection>(impl_->io, address);
        boost::system::error_code error;
        tcp::resolver             resolver(impl_->io);
        auto endpoints = resolver.resolve(address.host, std::to_string(address.port), error);
        if (!error)
            asio::connect(c->socket, endpoints, error);
        if (error)
            return address.host + ":" + std::to_string(address.port);
        c->socket.set_option(tcp::no_delay(true), error);
        fresh->push_back(std::move(c));
    }
    auto old = impl_->Snapshot();
    {
        std::lock_guard lock(impl_->state_mutex);
        impl_->connections = fresh;
        ++impl_->generation;
    }
    for (const auto& c : *old)
        impl_->Fail(c);
    for (const auto& c : *fresh)
        asio::post(impl_->io, [this, c] { impl_->ReadHeader(c); });
    return {};
}

int WorkerPool::Count() const { return static_cast<int>(impl_->Snapshot()->size()); }

uint64_t WorkerPool::Generation() const {
    std::lock_guard lock(impl_->state_mutex);
    return impl_->generation;
}

const WorkerAddress& WorkerPool::Address(int worker) const {
    return impl_->Snapshot()->at(worker)->address;
}

std::vector<double> WorkerPool::Weights() const {
    std::vector<double> weights;
    for (const auto& c : *impl_->Snapshot())
        weights.push_back(c->address.weight);
    return weights;
}

bool WorkerPool::Lost(int worker) const {
    auto            list = impl_->Snapshot();
    std::lock_guard lock(impl_->state_mutex);
    return list->at(worker)->lost;
}

WorkerTraffic WorkerPool::Traffic(int worker) const {
    auto            list = impl_->Snapshot();
    std::lock_guard lock(impl_->state_mutex);
    return list->at(worker)->traffic;
}

void WorkerPool::Drop(int worker) {
    auto list = impl_->Snapshot();
    if (worker >= 0 && worker < static_cast<int>(list->size()))
        impl_->Fail(list->at(worker));
}

void WorkerPool::Recycle(int worker, std::vector<uint8_t>&& block) {
    auto list = impl_->Snapshot();
    if (worker < 0 || worker >= static_cast<int>(list->size()))
        return;
    std::lock_guard lock(impl_->state_mutex);
    Connection&     c = *(*list)[worker];
    if (block.capacity() > c.spare.capacity()) {
        c.spare = std::move(block);
        c.spare.clear();
    }
}

std::vector<std::shared_ptr<WorkerPool::Ticket>> WorkerPool::Send(const std::string& text,
                                                                  std::span<const uint8_t> block) {
    auto                                 list = impl_->Snapshot();
    std::vector<std::shared_ptr<Ticket>> tickets;
    for (int w = 0; w < static_cast<int>(list->size()); ++w)
        tickets.push_back(impl_->SendOne(w, (*list)[w], text, block));
    return tickets;
}

std::vector<WorkerReply> WorkerPool::Collect(const std::vector<std::shared_ptr<Ticket>>& tickets) {
    auto                     list  = impl_->Snapshot();
    const auto               start = SteadyClock::now();
    std::vector<WorkerReply> replies;
    std::unique_lock         lock(impl_->state_mutex);
    for (const auto& ticket : tickets) {
        impl_->replied.wait(lock, [&] { return ticket->done; });
        if (ticket->worker < static_cast<int>(list->size()) && ticket->done_at > start)
            (*list)[ticket->worker]->traffic.wait_seconds +=
                std::chrono::duration<double>(ticket->done_at - start).count();
        replies.push_back(std::move(ticket->reply));
    }
    return replies;
}

WorkerReply WorkerPool::Request(int worker, const std::string& text,
                                std::span<const uint8_t> block) {
    auto list = impl_->Snapshot();
    if (worker < 0 || worker >= static_cast<int>(list->size()))
        return {};
    return Collect({impl_->SendOne(worker, (*list)[worker], text, block)}).front();
}

std::vector<WorkerReply> WorkerPool::Multicast(const std::string& text,
                                               std::span<const uint8_t> block) {
    return Collect(Send(text, block));
}
