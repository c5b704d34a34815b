// Byte streams for saving and restoring strategy storage.
//
// StorageWriter appends little-endian fields to a byte vector (the tree-file writer
// decides where the bytes go and whether they are compressed). StorageReader reads them
// back from a span and never trusts them: every read is bounds-checked, and a failed read
// leaves the reader in a failed state that all later reads keep (so a caller checks once,
// at the end of a section).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

enum class StorageStatus {
    kOk,
    kTruncated,       // the bytes end inside a record
    kWrongKind,       // the section belongs to another storage kind
    kWrongVersion,    // written by a format version this build cannot read
    kLayoutMismatch,  // actions, combos or slots differ from the node's
    kBadValue,        // a field outside its bounds
};

// "truncated storage data", "wrong storage kind", ... for error messages.
const char* StorageStatusText(StorageStatus status);

class StorageWriter {
public:
    template <class T>
    void Put(const T& value) {
        PutBytes(&value, sizeof(T));
    }
    void PutBytes(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

class StorageReader {
public:
    explicit StorageReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    // Reads one field; on running out of bytes returns false, zero-fills and stays failed.
    template <class T>
    bool Get(T& value) {
        return GetBytes(&value, sizeof(T));
    }
    bool GetBytes(void* data, size_t size) {
        if (failed_ || bytes_.size() - position_ < size) {
            failed_ = true;
            std::memset(data, 0, size);
            return false;
        }
        std::memcpy(data, bytes_.data() + position_, size);
        position_ += size;
        return true;
    }
    bool   failed() const { return failed_; }
    size_t position() const { return position_; }
    bool   AtEnd() const { return position_ == bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
    size_t                   position_ = 0;
    bool                     failed_   = false;
};
