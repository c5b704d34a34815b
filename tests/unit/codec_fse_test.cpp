// The FSE entropy stage: round trips over seeded inputs of many shapes, the output bound
// with a sentinel behind it, and a decoder that refuses damaged blocks without reading or
// writing out of bounds. Every failure names its seed so that it replays.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tree/fse.h"
#include "tree/fse_table.h"

namespace {

constexpr uint8_t kSentinel = 0xA5;

// Byte blocks of different statistics: uniform, skewed to zero, tiny alphabets,
// geometric, and two-valued with one rare value.
std::vector<uint8_t> MakeBlock(std::mt19937& rng, size_t n, int shape) {
    std::vector<uint8_t> block(n);
    std::geometric_distribution<int> geometric(0.25);
    for (auto& b : block) {
        switch (shape) {
        case 0: b = static_cast<uint8_t>(rng()); break;
        case 1: b = rng() % 100 < 90 ? 0 : static_cast<uint8_t>(rng() % 8); break;
        case 2: b = static_cast<uint8_t>(rng() % 3); break;
        case 3: b = static_cast<uint8_t>(std::min(geometric(rng), 255)); break;
        default: b = rng() % 1000 == 0 ? 200 : 7; break;
        }
    }
    return block;
}

struct Coded {
    FseStatus            status;
    std::vector<uint8_t> bytes;
};

Coded Compress(const std::vector<uint8_t>& src) {
    std::vector<uint8_t> dst(FseCompressBound(src.size()) + 1, kSentinel);
    size_t               written = 0;
    FseStatus status = FseCompress(src, std::span(dst.data(), dst.size() - 1), written);
    EXPECT_EQ(dst.back(), kSentinel) << "wrote past the bound";
    dst.resize(status == FseStatus::kOk ? written : 0);
    return {status, dst};
}

}  // namespace

TEST(CodecFse, SeededBlocksRoundTripAndShrink) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const size_t n     = seed % 7 == 0 ? kFseMaxBlock : 1 + rng() % kFseMaxBlock;
        const int    shape = static_cast<int>(seed % 5);
        const auto   src   = MakeBlock(rng, n, shape);
        const Coded  coded = Compress(src);
        if (coded.status == FseStatus::kNotCompressible)
            continue;
        ASSERT_EQ(coded.status, FseStatus::kOk) << "(seed " << seed << ")";
        EXPECT_LT(coded.bytes.size(), n) << "(seed " << seed << ")";
        std::vector<uint8_t> out(n + 1, kSentinel);
        ASSERT_EQ(FseDecompress(coded.bytes, std::span(out.data(), n)), FseStatus::kOk)
            << "(seed " << seed << ")";
        EXPECT_EQ(out.back(), kSentinel);
        out.pop_back();
        EXPECT_EQ(out, src) << "(seed " << seed << ")";
    }
}

TEST(CodecFse, SkewedBlocksCompressWellAndUniformOnesDoNot) {
    std::mt19937 rng(7);
    const auto   skewed = MakeBlock(rng, kFseMaxBlock, 1);  // about 0.9 bits of entropy
    const Coded  coded  = Compress(skewed);
    ASSERT_EQ(coded.status, FseStatus::kOk);
    EXPECT_LT(coded.bytes.size(), kFseMaxBlock / 5);
    EXPECT_EQ(Compress(MakeBlock(rng, kFseMaxBlock, 0)).status, FseStatus::kNotCompressible);
    EXPECT_EQ(Compress(std::vector<uint8_t>(1000, 42)).status, FseStatus::kNotCompressible);
}

