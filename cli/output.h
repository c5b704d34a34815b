// The output buffer every reply goes through, and the few writers that bypass it.
#pragma once

#include <mutex>
#include <string>

class OutputBuffer {
public:
    // Appends text; a text beginning with '#' is dropped while info lines are disabled.
    void Append(const std::string& text, bool filter_info_lines);

    // Console mode: writes every non-empty line of the buffer to standard output (a last
    // line without a newline gets one), flushes, empties the buffer and disables info
    // lines again.
    void Flush();

    // Server mode: takes the buffered text as it stands and empties the buffer.
    std::string Take();

    void EnableInfoLines() { info_lines_enabled_ = true; }

    // Every writer of standard output holds this mutex, so solver messages from other
    // threads never interleave inside a line.
    std::mutex& Mutex() { return mutex_; }

private:
    std::mutex  mutex_;
    std::string buffer_;
    bool        info_lines_enabled_ = false;
};

// Writes text to standard output at once (under the output mutex) and flushes: the
// command echo, the server trace, start-up errors and front-end notifications.
void WriteDirect(const std::string& text);

// Switches the console text attribute (the console colour codes: 10 banner, 3 echo,
// 5 echoed comment, 4 error, 6 server trace, 11 results, 14 progress bar, 7 reset);
// does nothing unless --color is in force.
void SetColor(int attribute);

// Writes the buffered replies to the console, flushes and restores the colour. Does
// nothing in server mode, where the buffer is the reply sent to the client.
void FlushOutput();
