// quillane-client: drives a Quillane server from the command line.
//
// Connects to host:port, sends each line of standard input (or each --cmd value) as one
// text message, waits for the reply and writes its text to standard output unchanged.
// Lines end at LF, CR or CR LF and empty lines are skipped, as at the console, so a
// script piped in gives the same replies it would give typed at the program's console.
// --file or --block makes the first message carry a file (type 3) or a block (type 4);
// --payload-out keeps the file or block that replies carry. An empty --cmd value is sent
// as an empty text, which the server never answers: it reads it as the end of a session
// (with --exit in force the server ends), so the client does not wait for a reply.
//
// Exit codes: 0 every message was answered; 1 bad options, unreadable file or no
// connection; 2 the server closed the connection before answering everything.
#include <tclap/CmdLine.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "net/mapped_file.h"
#include "net/message_io.h"
#include "net/transfer_file.h"

namespace {

using boost::asio::ip::tcp;

constexpr const char* kDefaultAddress = "127.0.0.1:5251";
constexpr const char* kDefaultPort    = "5251";

struct ClientOptions {
    std::string              host, port;
    std::vector<std::string> commands;  // empty: read standard input
    std::string              file, block, payload_out;
};

[[noreturn]] void Fail(int code, const std::string& text) {
    std::fprintf(stderr, "quillane-client: %s\n", text.c_str());
    std::exit(code);
}

ClientOptions ParseClientOptions(int argc, char** argv) {
    TCLAP::CmdLine cmd("Sends command lines to a Quillane server and prints its replies.", ' ',
                       "1084");
    TCLAP::UnlabeledValueArg<std::string> address(
        "address", "server address host:port (default 127.0.0.1:5251)", false, kDefaultAddress,
        "host:port", cmd);
    TCLAP::MultiArg<std::string> command(
        "c", "cmd", "send this text as one command, verbatim; standard input is then not read",
        false, "command", cmd);
    TCLAP::ValueArg<std::string> file("f", "file",
                                      "send the first command as a type-3 message with this file",
                                      false, "", "path", cmd);
    TCLAP::ValueArg<std::string> block(
        "b", "block", "send the first command as a type-4 message with this file's bytes as block",
        false, "", "path", cmd);
    TCLAP::ValueArg<std::string> payload_out(
        "o", "payload-out", "write the block or file a reply carries to this path", false, "",
        "path", cmd);
    cmd.parse(argc, argv);

    ClientOptions options;
    std::string   text  = address.getValue();
    size_t        colon = text.rfind(':');
    options.host        = colon == std::string::npos ? text : text.substr(0, colon);
    options.port        = colon == std::string::npos ? kDefaultPort : text.substr(colon + 1);
    options.commands    = command.getValue();
    options.file        = file.getValue();
    options.block       = block.getValue();
    options.payload_out = payload_out.getValue();
    if (!options.file.empty() && !options.block.empty())
        Fail(1, "--file and --block exclude each other");
    return options;
}

// The command lines to send, one at a time: the --cmd values, or standard input.
class CommandSource {
public:
    explicit CommandSource(const std::vector<std::string>& commands) : commands_(commands) {}

    std::optional<std::string> Next() {
        if (!commands_.empty())
            return next_ < commands_.size() ? std::optional(commands_[next_++]) : std::nullopt;
        return NextInputLine();
    }

private:
    std::optional<std::string> NextInputLine() {
        std::string line;
        for (int c; (c = std::getchar()) != EOF;) {
            if (c == '\r') {
                int after = std::getchar();
                if (after != '\n' && after != EOF)
                    std::ungetc(after, stdin);
            }
            if (c == '\r' || c == '\n') {
                if (line.empty())
                    continue;
                return line;
            }
            line += static_cast<char>(c);
        }
        return line.empty() ? std::nullopt : std::optional(line);
    }

    const std::vector<std::string>& commands_;
    size_t                          next_ = 0;
};

void WritePayload(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        Fail(1, "can't write '" + path + "'");
    std::fclose(out);
}

// Sends one command, with the payload of 'attachment' when it is open, and prints the
// reply; returns false when the connection ended first.
bool Exchange(tcp::socket& socket, const std::string& text, MessageType type,
              const MappedFile& attachment, const ClientOptions& options) {
    if (SendMessage(socket, type, attachment.Bytes(), text))
        return false;
    if (text.empty())
        return true;
    Message            reply;
    TransferFileWriter file_out(options.payload_out, [](const std::string& problem) {
        std::fprintf(stderr, "quillane-client: %s\n", problem.c_str());
    });
    DiscardingFileSink discard;
    FileSink& sink = options.payload_out.empty() ? static_cast<FileSink&>(discard) : file_out;
    if (ReceiveMessage(socket, reply, sink) != ReceiveStatus::kOk)
        return false;
    std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
    std::fflush(stdout);
    if (reply.type == MessageType::kBlock && !options.payload_out.empty())
        WritePayload(options.payload_out, reply.block);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    ClientOptions options = ParseClientOptions(argc, argv);

    MappedFile  attachment;
    MessageType first_type = MessageType::kText;
    if (!options.file.empty() || !options.block.empty()) {
        first_type = options.file.empty() ? MessageType::kBlock : MessageType::kFile;
        if (!attachment.Open(options.file.empty() ? options.block : options.file))
            Fail(1, attachment.Error());
    }

    boost::asio::io_context   io;
    tcp::socket               socket(io);
    boost::system::error_code error;
    boost::asio::connect(socket, tcp::resolver(io).resolve(options.host, options.port, error),
                         error);
    if (error)
        Fail(1, "can't connect to " + options.host + ":" + options.port + " (" + error.message() +
                    ")");
    socket.set_option(tcp::no_delay(true), error);

    CommandSource source(options.commands);
    MappedFile    none;
    bool          first = true;
    while (std::optional<std::string> text = source.Next()) {
        if (!Exchange(socket, *text, first ? first_type : MessageType::kText,
                      first ? attachment : none, options))
            Fail(2, "connection closed by the server");
        first = false;
    }
    if (first && first_type != MessageType::kText)
        Fail(1, "no command to carry the file or block");
    return 0;
}
