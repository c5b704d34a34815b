// The stream codec that packs node storage for tree files: a coder interface with one
// implementation per compressor id.
//
// A packed stream is a byte sequence that begins with its compressor id:
//   0  a range coder over byte statistics ("Cmpr" tag, 256 counts): recognised, not
//      decoded (files from other programs only);
//   1  a further coder of other programs: recognised, not decoded;
//   2  the stream coder this system writes (codec_streams.h): arrays of unsigned 32-bit
//      values spread over 24 byte streams, each stream entropy-coded in blocks by FSE.
// Any other first byte names no coder.
//
// Id-2 container, after the id byte, in the order the coder emits it:
//   block:  u8 stream number (0..23), u32 n (input bytes, 1..65536), u32 c (coded size),
//           then c bytes of FSE output when c >= 2, one byte (all n bytes equal it) when
//           c == 1, or the n bytes themselves when c == 0;
//   end:    u8 kEndOfStreams.
// All integers little-endian. Blocks of different streams interleave in the order the
// streams filled up; the decoder keeps blocks that arrive before their stream needs
// them, undecoded, so its memory never exceeds the input it has read.
//
// Errors: coders return CodecStatus and never throw themselves; a source callback may
// throw (the tree-file reader's does on a short read) and the coders stay consistent when
// it does (all buffers are owned by RAII members).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

inline constexpr uint8_t kRangeCoderId  = 0;
inline constexpr uint8_t kForeignCoderId = 1;
inline constexpr uint8_t kStreamCoderId = 2;

inline constexpr uint8_t kEndOfStreams = 0xFF;

// Receives the packed bytes in order.
using CodecSink = std::function<void(const uint8_t* data, size_t size)>;
// Supplies exactly 'size' bytes and returns true, or returns false at the end of input.
using CodecSource = std::function<bool(uint8_t* data, size_t size)>;

enum class CodecStatus {
    kOk,
    kUnknownId,     // the first byte names no coder
    kWrongId,       // an id-0 stream without its "Cmpr" tag
    kUnsupported,   // ids 0 and 1: recognised, but this build has no decoder for them
    kFseError,      // an entropy-coded block does not decode
    kCorrupt,       // framing or packed values inconsistent
    kTruncated,     // the source ended inside the stream
    kWrongHeader,   // an array's header byte is not the one the caller expects
};

// "fse error", "compressor wrong id", ... for messages.
const char* CodecStatusText(CodecStatus status);

class Compressor {
public:
    virtual ~Compressor() = default;

    // Packs 'values' with a caller-given header byte. The decoder needs the same count.
    virtual void PackArray(std::span<const uint32_t> values, uint8_t header) = 0;

    // Flushes every stream and ends the packed stream. Nothing may be packed afterwards.
    virtual void Finish() = 0;
};

class Decompressor {
public:
    virtual ~Decompressor() = default;

    // Unpacks the next array into 'values' (its count must be the packed one) and checks
    // its header byte against 'header'. After a failure the decoder stays failed.
    [[nodiscard]] virtual CodecStatus UnpackArray(std::span<uint32_t> values, uint8_t header) = 0;

    // Reads to the end of the packed stream; kCorrupt when packed bytes remain unread.
    [[nodiscard]] virtual CodecStatus Finish() = 0;
};

// Writes the id byte through 'sink' and returns the coder of that id; null for ids this
// system does not write (only kStreamCoderId is written).
std::unique_ptr<Compressor> CreateCompressor(uint8_t id, CodecSink sink);

// Reads the id byte and returns its decoder, with status kOk; for ids 0 and 1 a decoder
// that refuses every array (kUnsupported, or kWrongId for an id-0 stream without its
// tag); null with kUnknownId for any other id, or with kTruncated at the end of input.
std::unique_ptr<Decompressor> CreateDecompressor(CodecSource source, CodecStatus& status);