TEST(CodecFse, EveryByteValueAndTinyBlocks) {
    std::vector<uint8_t> all(4096);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    for (size_t n : {size_t{2}, size_t{3}, size_t{17}, size_t{256}, all.size()}) {
        std::vector<uint8_t> src(all.begin(), all.begin() + n);
        const Coded          coded = Compress(src);
        if (coded.status != FseStatus::kOk)
            continue;
        std::vector<uint8_t> out(n);
        ASSERT_EQ(FseDecompress(coded.bytes, out), FseStatus::kOk) << n;
        EXPECT_EQ(out, src);
    }
    EXPECT_EQ(Compress({}).status, FseStatus::kTooLarge);
    EXPECT_EQ(Compress(std::vector<uint8_t>(kFseMaxBlock + 1, 1)).status, FseStatus::kTooLarge);
}

TEST(CodecFse, NormalisedCountsKeepEveryByteAndSumToTheTable) {
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        const auto   src = MakeBlock(rng, 1 + rng() % 5000, round % 5);
        FseHistogram counts;
        const int    distinct = CountBytes(src, counts);
        if (distinct < 2)
            continue;
        const int      log = ChooseTableLog(src.size(), distinct);
        FseNormalCount normal;
        NormalizeCounts(counts, src.size(), log, normal);
        uint32_t sum = 0;
        for (int s = 0; s < kFseSymbols; ++s) {
            EXPECT_EQ(counts[s] > 0, normal[s] > 0) << "byte " << s << " (round " << round << ")";
            sum += normal[s];
        }
        EXPECT_EQ(sum, 1u << log);
        EXPECT_GE(log, kFseMinTableLog);
        EXPECT_LE(log, kFseMaxTableLog);
    }
}

TEST(CodecFse, DamagedBlocksAreRefusedNotMisread) {
    std::mt19937 rng(11);
    const auto   src   = MakeBlock(rng, 20000, 3);
    const Coded  coded = Compress(src);
    ASSERT_EQ(coded.status, FseStatus::kOk);
    std::vector<uint8_t> out(src.size());

    // Truncations and extensions change where the stream ends.
    for (size_t cut : {size_t{1}, size_t{2}, coded.bytes.size() / 2, coded.bytes.size() - 1}) {
        std::vector<uint8_t> shorter(coded.bytes.begin(), coded.bytes.begin() + cut);
        EXPECT_NE(FseDecompress(shorter, out), FseStatus::kOk) << "cut " << cut;
    }
    // A table log outside 5..12, and a wrong output size.
    for (uint8_t log : {0, 4, 13, 255}) {
        std::vector<uint8_t> bad = coded.bytes;
        bad[0]                   = log;
        EXPECT_EQ(FseDecompress(bad, out), FseStatus::kCorrupt) << int(log);
    }
    std::vector<uint8_t> longer(src.size() + 1);
    EXPECT_EQ(FseDecompress(coded.bytes, longer), FseStatus::kCorrupt);

    // Single flipped bits: nearly all are caught (final state, bit count, header); the
    // few that decode must still not overrun.
    int caught = 0, trials = 0;
    for (size_t at = 0; at < coded.bytes.size(); at += 7) {
        std::vector<uint8_t> bad = coded.bytes;
        bad[at] ^= static_cast<uint8_t>(1u << (at % 8));
        std::vector<uint8_t> guarded(src.size() + 1, kSentinel);
        const FseStatus status = FseDecompress(bad, std::span(guarded.data(), src.size()));
        EXPECT_EQ(guarded.back(), kSentinel);
        caught += status != FseStatus::kOk || !std::equal(src.begin(), src.end(), guarded.begin());
        ++trials;
    }
    EXPECT_EQ(caught, trials);
}

TEST(CodecFse, RandomBytesNeverCrashTheDecoder) {
    std::mt19937         rng(5);
    std::vector<uint8_t> out(3000);
    int                  accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> junk(1 + rng() % 600);
        for (auto& b : junk)
            b = static_cast<uint8_t>(rng());
        junk[0] = static_cast<uint8_t>(kFseMinTableLog + rng() % 8);
        accepted += FseDecompress(junk, std::span(out.data(), 1 + rng() % out.size())) == FseStatus::kOk;
    }
    EXPECT_LT(accepted, 20);  // random input almost never passes every consistency check
}
