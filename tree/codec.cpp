#include "tree/codec.h"

#include <cstring>

#include "tree/codec_streams.h"

namespace {

constexpr char kRangeCoderTag[4] = {'C', 'm', 'p', 'r'};

// Ids 0 and 1 come from other programs' files: recognised so that such a file is refused
// with a reason, but not decoded. An id-0 stream must still carry its tag, which is
// checked at once, as that coder's own decoder does.
class RefusingDecompressor final : public Decompressor {
public:
    explicit RefusingDecompressor(CodecStatus reason) : reason_(reason) {}

    CodecStatus UnpackArray(std::span<uint32_t>, uint8_t) override { return reason_; }
    CodecStatus Finish() override { return reason_; }

private:
    CodecStatus reason_;
};

CodecStatus CheckRangeCoderTag(const CodecSource& source) {
    char tag[4];
    if (!source(reinterpret_cast<uint8_t*>(tag), sizeof tag))
        return CodecStatus::kTruncated;
    return std::memcmp(tag, kRangeCoderTag, sizeof tag) == 0 ? CodecStatus::kUnsupported
                                                             : CodecStatus::kWrongId;
}

}  // namespace

const char* CodecStatusText(CodecStatus status) {
    switch (status) {
    case CodecStatus::kOk: return "ok";
    case CodecStatus::kUnknownId: return "unknown compressor id";
    case CodecStatus::kWrongId: return "compressor wrong id";
    case CodecStatus::kUnsupported: return "unsupported compressor";
    case CodecStatus::kFseError: return "fse error";
    case CodecStatus::kCorrupt: return "corrupt packed data";
    case CodecStatus::kTruncated: return "truncated packed data";
    case CodecStatus::kWrongHeader: return "unexpected packed array";
    }
    return "?";
}

std::unique_ptr<Compressor> CreateCompressor(uint8_t id, CodecSink sink) {
    if (id != kStreamCoderId)
        return nullptr;
    sink(&id, 1);
    return std::make_unique<StreamCompressor>(std::move(sink));
}

std::unique_ptr<Decompressor> CreateDecompressor(CodecSource source, CodecStatus& status) {
    uint8_t id = 0;
    if (!source(&id, 1)) {
        status = CodecStatus::kTruncated;
        return nullptr;
    }
    status = CodecStatus::kOk;
    switch (id) {
    case kRangeCoderId: return std::make_unique<RefusingDecompressor>(CheckRangeCoderTag(source));
    case kForeignCoderId: return std::make_unique<RefusingDecompressor>(CodecStatus::kUnsupported);
    case kStreamCoderId: return std::make_unique<StreamDecompressor>(std::move(source));
    default: status = CodecStatus::kUnknownId; return nullptr;
    }
}
