// The id-2 stream coder and the codec container: bit-exact round trips of random and
// adversarial arrays, the byte layout of the streams, the compressor ids, and damaged
// packed streams refused with their status. Failures name their seed.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tree/codec.h"
#include "tree/codec_streams.h"

namespace {

using Values = std::vector<uint32_t>;

std::vector<uint8_t> Pack(const std::vector<Values>& arrays, uint8_t first_header = 1) {
    std::vector<uint8_t> bytes;
    auto coder = CreateCompressor(kStreamCoderId, [&](const uint8_t* data, size_t size) {
        bytes.insert(bytes.end(), data, data + size);
    });
    for (size_t i = 0; i < arrays.size(); ++i)
        coder->PackArray(arrays[i], static_cast<uint8_t>(first_header + i));
    coder->Finish();
    return bytes;
}

CodecSource SourceOf(const std::vector<uint8_t>& bytes, size_t& position) {
    return [&bytes, &position](uint8_t* data, size_t size) {
        if (bytes.size() - position < size)
            return false;
        std::memcpy(data, bytes.data() + position, size);
        position += size;
        return true;
    };
}

// Unpacks arrays of the given sizes; returns the first failure or the end status.
CodecStatus Unpack(const std::vector<uint8_t>& bytes, const std::vector<size_t>& sizes,
                   std::vector<Values>& out, uint8_t first_header = 1) {
    size_t      position = 0;
    CodecStatus status;
    auto        coder = CreateDecompressor(SourceOf(bytes, position), status);
    if (!coder)
        return status;
    out.clear();
    for (size_t i = 0; i < sizes.size(); ++i) {
        out.emplace_back(sizes[i]);
        status = coder->UnpackArray(out.back(), static_cast<uint8_t>(first_header + i));
        if (status != CodecStatus::kOk)
            return status;
    }
    status = coder->Finish();
    if (status == CodecStatus::kOk && position != bytes.size())
        return CodecStatus::kCorrupt;
    return status;
}

void ExpectRoundTrip(const std::vector<Values>& arrays, const std::string& label) {
    const auto          bytes = Pack(arrays);
    std::vector<size_t> sizes;
    for (const auto& a : arrays)
        sizes.push_back(a.size());
    std::vector<Values> out;
    ASSERT_EQ(Unpack(bytes, sizes, out), CodecStatus::kOk) << label;
    EXPECT_EQ(out, arrays) << label;
}

// Regret-like data: many zeros, small values, some up to 65535, rare huge ones.
Values RandomArray(std::mt19937& rng, size_t n) {
    Values values(n);
    for (auto& v : values) {
        const uint32_t pick = rng() % 100;
        v = pick < 40 ? 0 : pick < 80 ? rng() % 40 : pick < 98 ? rng() % 65536 : static_cast<uint32_t>(rng());
    }
    return values;
}

}  // namespace

TEST(CodecStreams, RandomArraysRoundTripBitForBit) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937        rng(seed);
        std::vector<Values> arrays;
        for (int i = 0, count = 1 + int(rng() % 6); i < count; ++i)
            arrays.push_back(RandomArray(rng, rng() % 3 == 0 ? rng() % 20 : rng() % 200000));
        ExpectRoundTrip(arrays, "(seed " + std::to_string(seed) + ")");
    }
}

TEST(CodecStreams, AdversarialArraysRoundTrip) {
    const size_t big = 300000;  // several 64 KiB flushes of the busiest streams
    Values       boundaries;
    for (uint32_t v : {0u, 1u, 2u, 16u, 17u, 255u, 256u, 257u, 65534u, 65535u, 65536u, 65537u,
                       0x7FFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu})
        boundaries.push_back(v);
    Values ascending(big);
    for (size_t i = 0; i < big; ++i)
        ascending[i] = static_cast<uint32_t>(i * 2654435761u);
    ExpectRoundTrip({Values(big, 0)}, "all zeros");
    ExpectRoundTrip({Values(big, 65535)}, "all 65535");
    ExpectRoundTrip({Values(big, 65536)}, "all 65536");
    ExpectRoundTrip({Values(big, 0xFFFFFFFFu)}, "all 2^32 - 1");
    ExpectRoundTrip({Values(big, 1)}, "single literal value");
    ExpectRoundTrip({boundaries, ascending, {}, {5}}, "boundaries, spread, empty, one");
    for (size_t n = 0; n <= 17; ++n)
        ExpectRoundTrip({Values(n, 300)}, "partial groups " + std::to_string(n));
}

