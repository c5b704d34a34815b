#include <gtest/gtest.h>

#include <future>
#include <sys/stat.h>
#include <thread>

#include "net/message_io.h"
#include "net/server.h"
#include "tests/unit/net_loopback.h"

using namespace net_test;

namespace {

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        server_ = std::make_unique<Server>(0, dir_.File("quillane_temp"));
    }
    // The capture also holds the failure messages of the test: show them.
    void TearDown() override {
        console_ += testing::internal::GetCapturedStdout();
        if (HasFailure())
            std::fwrite(console_.data(), 1, console_.size(), stdout);
    }

    // What the server wrote to the console so far.
    std::string Console() {
        console_ += testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return console_;
    }

    std::unique_ptr<tcp::socket> Connect() {
        auto socket = std::make_unique<tcp::socket>(io_);
        socket->connect(Loopback(server_->Port()));
        return socket;
    }

    static Message Receive(tcp::socket& socket, FileSink& sink) {
        Message message;
        EXPECT_EQ(ReceiveMessage(socket, message, sink), ReceiveStatus::kOk);
        return message;
    }

    static Message Receive(tcp::socket& socket) {
        DiscardingFileSink discard;
        return Receive(socket, discard);
    }

    TempDir                 dir_;
    boost::asio::io_context io_;
    std::unique_ptr<Server> server_;
    std::string             console_;
};

// Collects the file bytes of a type-3 reply.
class CollectingSink final : public FileSink {
public:
    void Begin(uint64_t) override { bytes.clear(); }
    void Write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
    void End(bool) override {}

    std::vector<uint8_t> bytes;
};

}  // namespace

