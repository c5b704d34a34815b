// The id-2 coder: arrays of unsigned 32-bit values, mostly small or zero, spread over 24
// byte streams so that bytes of one kind share a stream and its statistics.
//
//   stream 0        one header byte per array (given by the caller)
//   stream 1        presence masks: a byte per group of up to eight values, bit i set when
//                   value i of the group is non-zero
//   streams 2..17   literals: v - 1 for each non-zero v below 256, in stream 2 + c, where
//                   the context c is the array's previous literal capped at 15 (0 at the
//                   start of each array)
//   streams 18, 19  escapes for 255 <= v - 1 <= 65534: low byte, high byte of v - 1
//   streams 18..23  escapes for v - 1 > 65534: 255 in streams 18 and 19, then the four
//                   bytes of v - 1, least significant first, in streams 20..23
// An escaped value writes 255 into its context stream and sets the context to 15.
//
// Each stream collects its bytes in a 64 KiB buffer from the scalable aligned allocator
// and is flushed (coded as one block, see codec.h) when the buffer is full and at the end.
// The decoder refills a stream from its next block when the stream runs dry.
//
// The decoder accepts only what the encoder writes: a mask bit beyond the array's end, a
// two-byte escape of a value below 255 or a four-byte escape of one below 65535 is
// kCorrupt. Both directions are linear in the values plus one FSE pass per 64 KiB block.
#pragma once

#include <array>
#include <deque>
#include <vector>

#include "tree/codec.h"

inline constexpr int    kCodecStreams      = 24;
inline constexpr size_t kStreamBufferBytes = 64 * 1024;

inline constexpr int kHeaderStream   = 0;
inline constexpr int kMaskStream     = 1;
inline constexpr int kLiteralStream  = 2;   // + context
inline constexpr int kEscapeLowStream = 18;
inline constexpr int kEscapeHighStream = 19;
inline constexpr int kWideEscapeStream = 20;  // .. 23

// A 64 KiB buffer from scalable_aligned_malloc; ends the program if none can be had.
class StreamBuffer {
public:
    StreamBuffer();
    ~StreamBuffer();
    StreamBuffer(const StreamBuffer&)            = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    uint8_t* data() const { return data_; }

private:
    uint8_t* data_;
};

class StreamCompressor final : public Compressor {
public:
    explicit StreamCompressor(CodecSink sink);

    void PackArray(std::span<const uint32_t> values, uint8_t header) override;
    void Finish() override;

private:
    void Put(int stream, uint8_t byte) {
        uint8_t* data = buffers_[stream].data();
        data[sizes_[stream]++] = byte;
        if (sizes_[stream] == kStreamBufferBytes)
            Flush(stream);
    }
    void PutNonZero(uint32_t value, uint32_t& context);
    void Flush(int stream);

    CodecSink                                  sink_;
    std::array<StreamBuffer, kCodecStreams>    buffers_;
    std::array<size_t, kCodecStreams>          sizes_{};
    std::vector<uint8_t>                       coded_;
};

class StreamDecompressor final : public Decompressor {
public:
    explicit StreamDecompressor(CodecSource source);

    [[nodiscard]] CodecStatus UnpackArray(std::span<uint32_t> values, uint8_t header) override;
    [[nodiscard]] CodecStatus Finish() override;

private:
    struct Block {
        uint32_t             n = 0, c = 0;
        std::vector<uint8_t> payload;
    };

    // The stream's next byte; on failure sets status_ and returns 0.
    uint8_t Next(int stream) {
        if (positions_[stream] < sizes_[stream])
            return buffers_[stream].data()[positions_[stream]++];
        return Refill(stream);
    }
    uint8_t  Refill(int stream);
    uint32_t NextNonZero(uint32_t& context);
    // Reads one block from the source (stream number in 'stream', kEndOfStreams at the
    // end); false when the source failed or the framing is bad (status_ set).
    bool ReadBlock(int& stream, Block& block);
    bool Decode(int stream, const Block& block);
    void Fail(CodecStatus status) {
        if (status_ == CodecStatus::kOk)
            status_ = status;
    }

    CodecSource                                   source_;
    std::array<StreamBuffer, kCodecStreams>       buffers_;
    std::array<size_t, kCodecStreams>             sizes_{};
    std::array<size_t, kCodecStreams>             positions_{};
    std::array<std::deque<Block>, kCodecStreams>  pending_;
    bool                                          ended_  = false;
    CodecStatus                                   status_ = CodecStatus::kOk;
};
