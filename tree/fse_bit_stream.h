// Bit I/O of the FSE coder: a forward writer that packs values least significant bit
// first, and a reader that takes them back in the reverse order of writing.
//
// tANS decodes in the reverse order of encoding, so the encoder runs over the bytes last
// to first and the decoder reads its bit stream from the end. The writer keeps a 64-bit
// accumulator and spills whole bytes; the reader keeps a 64-bit window of the bytes just
// below its position and reloads it when fewer than 57 unread bits remain in it, so every
// read of up to 25 bits is one shift and mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class ForwardBitWriter {
public:
    ForwardBitWriter(uint8_t* begin, size_t capacity) : begin_(begin), capacity_(capacity) {}

    // Appends the low 'count' bits of 'value' (count <= 32; higher bits must be 0).
    void Write(uint64_t value, int count) {
        accumulator_ |= value << filled_;
        filled_ += count;
        if (filled_ >= 32)
            Spill();
    }

    // Writes out the remaining bits, padding the last byte with zeros. Returns the bytes
    // written, or 0 when they did not fit the capacity.
    size_t Finish() {
        Spill();
        if (filled_ > 0)
            Put(static_cast<uint8_t>(accumulator_));
        accumulator_ = 0;
        filled_      = 0;
        return overflow_ ? 0 : size_;
    }

    bool Overflowed() const { return overflow_; }

private:
    void Spill() {
        while (filled_ >= 8) {
            Put(static_cast<uint8_t>(accumulator_));
            accumulator_ >>= 8;
            filled_ -= 8;
        }
    }
    void Put(uint8_t byte) {
        if (size_ < capacity_)
            begin_[size_++] = byte;
        else
            overflow_ = true;
    }

    uint8_t* begin_;
    size_t   capacity_;
    size_t   size_        = 0;
    uint64_t accumulator_ = 0;
    int      filled_      = 0;
    bool     overflow_    = false;
};

// Reads 'bit_count' bits stored in [begin, begin + bytes) from the top down. Reads past
// the beginning yield zero bits and are counted, so that a decoder can run its loop
// without per-read checks and test Exhausted()/Overrun() once at the end.
class BackwardBitReader {
public:
    BackwardBitReader(const uint8_t* begin, size_t bytes, uint64_t bit_count)
        : begin_(begin), bytes_(bytes), remaining_(static_cast<int64_t>(bit_count)) {
        Reload();
    }

    // The next 'count' bits (0 <= count <= 25) below the current position.
    uint32_t Read(int count) {
        if (count == 0)
            return 0;
        if (unread_in_window_ < count)
            Reload();
        unread_in_window_ -= count;
        remaining_ -= count;
        return static_cast<uint32_t>((window_ >> unread_in_window_) & ((uint64_t{1} << count) - 1));
    }

    bool    Exhausted() const { return remaining_ == 0; }
    bool    Overrun() const { return remaining_ < 0; }
    int64_t Remaining() const { return remaining_; }

private:
    // Loads the 8 bytes that end at the byte holding the current position; bytes before
    // 'begin_' read as zero.
    void Reload() {
        const int64_t position = remaining_ > 0 ? remaining_ : 0;  // bits below the cursor
        const int64_t top_byte = (position + 7) / 8;               // bytes [0, top_byte)
        const int64_t first    = top_byte - 8;
        if (first >= 0 && top_byte <= int64_t(bytes_)) {
            std::memcpy(&window_, begin_ + first, 8);
        } else {
            uint8_t bytes[8] = {};
            for (int64_t i = first < 0 ? 0 : first; i < top_byte && i < int64_t(bytes_); ++i)
                bytes[i - first] = begin_[i];
            std::memcpy(&window_, bytes, 8);
        }
        // Bits of the window below the cursor: the cursor sits at bit 'position' of the
        // stream, which is bit position - 8 * first of the window.
        unread_in_window_ = static_cast<int>(position - 8 * first);
        if (remaining_ <= 0)
            unread_in_window_ = 64;  // past the start: serve zeros
    }

    const uint8_t* begin_;
    size_t         bytes_;
    int64_t        remaining_;
    uint64_t       window_           = 0;
    int            unread_in_window_ = 0;
};
