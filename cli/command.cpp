#include "cli/command.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "cli/solver_state.h"

// Formats into a line-sized buffer on the stack; longer texts are formatted again at their
// length, cut as a 64 KiB buffer would cut them.
void Print(const char* format, ...) {
    constexpr size_t kLineSize    = 1024;
    constexpr size_t kScratchSize = 65536;
    char             line[kLineSize];
    va_list          args, again;
    va_start(args, format);
    va_copy(again, args);
    const int length = std::vsnprintf(line, kLineSize, format, args);
    va_end(args);
    if (length < 0 || size_t(length) < kLineSize) {
        va_end(again);
        State().output.Append(length < 0 ? "" : line, /*filter_info_lines=*/true);
        return;
    }
    std::string text(std::min(size_t(length), kScratchSize - 1), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    State().output.Append(text, /*filter_info_lines=*/true);
}

void PrintText(const std::string& text) { State().output.Append(text, /*filter_info_lines=*/false); }

void PrintOk(const Tokens& tokens) {
    if (!State().interp.suppressok)
        Print("%s ok!\n", tokens[0].c_str());
}

void PrintEnd() {
    if (State().interp.end_string.empty())
        Print("END\n");
}

namespace {

// The error texts are cut to 256 bytes, as the formatted message buffer of the protocol.
std::string Limited(std::string text) {
    constexpr size_t kMaxMessage = 255;
    if (text.size() > kMaxMessage) {
        text.resize(kMaxMessage - 1);
        text += '\n';
    }
    return text;
}

}  // namespace

void CommandError(const std::string& text) {
    throw std::runtime_error(
        Limited("ERROR: " + State().interp.current_command + " " + text + "\n"));
}

void ArgumentCountError(const Tokens& tokens) {
    throw std::runtime_error(Limited("ERROR: " + tokens[0] + " incorrect or missing argument\n"));
}

int64_t ParseInt64(const std::string& text) {
    const char* begin = text.c_str();
    char*       end   = nullptr;
    errno             = 0;
    long long value   = std::strtoll(begin, &end, 10);
    if (end == begin)
        throw std::invalid_argument("invalid stoll argument");
    if (errno == ERANGE)
        throw std::out_of_range("stoll argument out of range");
    return value;
}

int ParseInt(const std::string& text) {
    int64_t value = ParseInt64(text);
    if (value < INT_MIN || value > INT_MAX)
        throw std::out_of_range("stoi argument out of range");
    return static_cast<int>(value);
}

double ParseDouble(const std::string& text) {
    const char* begin = text.c_str();
    char*       end   = nullptr;
    errno             = 0;
    double value      = std::strtod(begin, &end);
    if (end == begin)
        throw std::invalid_argument("invalid stod argument");
    if (errno == ERANGE)  // overflow, or underflow below the normal doubles
        throw std::out_of_range("stod argument out of range");
    return value;
}
