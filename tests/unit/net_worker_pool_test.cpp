// The master's worker connections over loopback, against small stand-in workers that
// answer every message with its own text (and block), or close the connection on "die".
#include <gtest/gtest.h>

#include <boost/asio/ip/tcp.hpp>
#include <atomic>
#include <memory>
#include <set>
#include <thread>

#include "net/message_io.h"
#include "net/worker_pool.h"
#include "net_loopback.h"

namespace {

using boost::asio::ip::tcp;

class EchoWorker {
public:
    EchoWorker() : acceptor_(io_, net_test::Loopback(0)), socket_(io_) {
        thread_ = std::thread([this] { Serve(); });
    }
    ~EchoWorker() {
        boost::system::error_code ignored;
        if (!accepted_) {  // a blocking accept is ended by a connection, not by a close
            tcp::socket wake(io_);
            wake.connect(acceptor_.local_endpoint(), ignored);
        }
        acceptor_.close(ignored);
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        thread_.join();
    }
    int Port() const { return acceptor_.local_endpoint().port(); }

private:
    void Serve() {
        boost::system::error_code error;
        acceptor_.accept(socket_, error);
        accepted_ = true;
        if (error)
            return;
        DiscardingFileSink sink;
        for (Message message; ReceiveMessage(socket_, message, sink) == ReceiveStatus::kOk;) {
            if (message.text == "die")
                break;
            const MessageType type = message.block.empty() ? MessageType::kText : MessageType::kBlock;
            if (SendMessage(socket_, type, message.block, "echo " + message.text))
                break;
        }
        socket_.close(error);
    }

    boost::asio::io_context io_;
    tcp::acceptor           acceptor_;
    tcp::socket             socket_;
    std::thread             thread_;
    std::atomic<bool>       accepted_{false};
};

std::vector<WorkerAddress> AddressesOf(const std::vector<std::unique_ptr<EchoWorker>>& workers) {
    std::vector<WorkerAddress> addresses;
    for (const auto& worker : workers)
        addresses.push_back({"127.0.0.1", worker->Port(), 1.0});
    return addresses;
}

std::vector<std::unique_ptr<EchoWorker>> StartWorkers(int count) {
    std::vector<std::unique_ptr<EchoWorker>> workers;
    for (int i = 0; i < count; ++i)
        workers.push_back(std::make_unique<EchoWorker>());
    return workers;
}

TEST(WorkerPoolTest, RequestCarriesTextAndBlockBothWays) {
    auto       workers = StartWorkers(1);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    const std::vector<uint8_t> block = net_test::SeededBytes(200000, 7);
    const WorkerReply          reply = pool.Request(0, "traverse_subgames 1 1", block);
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.text, "echo traverse_subgames 1 1");
    EXPECT_EQ(reply.block, block);
    const WorkerReply text_only = pool.Request(0, "ping");
    EXPECT_EQ(text_only.text, "echo ping");
    EXPECT_TRUE(text_only.block.empty());
    const WorkerTraffic traffic = pool.Traffic(0);
    EXPECT_EQ(traffic.requests, 2u);
    EXPECT_EQ(traffic.bytes_sent, 9 + block.size() + 4 + 21 + 9 + 4);
    EXPECT_EQ(traffic.bytes_received, 9 + block.size() + 4 + 26 + 9 + 9);
}

TEST(WorkerPoolTest, MulticastAnswersInListOrder) {
    auto       workers = StartWorkers(3);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    EXPECT_EQ(pool.Count(), 3);
    const auto replies = pool.Multicast("set_board Ks 7h 2d");
    ASSERT_EQ(replies.size(), 3u);
    for (const auto& reply : replies) {
        EXPECT_TRUE(reply.ok);
        EXPECT_EQ(reply.text, "echo set_board Ks 7h 2d");
    }
}

TEST(WorkerPoolTest, RequestsFromTwoThreadsGetTheirOwnReplies) {
    auto       workers = StartWorkers(1);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    std::vector<std::string> wrong[2];
    auto run = [&](int id) {
        for (int i = 0; i < 300; ++i) {
            const std::string text  = "t" + std::to_string(id) + "_" + std::to_string(i);
            const auto        block = net_test::SeededBytes(i % 3 == 0 ? 5000 : 0, i);
            const WorkerReply reply = pool.Request(0, text, block);
            if (reply.text != "echo " + text || reply.block != block)
                wrong[id].push_back(text);
        }
    };
    std::thread other(run, 1);
    run(0);
    other.join();
    EXPECT_TRUE(wrong[0].empty() && wrong[1].empty()) << wrong[0].size() << " " << wrong[1].size();
}

TEST(WorkerPoolTest, ALostWorkerAnswersEmptyAndTheOthersGoOn) {
    auto       workers = StartWorkers(2);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    const WorkerReply died = pool.Request(1, "die");
    EXPECT_FALSE(died.ok);
    EXPECT_TRUE(died.text.empty());
    EXPECT_TRUE(pool.Lost(1));
    EXPECT_FALSE(pool.Lost(0));
    const auto replies = pool.Multicast("is_ready");
    EXPECT_TRUE(replies[0].ok);
    EXPECT_EQ(replies[0].text, "echo is_ready");
    EXPECT_FALSE(replies[1].ok);
    EXPECT_EQ(pool.Count(), 2);  // the list lives on until the next Connect
}

TEST(WorkerPoolTest, DroppedWorkerIsLost) {
    auto       workers = StartWorkers(1);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    pool.Drop(0);
    EXPECT_TRUE(pool.Lost(0));
    EXPECT_FALSE(pool.Request(0, "ping").ok);
}

TEST(WorkerPoolTest, AFailedConnectKeepsTheOldList) {
    auto       workers = StartWorkers(1);
    WorkerPool pool;
    ASSERT_EQ(pool.Connect(AddressesOf(workers)), "");
    int closed_port;
    {
        boost::asio::io_context io;
        tcp::acceptor           probe(io, net_test::Loopback(0));
        closed_port = probe.local_endpoint().port();
    }
    auto fresh = StartWorkers(1);
    std::vector<WorkerAddress> addresses = AddressesOf(fresh);
    addresses.push_back({"127.0.0.1", closed_port, 1.0});
    EXPECT_EQ(pool.Connect(addresses), "127.0.0.1:" + std::to_string(closed_port));
    EXPECT_EQ(pool.Count(), 1);
    EXPECT_EQ(pool.Address(0).port, workers[0]->Port());
    EXPECT_EQ(pool.Request(0, "ping").text, "echo ping");
}

}  // namespace
