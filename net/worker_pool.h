// The master's connections to its worker processes.
//
// Each worker is a program in server mode; the master talks to it with the framing of
// net/message.h. Requests are written by the calling thread under the connection's send
// mutex; one background thread runs the Boost.Asio I/O service that receives the replies
// of all connections and hands each one to the caller waiting for it. A worker answers
// its messages in order, so every connection keeps a queue of reply slots in send order:
// the first slot of the queue receives the next reply.
//
// A connection that breaks (the worker died, closed, or sent a message the framing
// refuses) is marked lost: every slot waiting on it and every later request gets an empty
// reply at once. A lost worker stays lost until the next Connect.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct WorkerAddress {
    std::string host;
    int         port   = 5251;
    double      weight = 1.0;
};

struct WorkerReply {
    bool                 ok = false;  // false: the worker was lost before answering
    std::string          text;
    std::vector<uint8_t> block;
};

// Bytes and waiting time of one connection since it was made.
struct WorkerTraffic {
    uint64_t bytes_sent     = 0;
    uint64_t bytes_received = 0;
    double   wait_seconds   = 0;  // time callers spent blocked on this worker's replies
    uint64_t requests       = 0;
};

class WorkerPool {
public:
    WorkerPool();
    ~WorkerPool();
    WorkerPool(const WorkerPool&)            = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Connects to every address in order (resolving host names), calling 'trying' before
    // each. On the first failure nothing changes and the failing address is returned; on
    // success the old connections are closed, the new ones replace them and an empty text
    // is returned.
    std::string Connect(const std::vector<WorkerAddress>&               addresses,
                        const std::function<void(const WorkerAddress&)>& trying = {});

    int  Count() const;
    // Counts the successful Connect calls: tells one worker list from the next.
    uint64_t Generation() const;
    bool Empty() const { return Count() == 0; }
    const WorkerAddress& Address(int worker) const;
    std::vector<double>  Weights() const;
    bool                 Lost(int worker) const;
    WorkerTraffic        Traffic(int worker) const;

    // Sends one message (a type-4 message when 'block' is non-empty) to one worker and
    // waits for its reply.
    WorkerReply Request(int worker, const std::string& text, std::span<const uint8_t> block = {});

    // Sends the same message to every worker that is not lost, then waits for all of
    // them; one reply per worker in list order (lost ones empty).
    std::vector<WorkerReply> Multicast(const std::string& text, std::span<const uint8_t> block = {});

    // The two halves of Multicast, so that a caller can work while the workers do:
    // Send returns a ticket per worker, Collect waits for the replies of those tickets.
    struct Ticket;
    std::vector<std::shared_ptr<Ticket>> Send(const std::string& text,
                                              std::span<const uint8_t> block);
    std::vector<WorkerReply> Collect(const std::vector<std::shared_ptr<Ticket>>& tickets);

    // Marks the worker lost and closes its connection (a reply that made no sense).
    void Drop(int worker);

    // Gives a reply block back once it has been used: its memory receives the worker's
    // next block, so that large replies do not fault fresh pages in every time.
    void Recycle(int worker, std::vector<uint8_t>&& block);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
