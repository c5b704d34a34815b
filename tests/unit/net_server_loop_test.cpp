#include <gtest/gtest.h>

#include <future>

#include "cli/solver_state.h"
#include "net/message_io.h"
#include "net/server.h"
#include "net/server_loop.h"
#include "tests/unit/net_loopback.h"

using namespace net_test;

namespace {

// Runs the server loop's steps on this thread against the process state, with a client
// socket on the test's side.
class ServerLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::internal::CaptureStdout();
        ASSERT_TRUE(CreateServer(0, dir_.File("quillane_temp")));
        State().interp.server_mode = true;
        client_.connect(Loopback(State().net.server->Port()));
    }
    void TearDown() override {
        State().interp.server_mode           = false;
        State().interp.exit_after_disconnect = false;
        State().interp.suppressok            = false;
        State().net.server.reset();
        console_ += testing::internal::GetCapturedStdout();
        if (HasFailure())
            std::fwrite(console_.data(), 1, console_.size(), stdout);
    }

    std::string Console() {
        console_ += testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return console_;
    }

    // Sends one message, serves it and returns the reply.
    Message Serve(const std::string& text, MessageType type = MessageType::kText,
                  const std::vector<uint8_t>& payload = {}) {
        EXPECT_FALSE(SendMessage(client_, type, payload, text));
        EXPECT_TRUE(ServeOneMessage());
        Message            reply;
        DiscardingFileSink discard;
        EXPECT_EQ(ReceiveMessage(client_, reply, discard), ReceiveStatus::kOk);
        return reply;
    }

    TempDir                 dir_;
    boost::asio::io_context io_;
    tcp::socket             client_{io_};
    std::string             console_;
};

}  // namespace

TEST_F(ServerLoopTest, EachReplyIsTheWholeOutputOfOneCommand) {
    Message reply = Serve("is_ready");
    EXPECT_EQ(reply.type, MessageType::kText);
    EXPECT_EQ(reply.text, "is_ready ok!\n");
    EXPECT_EQ(Serve("repeat 2 a  \"b c\"").text, "a b c\na b c\nEND\n");
    EXPECT_EQ(Serve("set_value net_loop_v 7").text, "set_value ok!\n");
    EXPECT_EQ(Serve("echo $net_loop_v").text, "7\n");
    EXPECT_EQ(Serve("bogus 1").text, "ERROR: Command bogus not recognized\n");
    EXPECT_EQ(Serve("is_ready\n").text, "ERROR: Command is_ready\n not recognized\n")
        << "a newline belongs to the command word";
    EXPECT_EQ(Serve("is_ready\r").text, "ERROR: Command is_ready\r not recognized\n");
    EXPECT_EQ(Serve("   ").text, "") << "a text without tokens still gets its (empty) reply";
}

TEST_F(ServerLoopTest, ConsoleTraceShowsCommandsAndNonEmptyReplies) {
    Serve("echo traced");
    State().interp.suppressok = true;
    EXPECT_EQ(Serve("is_ready").text, "") << "an empty reply is still sent";
    std::string console = Console();
    EXPECT_NE(console.find("> echo traced\n< traced\n> is_ready\n"), std::string::npos) << console;
    EXPECT_EQ(console.find("< \n"), std::string::npos) << "empty replies are not traced";
}

TEST_F(ServerLoopTest, QuietCommandsRunButAreNotTraced) {
    Serve("ping");
    Serve("traverse_subgames 1 2", MessageType::kBlock, SeededBytes(100, 1));
    Serve("echo after");
    std::string console = Console();
    EXPECT_EQ(console.find("ping"), std::string::npos) << console;
    EXPECT_EQ(console.find("traverse_subgames"), std::string::npos) << console;
    EXPECT_NE(console.find("> echo after\n< after\n"), std::string::npos) << console;
}

