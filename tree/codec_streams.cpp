#include "tree/codec_streams.h"

#include <tbb/scalable_allocator.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tree/fse.h"

namespace {

constexpr uint32_t kLiteralLimit   = 255;    // v - 1 below this is a literal
constexpr uint32_t kShortEscapeTop = 65534;  // v - 1 up to this takes two escape bytes
constexpr uint8_t  kEscapeByte     = 255;
constexpr uint32_t kTopContext     = 15;
constexpr int      kGroup          = 8;

// u8 stream, u32 n, u32 c.
constexpr size_t kBlockHeaderBytes = 9;

void PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* in) {
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

}  // namespace

StreamBuffer::StreamBuffer()
    : data_(static_cast<uint8_t*>(scalable_aligned_malloc(kStreamBufferBytes, 64))) {
    if (!data_) {
        std::fputs("out of memory (stream buffer)\n", stdout);
        std::exit(1);
    }
}

StreamBuffer::~StreamBuffer() { scalable_aligned_free(data_); }

// ---------------------------------------------------------------------------------------
// Encoder

StreamCompressor::StreamCompressor(CodecSink sink)
    : sink_(std::move(sink)), coded_(FseCompressBound(kStreamBufferBytes)) {}

void StreamCompressor::PutNonZero(uint32_t value, uint32_t& context) {
    const uint32_t m = value - 1;
    if (m < kLiteralLimit) {
        Put(kLiteralStream + int(context), static_cast<uint8_t>(m));
        context = std::min(m, kTopContext);
        return;
    }
    Put(kLiteralStream + int(context), kEscapeByte);
    context = kTopContext;
    if (m <= kShortEscapeTop) {
        Put(kEscapeLowStream, static_cast<uint8_t>(m));
        Put(kEscapeHighStream, static_cast<uint8_t>(m >> 8));
        return;
    }
    Put(kEscapeLowStream, kEscapeByte);
    Put(kEscapeHighStream, kEscapeByte);
    for (int i = 0; i < 4; ++i)
        Put(kWideEscapeStream + i, static_cast<uint8_t>(m >> (8 * i)));
}

void StreamCompressor::PackArray(std::span<const uint32_t> values, uint8_t header) {
    Put(kHeaderStream, header);
    uint32_t context = 0;
    for (size_t group = 0; group < values.size(); group += kGroup) {
        const size_t end  = std::min(group + kGroup, values.size());
        uint8_t      mask = 0;
        for (size_t i = group; i < end; ++i)
            mask |= static_cast<uint8_t>(values[i] != 0) << (i - group);
        Put(kMaskStream, mask);
        for (size_t i = group; i < end; ++i)
            if (values[i] != 0)
                PutNonZero(values[i], context);
    }
}

// Block form: FSE-coded when that is smaller, one byte when all bytes are equal, else raw.
void StreamCompressor::Flush(int stream) {
    const size_t n = sizes_[stream];
    if (n == 0)
        return;
    const uint8_t* data = buffers_[stream].data();
    uint8_t        header[kBlockHeaderBytes];
    header[0] = static_cast<uint8_t>(stream);
    PutU32(header + 1, static_cast<uint32_t>(n));
    size_t coded = 0;
    const FseStatus status = FseCompress({data, n}, coded_, coded);
    if (status == FseStatus::kOk) {
        PutU32(header + 5, static_cast<uint32_t>(coded));
        sink_(header, sizeof header);
        sink_(coded_.data(), coded);
    } else if (std::all_of(data, data + n, [&](uint8_t b) { return b == data[0]; })) {
        PutU32(header + 5, 1);
        sink_(header, sizeof header);
        sink_(data, 1);
    } else {
        PutU32(header + 5, 0);
        sink_(header, sizeof header);
        sink_(data, n);
    }
    sizes_[stream] = 0;
}

void StreamCompressor::Finish() {
    for (int stream = 0; stream < kCodecStreams; ++stream)
        Flush(stream);
    const uint8_t end = kEndOfStreams;
    sink_(&end, 1);
}

// ---------------------------------------------------------------------------------------
// Decoder

StreamDecompressor::StreamDecompressor(CodecSource source) : source_(std::move(source)) {}

