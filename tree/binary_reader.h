// Sequential byte sources for tree files: the abstract BinaryReader, a buffered reader of
// a file, and a reader over bytes in memory.
//
// A BinaryReader either delivers exactly the bytes asked for or throws IOException; it
// carries the file's format version once the header has been read, so that readers of
// later sections can branch on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A failed file operation; the message is the complete reason ("can't open file (x)").
class IOException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file name that is not valid UTF-8 (the system's wide-character file interfaces could
// not take it).
class BadConversion : public std::range_error {
public:
    BadConversion() : std::range_error("bad conversion") {}
};

class BinaryReader {
public:
    virtual ~BinaryReader() = default;

    // Copies exactly 'count' bytes to 'destination' or throws IOException.
    virtual void Read(void* destination, size_t count) = 0;

    // One little-endian field of trivially copyable type.
    template <class T>
    T Get() {
        T value;
        Read(&value, sizeof value);
        return value;
    }

    int32_t version = 0;  // format version, set by whoever reads the header
};

// Reads a file through a 1 MiB buffer, with the sequential-access hint given to the
// system. Reads at least as large as the buffer go straight to their destination.
class FileReader final : public BinaryReader {
public:
    static constexpr size_t kBufferBytes = 1 << 20;

    // Opens an existing file (not a directory) for reading. Throws BadConversion for a
    // name that is not valid UTF-8, IOException "can't open file (<name>)" when it
    // cannot be opened.
    explicit FileReader(const std::string& name);
    ~FileReader() override;

    // The descriptor is owned: copies would close it twice.
    FileReader(const FileReader&)            = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Throws IOException "can't read from file (<name>)" at the end of the file or on a
    // system error.
    void Read(void* destination, size_t count) override;

    // Positions the reader 'bytes' before the end of the file and returns everything
    // from there to the end. Throws the read error when the file is shorter or a system
    // call fails.
    std::vector<uint8_t> ReadLast(size_t bytes);

private:
    [[noreturn]] void ReadFailed() const;
    bool              Refill();

    std::string                name_;
    int                        fd_ = -1;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t                     begin_ = 0, end_ = 0;  // unread bytes of the buffer
};

// Reads from bytes in memory. Never fails: a read beyond the end copies what is left and
// zero-fills the rest of the destination; Remaining() tells how much is left.
class MemoryReader final : public BinaryReader {
public:
    explicit MemoryReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    void   Read(void* destination, size_t count) override;
    size_t Remaining() const { return bytes_.size() - position_; }

private:
    std::span<const uint8_t> bytes_;
    size_t                   position_ = 0;
};

// True when 'text' is well-formed UTF-8 (no overlong forms, surrogates or values above
// U+10FFFF).
bool IsValidUtf8(std::string_view text);
