// Writes a tree file through a 1 MiB buffer.
//
// The bytes go to "<name>.part" first; Commit() renames it over <name>. A writer
// destroyed without Commit() (an error part-way) removes the part file, so a failed
// dump_tree never leaves a truncated file nor destroys an older file of that name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class FileWriter {
public:
    static constexpr size_t kBufferBytes = 1 << 20;

    // Throws IOException "can't open file (<name>)" when the part file cannot be created,
    // BadConversion for a name that is not valid UTF-8.
    explicit FileWriter(const std::string& name);
    ~FileWriter();

    FileWriter(const FileWriter&)            = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Throws IOException "can't write to file (<name>)" on a system error.
    void Write(const void* data, size_t count);

    template <class T>
    void Put(const T& value) {
        Write(&value, sizeof value);
    }

    uint64_t BytesWritten() const { return written_; }

    // Flushes, closes and renames the part file to the name. Throws the write error.
    void Commit();

private:
    void Drain();
    [[noreturn]] void WriteFailed() const;

    std::string                name_;
    std::string                part_name_;
    int                        fd_ = -1;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t                     used_    = 0;
    uint64_t                   written_ = 0;
};