TEST_F(ServerTest, ListensOnTheLoopbackAndAnnouncesTheClient) {
    EXPECT_NE(server_->Port(), 0);
    auto client = Connect();
    ASSERT_FALSE(SendMessage(*client, MessageType::kText, {}, "is_ready"));
    EXPECT_EQ(server_->ReadMessage().text, "is_ready");
    EXPECT_TRUE(server_->ClientConnected());
    std::string expected_connect =
        "127.0.0.1:" + std::to_string(client->local_endpoint().port()) + " connected\n";
    std::string console = Console();
    EXPECT_NE(console.find("Listening to 0.0.0.0:" + std::to_string(server_->Port()) + "\n"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find(expected_connect), std::string::npos) << console;
}

TEST_F(ServerTest, BlocksAndFilesArriveWithTheirCommand) {
    auto                 client = Connect();
    std::vector<uint8_t> block  = SeededBytes(3 * kFileChunkSize + 17, 11);
    std::vector<uint8_t> file   = SeededBytes(5 * kFileChunkSize + 3, 12);
    auto                 sent   = std::async(std::launch::async, [&] {
        EXPECT_FALSE(SendMessage(*client, MessageType::kBlock, block, "with block"));
        EXPECT_FALSE(SendMessage(*client, MessageType::kFile, file, "with file"));
        EXPECT_FALSE(SendMessage(*client, MessageType::kFile, SeededBytes(10, 13), "short file"));
    });
    ClientCommand with_block = server_->ReadMessage();
    EXPECT_EQ(with_block.text, "with block");
    EXPECT_EQ(with_block.block, block);

    ClientCommand with_file = server_->ReadMessage();
    EXPECT_EQ(with_file.text, "with file");
    EXPECT_TRUE(with_file.block.empty());
    EXPECT_EQ(ReadWholeFile(server_->TransferFileName()), file);

    EXPECT_EQ(server_->ReadMessage().text, "short file");
    EXPECT_EQ(ReadWholeFile(server_->TransferFileName()), SeededBytes(10, 13))
        << "a new transfer replaces the old content";
    sent.get();
}

TEST_F(ServerTest, AnUnwritableTransferFileIsReportedAndTheCommandStillArrives) {
    ASSERT_EQ(mkdir(server_->TransferFileName().c_str(), 0700), 0);
    auto client = Connect();
    ASSERT_FALSE(SendMessage(*client, MessageType::kFile, SeededBytes(200000, 5), "is_ready"));
    ASSERT_FALSE(SendMessage(*client, MessageType::kText, {}, "next"));
    EXPECT_EQ(server_->ReadMessage().text, "is_ready");
    EXPECT_EQ(server_->ReadMessage().text, "next") << "the file bytes were not all consumed";
    std::string console = Console();
    EXPECT_NE(console.find("\nException:can't open transfer file '" + server_->TransferFileName()),
              std::string::npos)
        << console;
    struct stat info {};
    EXPECT_EQ(stat(server_->TransferFileName().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode)) << "the directory in the way must survive";
}

TEST_F(ServerTest, BrokenOrRefusedMessagesDropTheClientAndTheNextIsServed) {
    struct Case {
        const char*          name;
        std::vector<uint8_t> bytes;
        bool                 peer_closes_first;
    };
    const Case cases[] = {
        {"mid-header", {1, 8, 0}, true},
        {"mid-length", {3, 0, 0, 0, 0}, true},
        {"mid-payload", Concat(HeaderBytes(1, 50), Bytes("is_re")), true},
        {"mid-file", Concat(HeaderBytes(3, 4 * kFileChunkSize), SeededBytes(100000, 1)), true},
        {"2^63-byte text", HeaderBytes(1, uint64_t{1} << 63), false},
        {"garbage", SeededBytes(4096, 99), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(server_->TransferFileName(), Bytes("previous"));
        auto client      = Connect();
        auto client_port = client->local_endpoint().port();
        WriteRaw(*client, c.bytes);
        if (c.peer_closes_first)
            client->close();
        std::string before = Console();
        EXPECT_EQ(server_->ReadMessage().text, "");
        EXPECT_FALSE(server_->ClientConnected());
        EXPECT_EQ(Console().substr(before.size()),
                  "127.0.0.1:" + std::to_string(client_port) +
                      " connected\nclient disconnected\n");
        if (!c.peer_closes_first) {
            EXPECT_TRUE(PeerClosed(*client)) << "the server must hang up on a refused message";
        }
        if (c.bytes[0] == 3 && c.bytes.size() > kHeaderSize) {
            EXPECT_TRUE(ReadWholeFile(server_->TransferFileName()).empty())
                << "a cut transfer must not be left behind as a whole file";
        }

        auto next = Connect();
        ASSERT_FALSE(SendMessage(*next, MessageType::kText, {}, "is_ready"));
        EXPECT_EQ(server_->ReadMessage().text, "is_ready");
        next->close();
        EXPECT_EQ(server_->ReadMessage().text, "");
    }
}

TEST_F(ServerTest, ASecondClientWaitsInTheBacklogUntilTheFirstLeaves) {
    auto first  = Connect();
    auto second = Connect();  // completes in the backlog before the server accepts it
    ASSERT_FALSE(SendMessage(*second, MessageType::kText, {}, "from second"));
    ASSERT_FALSE(SendMessage(*first, MessageType::kText, {}, "from first"));
    EXPECT_EQ(server_->ReadMessage().text, "from first");
    server_->SendReply("reply to first");
    EXPECT_EQ(Receive(*first).text, "reply to first");
    first->close();
    EXPECT_EQ(server_->ReadMessage().text, "");
    EXPECT_EQ(server_->ReadMessage().text, "from second");
    server_->SendReply("reply to second");
    EXPECT_EQ(Receive(*second).text, "reply to second");
}

TEST_F(ServerTest, RepliesCarryTextBlockOrTheDesignatedFile) {
    auto client = Connect();
    ASSERT_FALSE(SendMessage(*client, MessageType::kText, {}, "hello"));
    ASSERT_EQ(server_->ReadMessage().text, "hello");

    server_->SendReply("plain\n");
    Message plain = Receive(*client);
    EXPECT_EQ(plain.type, MessageType::kText);
    EXPECT_EQ(plain.text, "plain\n");

    std::vector<uint8_t> block = SeededBytes(2 * kFileChunkSize + 1, 21);
    auto with_block = std::async(std::launch::async, [&] { return Receive(*client); });
    server_->SendReply("with block\n", &block);
    Message reply = with_block.get();
    EXPECT_EQ(reply.type, MessageType::kBlock);
    EXPECT_EQ(reply.block, block);
    EXPECT_EQ(reply.text, "with block\n");

    std::vector<uint8_t> file = SeededBytes(3 * kFileChunkSize + 7, 22);
    WriteWholeFile(dir_.File("reply.bin"), file);
    server_->DesignateReplyFile(dir_.File("reply.bin"));
    CollectingSink collected;
    auto with_file = std::async(std::launch::async, [&] { return Receive(*client, collected); });
    server_->SendReply("with file\n", &block);
    reply = with_file.get();
    EXPECT_EQ(reply.type, MessageType::kFile);
    EXPECT_EQ(collected.bytes, file);
    EXPECT_EQ(reply.text, "with file\n");

    server_->SendReply("designation used up\n");
    EXPECT_EQ(Receive(*client).type, MessageType::kText);

    server_->DesignateReplyFile(dir_.File("missing.bin"));
    server_->SendReply("no file\n");
    reply = Receive(*client);
    EXPECT_EQ(reply.type, MessageType::kText);
    EXPECT_EQ(reply.text, "no file\n");
    EXPECT_NE(Console().find("Exception:can't open file '" + dir_.File("missing.bin")),
              std::string::npos);
}

TEST_F(ServerTest, SendsFromManyThreadsNeverInterleaveInsideAMessage) {
    auto client = Connect();
    ASSERT_FALSE(SendMessage(*client, MessageType::kText, {}, "go"));
    ASSERT_EQ(server_->ReadMessage().text, "go");

    constexpr int kThreads = 4, kPerThread = 150, kReplies = 40;
    auto text_of = [](int thread, int i) {
        // Lengths up to ~200 KB, beyond the socket buffers, so writes are partial.
        size_t length = static_cast<size_t>((thread * 7919 + i * 104729) % 200000) + 1;
        std::vector<uint8_t> body = SeededBytes(length, static_cast<unsigned>(thread * 1000 + i));
        return std::to_string(thread) + ":" + std::to_string(i) + ":" +
               std::string(body.begin(), body.end());
    };
    // Checks every message in arrival order; returns the index of the first damaged one,
    // or -1. Senders and receiver are unblocked by shutdowns, so damage fails the test
    // instead of hanging it.
    auto check = [&]() -> int {
        std::vector<int> next(kThreads + 1, 0);
        for (int n = 0; n < kThreads * kPerThread + kReplies; ++n) {
            Message            message;
            DiscardingFileSink discard;
            if (ReceiveMessage(*client, message, discard) != ReceiveStatus::kOk)
                return n;
            int thread = message.text.empty() ? -1 : message.text[0] - '0';
            if (thread < 0 || thread > kThreads)
                return n;
            int  i        = next[static_cast<size_t>(thread)]++;
            bool is_reply = thread == kThreads;
            bool intact   = is_reply ? message.type == MessageType::kBlock &&
                                         message.block == SeededBytes(static_cast<size_t>(i) * 4099, i) &&
                                         message.text == std::to_string(kThreads) + ":" + std::to_string(i)
                                     : message.text == text_of(thread, i);
            if (!intact)
                return n;
        }
        return -1;
    };
    auto received = std::async(std::launch::async, [&] {
        int damaged = check();
        if (damaged >= 0)
            client->shutdown(tcp::socket::shutdown_both);
        return damaged;
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                server_->SendText(text_of(t, i));
        });
    for (int i = 0; i < kReplies; ++i) {
        std::vector<uint8_t> block = SeededBytes(static_cast<size_t>(i) * 4099, i);
        server_->SendReply(std::to_string(kThreads) + ":" + std::to_string(i), &block);
    }
    for (auto& sender : senders)
        sender.join();
    if (received.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        client->shutdown(tcp::socket::shutdown_both);
    EXPECT_EQ(received.get(), -1) << "first damaged or missing message";
}

TEST_F(ServerTest, SendsWithoutAClientAreSkippedAndSendsToAVanishedClientDoNotKill) {
    server_->SendReply("nobody listens\n");
    server_->SendText("nobody listens\n");
    server_->DesignateReplyFile(dir_.File("missing.bin"));
    server_->SendReply("designation dropped\n");

    auto client = Connect();
    ASSERT_FALSE(SendMessage(*client, MessageType::kText, {}, "bye"));
    ASSERT_EQ(server_->ReadMessage().text, "bye");
    server_->SendReply("first reply\n");
    EXPECT_EQ(Receive(*client).type, MessageType::kText)
        << "the designation made without a client must not survive";
    client->close();
    // Writing into a closed connection fails with a broken pipe: the process must
    // survive it and report the disconnect on the next read.
    std::string big(4 << 20, 'x');
    for (int i = 0; i < 4; ++i)
        server_->SendReply(big);
    EXPECT_EQ(server_->ReadMessage().text, "");
    EXPECT_FALSE(server_->ClientConnected());
}

TEST(ServerCreation, APortInUseCannotBeOpenedTwice) {
    testing::internal::CaptureStdout();
    Server first(0, "unused");
    EXPECT_THROW(Server(first.Port(), "unused"), boost::system::system_error);
    testing::internal::GetCapturedStdout();
}
