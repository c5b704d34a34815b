// The server's transfer file: the file bytes of a type-3 message are written into it as
// they arrive, replacing the previous content. Commands of other subsystems read it
// afterwards (a tree sent by the client, for example).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "net/message_io.h"

class TransferFileWriter final : public FileSink {
public:
    // 'report' receives the text of every storage error, once per message; the rest of
    // the message is still received.
    TransferFileWriter(std::string path, std::function<void(const std::string&)> report);
    ~TransferFileWriter() override;
    // Owns an open file.
    TransferFileWriter(const TransferFileWriter&)            = delete;
    TransferFileWriter& operator=(const TransferFileWriter&) = delete;

    // Truncates (or creates) the file.
    void Begin(uint64_t length) override;
    void Write(const uint8_t* data, size_t size) override;
    // Closes the file. An incomplete or failed transfer deletes it, so that no command
    // ever reads a truncated file as if it were whole.
    void End(bool complete) override;

private:
    void Fail(const std::string& what);

    std::string                              path_;
    std::function<void(const std::string&)> report_;
    std::FILE*                               file_   = nullptr;
    bool                                     failed_ = false;
};
