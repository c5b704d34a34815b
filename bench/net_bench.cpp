// net_bench: speed of server mode over the loopback interface.
//
// Starts the program (build/quillane beside this executable, or --binary) with --server
// --exit on a free port of 127.0.0.1 in a temporary directory, then measures:
//   1. commands per second for is_ready round trips (one message out, one reply back);
//   2. bytes per second for a large type-3 file transfer (client to the server's
//      transfer file on disk, until the reply to the carried command arrives);
//   3. bytes per second for a large type-4 block (client to server memory, same end).
// Each transfer runs several times; the best and the median are printed.
//
// Usage: net_bench [--binary PATH] [--commands N] [--mib M] [--runs R]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "net/mapped_file.h"
#include "net/message_io.h"

namespace {

using boost::asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct BenchOptions {
    std::string binary;
    int         commands = 20000;
    int         mib      = 256;
    int         runs     = 3;
};

[[noreturn]] void Fail(const std::string& text) {
    std::fprintf(stderr, "net_bench: %s\n", text.c_str());
    std::exit(1);
}

BenchOptions ParseBenchOptions(int argc, char** argv) {
    BenchOptions options;
    options.binary = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quillane";
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i], value = argv[i + 1];
        if (name == "--binary")
            options.binary = value;
        else if (name == "--commands")
            options.commands = std::max(1, std::atoi(value.c_str()));
        else if (name == "--mib")
            options.mib = std::max(1, std::atoi(value.c_str()));
        else if (name == "--runs")
            options.runs = std::max(1, std::atoi(value.c_str()));
        else
            Fail("unknown option " + name);
    }
    return options;
}

int FreeLoopbackPort(boost::asio::io_context& io) {
    tcp::acceptor probe(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
    return probe.local_endpoint().port();
}

// Starts the server in 'directory' with its console discarded; returns its process id.
pid_t StartServer(const BenchOptions& options, const std::string& directory, int port) {
    std::fflush(stdout);  // the child must not repeat what is still buffered
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(directory.c_str()) != 0)
            _exit(127);
        std::FILE* null = std::freopen("/dev/null", "w", stdout);
        (void)null;
        std::string port_text = std::to_string(port);
        execl(options.binary.c_str(), options.binary.c_str(), "--server", "--port",
              port_text.c_str(), "--exit", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Connects to a freshly started server; tries new ports while one was taken meanwhile.
pid_t ConnectToNewServer(const BenchOptions& options, const std::string& directory,
                         boost::asio::io_context& io, tcp::socket& socket, int& port) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        port      = FreeLoopbackPort(io);
        pid_t pid = StartServer(options, directory, port);
        for (int wait = 0; wait < 200; ++wait) {
            boost::system::error_code error;
            socket.connect(tcp::endpoint(boost::asio::ip::address_v4::loopback(),
                                         static_cast<unsigned short>(port)),
                           error);
            if (!error) {
                socket.set_option(tcp::no_delay(true));
                return pid;
            }
            socket.close();
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    Fail("could not start " + options.binary + " in server mode");
}

std::string Exchange(tcp::socket& socket, MessageType type, std::span<const uint8_t> payload,
                     const std::string& text) {
    if (SendMessage(socket, type, payload, text))
        Fail("send failed");
    Message            reply;
    DiscardingFileSink discard;
    if (ReceiveMessage(socket, reply, discard) != ReceiveStatus::kOk)
        Fail("connection lost");
    return reply.text;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BenchRoundTrips(tcp::socket& socket, int commands) {
    for (int i = 0; i < std::min(commands, 1000); ++i)  // warm-up
        Exchange(socket, MessageType::kText, {}, "is_ready");
    auto start = Clock::now();
    for (int i = 0; i < commands; ++i)
        if (Exchange(socket, MessageType::kText, {}, "is_ready") != "is_ready ok!\n")
            Fail("unexpected reply to is_ready");
    double seconds = Seconds(Clock::now() - start);
    std::printf("is_ready round trips: %d in %.3f s = %.0f commands/s (%.1f us each)\n", commands,
                seconds, commands / seconds, 1e6 * seconds / commands);
}

void BenchTransfer(tcp::socket& socket, MessageType type, std::span<const uint8_t> payload,
                   int runs, const char* label) {
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        auto start = Clock::now();
        if (Exchange(socket, type, payload, "is_ready") != "is_ready ok!\n")
            Fail("unexpected reply to a transfer");
        seconds.push_back(Seconds(Clock::now() - start));
    }
    std::sort(seconds.begin(), seconds.end());
    double mib = static_cast<double>(payload.size()) / (1 << 20);
    std::printf("%s: %.0f MiB, best %.3f s = %.0f MiB/s, median %.3f s = %.0f MiB/s (%d runs)\n",
                label, mib, seconds.front(), mib / seconds.front(), seconds[seconds.size() / 2],
                mib / seconds[seconds.size() / 2], runs);
}

std::string MakePayloadFile(const std::string& directory, int mib) {
    std::string path = directory + "/payload.bin";
    std::FILE*  out  = std::fopen(path.c_str(), "wb");
    if (!out)
        Fail("can't create " + path);
    std::vector<uint8_t> chunk(1 << 20);
    uint64_t             state = 0x9E3779B97F4A7C15ull;  // xorshift: incompressible, seeded
    for (int m = 0; m < mib; ++m) {
        for (auto& b : chunk) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            b = static_cast<uint8_t>(state);
        }
        std::fwrite(chunk.data(), 1, chunk.size(), out);
    }
    std::fclose(out);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options = ParseBenchOptions(argc, argv);
    std::printf("net_bench --binary %s --commands %d --mib %d --runs %d\n", options.binary.c_str(),
                options.commands, options.mib, options.runs);
    char        pattern[] = "/tmp/quillane_net_bench.XXXXXX";
    std::string directory = mkdtemp(pattern);

    boost::asio::io_context io;
    tcp::socket             socket(io);
    int                     port = 0;
    pid_t server = ConnectToNewServer(options, directory, io, socket, port);
    std::printf("server on 127.0.0.1:%d, working in %s\n", port, directory.c_str());

    BenchRoundTrips(socket, options.commands);
    {
        MappedFile payload;
        if (!payload.Open(MakePayloadFile(directory, options.mib)))
            Fail(payload.Error());
        BenchTransfer(socket, MessageType::kFile, payload.Bytes(), options.runs,
                      "type-3 file transfer to disk");
        if (std::filesystem::file_size(directory + "/quillane_temp") != payload.Bytes().size())
            Fail("transfer file has the wrong size");
        BenchTransfer(socket, MessageType::kBlock, payload.Bytes(), options.runs,
                      "type-4 block transfer to memory");
    }

    socket.close();  // the server was started with --exit
    int status = 0;
    waitpid(server, &status, 0);
    std::filesystem::remove_all(directory);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail("server did not end cleanly");
    return 0;
}