TEST(CodecStreams, BytesGoToTheirStreams) {
    // One array: header 9, values 0, 3, 300, 70000, 17 (one group of five).
    std::vector<uint8_t> bytes = Pack({{0, 3, 300, 70000, 17}}, 9);
    ASSERT_GE(bytes.size(), 1u);
    EXPECT_EQ(bytes[0], kStreamCoderId);
    // Every block is raw or a single byte here (too small to code); collect them.
    std::vector<std::vector<uint8_t>> streams(kCodecStreams);
    size_t                            at = 1;
    while (bytes.at(at) != kEndOfStreams) {
        const int stream = bytes[at];
        uint32_t  n = 0, c = 0;
        std::memcpy(&n, &bytes[at + 1], 4);
        std::memcpy(&c, &bytes[at + 5], 4);
        at += 9;
        ASSERT_LE(c, 1u);
        for (uint32_t i = 0; i < n; ++i)
            streams[stream].push_back(c == 1 ? bytes[at] : bytes[at + i]);
        at += c == 1 ? 1 : n;
    }
    EXPECT_EQ(at + 1, bytes.size());
    EXPECT_EQ(streams[0], std::vector<uint8_t>{9});
    EXPECT_EQ(streams[1], std::vector<uint8_t>{0b11110});
    EXPECT_EQ(streams[2], std::vector<uint8_t>{2});                // 3 - 1 in context 0
    EXPECT_EQ(streams[4], (std::vector<uint8_t>{255}));           // 300: escape in context 2
    EXPECT_EQ(streams[17], (std::vector<uint8_t>{255, 16}));      // 70000 escape, then 17 - 1
    EXPECT_EQ(streams[18], (std::vector<uint8_t>{299 & 255, 255}));
    EXPECT_EQ(streams[19], (std::vector<uint8_t>{299 >> 8, 255}));
    EXPECT_EQ(streams[20], std::vector<uint8_t>{69999 & 255});
    EXPECT_EQ(streams[21], std::vector<uint8_t>{(69999 >> 8) & 255});
    EXPECT_EQ(streams[22], std::vector<uint8_t>{69999 >> 16});
    EXPECT_EQ(streams[23], std::vector<uint8_t>{0});
}

TEST(CodecStreams, FullBuffersAreFlushedAsCodedBlocks) {
    const auto bytes = Pack({Values(600000, 0)});
    // 75000 mask bytes, all zero: two full single-byte blocks and a rest, about 10 bytes each.
    EXPECT_LT(bytes.size(), 64u);
    std::mt19937 rng(2);
    Values       small(400000);
    for (auto& v : small)
        v = rng() % 4;
    const auto coded = Pack({small});
    EXPECT_LT(coded.size(), small.size() / 2);  // masks and two-bit literals, entropy-coded
}

TEST(CodecStreams, CompressorIds) {
    std::vector<uint8_t> written;
    auto                 sink = [&](const uint8_t* d, size_t n) { written.insert(written.end(), d, d + n); };
    EXPECT_EQ(CreateCompressor(kRangeCoderId, sink), nullptr);
    EXPECT_EQ(CreateCompressor(kForeignCoderId, sink), nullptr);
    EXPECT_EQ(CreateCompressor(3, sink), nullptr);
    EXPECT_TRUE(written.empty());

    std::vector<Values> out;
    EXPECT_EQ(Unpack({3, 0, 0}, {1}, out), CodecStatus::kUnknownId);
    EXPECT_EQ(Unpack({255}, {1}, out), CodecStatus::kUnknownId);
    EXPECT_EQ(Unpack({}, {1}, out), CodecStatus::kTruncated);
    EXPECT_EQ(Unpack({kForeignCoderId, 1, 2, 3}, {1}, out), CodecStatus::kUnsupported);
    EXPECT_EQ(Unpack({kRangeCoderId, 'C', 'm', 'p', 'r', 0}, {1}, out), CodecStatus::kUnsupported);
    EXPECT_EQ(Unpack({kRangeCoderId, 'C', 'm', 'p', 'x'}, {1}, out), CodecStatus::kWrongId);
    EXPECT_STREQ(CodecStatusText(CodecStatus::kWrongId), "compressor wrong id");
    EXPECT_STREQ(CodecStatusText(CodecStatus::kFseError), "fse error");
}

