// A whole file mapped read-only into memory, so that a message can carry it in one
// gather write without copying it: the system reads the pages as the socket sends them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    // Owns a mapping: copies would unmap it twice.
    MappedFile(const MappedFile&)            = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the regular file at 'path'; returns false and leaves the reason in Error()
    // when it cannot be opened, is not a regular file or cannot be mapped. An empty file
    // maps to an empty span. Call once per object.
    [[nodiscard]] bool Open(const std::string& path);

    std::span<const uint8_t> Bytes() const { return {data_, size_}; }
    const std::string&       Error() const { return error_; }

private:
    const uint8_t* data_ = nullptr;
    size_t         size_ = 0;
    std::string    error_;
};