bool StreamDecompressor::ReadBlock(int& stream, Block& block) {
    uint8_t tag = 0;
    if (!source_(&tag, 1)) {
        Fail(CodecStatus::kTruncated);
        return false;
    }
    if (tag == kEndOfStreams) {
        stream = kEndOfStreams;
        return true;
    }
    if (tag >= kCodecStreams) {
        Fail(CodecStatus::kCorrupt);
        return false;
    }
    uint8_t sizes[8];
    if (!source_(sizes, sizeof sizes)) {
        Fail(CodecStatus::kTruncated);
        return false;
    }
    block.n = GetU32(sizes);
    block.c = GetU32(sizes + 4);
    const bool coded = block.c >= 2;
    if (block.n == 0 || block.n > kStreamBufferBytes ||
        (coded && (block.c >= block.n || block.c > FseCompressBound(block.n)))) {
        Fail(CodecStatus::kCorrupt);
        return false;
    }
    block.payload.resize(block.c == 0 ? block.n : block.c);
    if (!source_(block.payload.data(), block.payload.size())) {
        Fail(CodecStatus::kTruncated);
        return false;
    }
    stream = tag;
    return true;
}

bool StreamDecompressor::Decode(int stream, const Block& block) {
    uint8_t* data = buffers_[stream].data();
    if (block.c == 0) {
        std::memcpy(data, block.payload.data(), block.n);
    } else if (block.c == 1) {
        std::memset(data, block.payload[0], block.n);
    } else if (FseDecompress(block.payload, {data, block.n}) != FseStatus::kOk) {
        Fail(CodecStatus::kFseError);
        return false;
    }
    sizes_[stream]     = block.n;
    positions_[stream] = 0;
    return true;
}

uint8_t StreamDecompressor::Refill(int stream) {
    if (status_ != CodecStatus::kOk)
        return 0;
    if (!pending_[stream].empty()) {
        const bool ok = Decode(stream, pending_[stream].front());
        pending_[stream].pop_front();
        return ok ? Next(stream) : 0;
    }
    Block block;
    for (;;) {
        int tag = 0;
        if (ended_ || !ReadBlock(tag, block)) {
            Fail(CodecStatus::kCorrupt);  // kept as kTruncated when the source ran out
            return 0;
        }
        if (tag == kEndOfStreams) {
            ended_ = true;
            continue;
        }
        if (tag == stream)
            return Decode(stream, block) ? Next(stream) : 0;
        pending_[tag].push_back(std::move(block));
        block = Block();
    }
}

uint32_t StreamDecompressor::NextNonZero(uint32_t& context) {
    const uint8_t literal = Next(kLiteralStream + int(context));
    if (literal != kEscapeByte) {
        context = std::min<uint32_t>(literal, kTopContext);
        return uint32_t(literal) + 1;
    }
    context           = kTopContext;
    const uint8_t low  = Next(kEscapeLowStream);
    const uint8_t high = Next(kEscapeHighStream);
    if (low != kEscapeByte || high != kEscapeByte) {
        const uint32_t m = uint32_t(low) | uint32_t(high) << 8;
        if (m < kLiteralLimit)
            Fail(CodecStatus::kCorrupt);
        return m + 1;
    }
    uint32_t m = 0;
    for (int i = 0; i < 4; ++i)
        m |= uint32_t(Next(kWideEscapeStream + i)) << (8 * i);
    if (m <= kShortEscapeTop || m == UINT32_MAX)
        Fail(CodecStatus::kCorrupt);
    return m + 1;
}

CodecStatus StreamDecompressor::UnpackArray(std::span<uint32_t> values, uint8_t header) {
    if (status_ != CodecStatus::kOk)
        return status_;
    if (Next(kHeaderStream) != header)
        Fail(CodecStatus::kWrongHeader);
    uint32_t context = 0;
    for (size_t group = 0; group < values.size() && status_ == CodecStatus::kOk; group += kGroup) {
        const size_t  end  = std::min(group + kGroup, values.size());
        const uint8_t mask = Next(kMaskStream);
        if (end - group < kGroup && (mask >> (end - group)) != 0)
            Fail(CodecStatus::kCorrupt);
        for (size_t i = group; i < end; ++i)
            values[i] = (mask >> (i - group) & 1) ? NextNonZero(context) : 0;
    }
    return status_;
}

CodecStatus StreamDecompressor::Finish() {
    if (status_ != CodecStatus::kOk)
        return status_;
    for (int stream = 0; stream < kCodecStreams; ++stream)
        if (positions_[stream] != sizes_[stream] || !pending_[stream].empty())
            Fail(CodecStatus::kCorrupt);
    while (!ended_ && status_ == CodecStatus::kOk) {
        Block block;
        int   tag = 0;
        if (!ReadBlock(tag, block))
            break;
        if (tag == kEndOfStreams)
            ended_ = true;
        else
            Fail(CodecStatus::kCorrupt);  // a block nobody read
    }
    return status_;
}