TEST(CodecStreams, DamagedStreamsAreRefused) {
    std::mt19937 rng(9);
    const Values       values = RandomArray(rng, 150000);
    const auto         bytes  = Pack({values});
    std::vector<Values> out;

    EXPECT_EQ(Unpack(bytes, {values.size()}, out, 2), CodecStatus::kWrongHeader);
    EXPECT_NE(Unpack(bytes, {values.size() + 8}, out), CodecStatus::kOk);  // asks for more
    EXPECT_EQ(Unpack(bytes, {values.size() - 8}, out), CodecStatus::kCorrupt);  // leaves some
    EXPECT_EQ(Unpack(bytes, {values.size(), 1}, out), CodecStatus::kCorrupt);  // past the end
    for (size_t cut : {size_t{1}, size_t{5}, bytes.size() / 3, bytes.size() - 1})
        EXPECT_EQ(Unpack({bytes.begin(), bytes.begin() + cut}, {values.size()}, out),
                  CodecStatus::kTruncated)
            << "cut " << cut;

    // Flipped bytes anywhere: refused, or (inside raw blocks) decoded to other values,
    // never a crash and never the original claim of success with the original values.
    int fse_errors = 0;
    for (size_t at = 1; at < bytes.size(); at += bytes.size() / 64) {
        std::vector<uint8_t> bad = bytes;
        bad[at] ^= 0x5A;
        const CodecStatus status = Unpack(bad, {values.size()}, out);
        fse_errors += status == CodecStatus::kFseError;
        EXPECT_TRUE(status != CodecStatus::kOk || out[0] != values) << "byte " << at;
    }
    EXPECT_GT(fse_errors, 0);
}

TEST(CodecStreams, NonCanonicalEscapesAreCorrupt) {
    // A hand-made stream: header 1, mask 1, literal 255 in context 0, escape 0x0010 (a value
    // that belongs in a literal).
    auto block = [](uint8_t stream, std::vector<uint8_t> raw) {
        std::vector<uint8_t> b = {stream};
        const uint32_t       n = static_cast<uint32_t>(raw.size()), c = 0;
        b.insert(b.end(), reinterpret_cast<const uint8_t*>(&n), reinterpret_cast<const uint8_t*>(&n) + 4);
        b.insert(b.end(), reinterpret_cast<const uint8_t*>(&c), reinterpret_cast<const uint8_t*>(&c) + 4);
        b.insert(b.end(), raw.begin(), raw.end());
        return b;
    };
    std::vector<uint8_t> bytes = {kStreamCoderId};
    for (auto part : {block(0, {1}), block(1, {1}), block(2, {255}), block(18, {0x10}), block(19, {0})})
        bytes.insert(bytes.end(), part.begin(), part.end());
    bytes.push_back(kEndOfStreams);
    std::vector<Values> out;
    EXPECT_EQ(Unpack(bytes, {1}, out), CodecStatus::kCorrupt);
    bytes[bytes.size() - 2] = 1;  // escape 0x0110 = 272: canonical
    EXPECT_EQ(Unpack(bytes, {1}, out), CodecStatus::kOk);
    EXPECT_EQ(out[0], Values{273});
    std::vector<uint8_t> bad_mask = bytes;
    bad_mask[1 + 10 + 9] = 0b11;  // a bit beyond the one-value array
    EXPECT_EQ(Unpack(bad_mask, {1}, out), CodecStatus::kCorrupt);
}