TEST_F(ServerLoopTest, ABlockBecomesTheInputBlockAndAnEmptyOutputBlockGivesATextReply) {
    std::vector<uint8_t> block = SeededBytes(3 * kFileChunkSize + 1, 7);
    auto                 sent  = std::async(std::launch::async, [&] {
        return SendMessage(client_, MessageType::kBlock, block, "is_ready");
    });
    EXPECT_TRUE(ServeOneMessage());
    EXPECT_FALSE(sent.get());
    EXPECT_EQ(State().net.input_block, block);
    EXPECT_TRUE(State().net.output_block.empty());
    Message            reply;
    DiscardingFileSink discard;
    ASSERT_EQ(ReceiveMessage(client_, reply, discard), ReceiveStatus::kOk);
    EXPECT_EQ(reply.type, MessageType::kText);
    EXPECT_EQ(reply.text, "is_ready ok!\n");

    Serve("is_ready");
    EXPECT_TRUE(State().net.input_block.empty()) << "a text message leaves no input block";
}

TEST_F(ServerLoopTest, ScriptOutputStaysInTheReplyInsteadOfReachingTheConsole) {
    WriteWholeFile(dir_.File("script.txt"), Bytes("echo one\nrepeat 2 two\nis_ready\n"));
    std::string before = Console();
    EXPECT_EQ(Serve("load_script \"" + dir_.File("script.txt") + "\"").text,
              "one\ntwo\ntwo\nEND\nis_ready ok!\n");
    std::string console = Console().substr(before.size());
    EXPECT_EQ(console.find("\none\n"), std::string::npos) << console;
}

TEST_F(ServerLoopTest, AnEmptyTextOrADisconnectEndsTheLoopOnlyWithExit) {
    EXPECT_FALSE(SendMessage(client_, MessageType::kText, {}, ""));
    EXPECT_TRUE(ServeOneMessage()) << "without --exit the loop goes on";
    State().interp.exit_after_disconnect = true;
    EXPECT_FALSE(SendMessage(client_, MessageType::kText, {}, ""));
    EXPECT_FALSE(ServeOneMessage()) << "with --exit an empty text ends the loop";
    EXPECT_TRUE(State().net.server->ClientConnected()) << "even with the client still there";

    client_.close();
    State().interp.exit_after_disconnect = false;
    EXPECT_TRUE(ServeOneMessage());
    EXPECT_FALSE(State().net.server->ClientConnected());
}

TEST_F(ServerLoopTest, ADesignatedReplyFileTurnsTheNextReplyIntoTypeThree) {
    std::vector<uint8_t> file = SeededBytes(2 * kFileChunkSize + 3, 8);
    WriteWholeFile(dir_.File("reply.bin"), file);
    DesignateReplyFile(dir_.File("reply.bin"));
    EXPECT_FALSE(SendMessage(client_, MessageType::kText, {}, "echo with file"));
    auto served = std::async(std::launch::async, [] { return ServeOneMessage(); });
    Message reply;
    struct Collect final : FileSink {
        std::vector<uint8_t> bytes;
        void Begin(uint64_t) override {}
        void Write(const uint8_t* data, size_t size) override {
            bytes.insert(bytes.end(), data, data + size);
        }
        void End(bool) override {}
    } collected;
    ASSERT_EQ(ReceiveMessage(client_, reply, collected), ReceiveStatus::kOk);
    EXPECT_TRUE(served.get());
    EXPECT_EQ(reply.type, MessageType::kFile);
    EXPECT_EQ(reply.text, "with file\n");
    EXPECT_EQ(collected.bytes, file);
    EXPECT_EQ(Serve("is_ready").type, MessageType::kText) << "the designation is used once";
}

TEST_F(ServerLoopTest, SendToClientSendsAMessageOfItsOwn) {
    Serve("is_ready");
    SendToClient("SOLVER: started\n");
    Message            message;
    DiscardingFileSink discard;
    ASSERT_EQ(ReceiveMessage(client_, message, discard), ReceiveStatus::kOk);
    EXPECT_EQ(message.text, "SOLVER: started\n");
}
