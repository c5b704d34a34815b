#include "cli/output.h"

#include <cstdio>
#include <string_view>

#include "cli/solver_state.h"
#include "platform/console.h"

void OutputBuffer::Append(const std::string& text, bool filter_info_lines) {
    std::lock_guard lock(mutex_);
    if (filter_info_lines && !text.empty() && text[0] == '#' && !info_lines_enabled_)
        return;
    buffer_ += text;
}

void OutputBuffer::Flush() {
    std::lock_guard  lock(mutex_);
    std::string_view rest = buffer_;
    while (!rest.empty()) {
        size_t           end  = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty()) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    std::fflush(stdout);
    buffer_.clear();
    info_lines_enabled_ = false;
}

std::string OutputBuffer::Take() {
    std::lock_guard lock(mutex_);
    std::string     taken;
    taken.swap(buffer_);
    info_lines_enabled_ = false;
    return taken;
}

void WriteDirect(const std::string& text) {
    std::lock_guard lock(State().output.Mutex());
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void SetColor(int attribute) {
    if (State().interp.color)
        SetConsoleColor(attribute);
}

void FlushOutput() {
    // In server mode the buffer is the reply of the running command: the server loop
    // sends it to the client when the command is done.
    if (State().interp.server_mode)
        return;
    State().output.Flush();
    SetColor(7);
}
