// The packing under the compressed river stores: slot round trips of every shape (sparse,
// rounded, boundary values), damaged slots refused without writing past the rows, and
// the slot arena's block reuse and compaction.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "solver/slot_arena.h"
#include "solver/slot_codec.h"

namespace {

// Rows of a slot: zero-heavy like solved data, with the codec's boundary values.
std::vector<uint16_t> RandomRows(std::mt19937& rng, const SlotShape& shape) {
    std::vector<uint16_t> rows(shape.actions * shape.stride, 0);
    for (int a = 0; a < shape.actions; ++a)
        for (int i = 0; i < shape.combos; ++i) {
            const uint32_t pick = rng() % 10;
            rows[a * shape.stride + i] = static_cast<uint16_t>(
                pick < 5 ? 0 : pick < 7 ? rng() % 128 : pick < 9 ? rng() % 16384 : rng() % 65536);
        }
    return rows;
}

std::vector<uint16_t> RoundTrip(const SlotShape& shape, const std::vector<uint16_t>& rows,
                                size_t* packed_size = nullptr) {
    std::vector<uint8_t>  packed(PackedSlotBound(shape));
    const size_t          size = PackSlot(shape, rows.data(), packed.data());
    std::vector<uint16_t> out(rows.size(), 0xDEAD);
    EXPECT_TRUE(UnpackSlot(shape, packed.data(), size, out.data()));
    if (packed_size)
        *packed_size = size;
    return out;
}

}  // namespace

TEST(SlotCodec, RoundTripsEveryShape) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937    rng(seed);
        const int       combos = 1 + int(rng() % 1326);
        const SlotShape shape{1 + int(rng() % (seed % 5 == 0 ? 64 : 6)), combos,
                              size_t((combos + 31) / 32 * 32)};
        auto            rows = RandomRows(rng, shape);
        // Numbers sharing low zero bits, as rounded slots have them; and sparse slots
        // (most combos absent), as averages have them.
        if (seed % 3 == 0)
            for (uint16_t& v : rows)
                v &= 0xFFC0;
        if (seed % 4 == 0)
            for (size_t i = 0; i < rows.size(); ++i)
                rows[i] = i % shape.stride % 5 == 0 ? rows[i] : 0;
        size_t size = 0;
        EXPECT_EQ(RoundTrip(shape, rows, &size), rows) << "(seed " << seed << ")";
        EXPECT_LE(size, PackedSlotBound(shape));
    }
    const SlotShape       shape{3, 1081, 1088};
    size_t                size = 1;
    std::vector<uint16_t> zeros(3 * 1088, 0);
    EXPECT_EQ(RoundTrip(shape, zeros, &size), zeros);
    EXPECT_EQ(size, 0u);
    std::vector<uint16_t> full(3 * 1088, 65535);
    for (int a = 0; a < 3; ++a)
        std::fill(full.begin() + a * 1088 + 1081, full.begin() + (a + 1) * 1088, 0);
    EXPECT_EQ(RoundTrip(shape, full), full);
    std::vector<uint16_t> edges(3 * 1088, 0);
    const uint16_t        values[] = {1, 127, 128, 16383, 16384, 32768, 65534, 65535};
    for (int i = 0; i < 1081; ++i)
        edges[i] = values[i % 8];
    EXPECT_EQ(RoundTrip(shape, edges), edges);
}

TEST(SlotCodec, DamagedSlotsAreRefusedWithoutOverrun) {
    std::mt19937          rng(4);
    const SlotShape       shape{3, 300, 320};
    const auto            rows = RandomRows(rng, shape);
    std::vector<uint8_t>  packed(PackedSlotBound(shape));
    const size_t          size = PackSlot(shape, rows.data(), packed.data());
    std::vector<uint16_t> out(rows.size() + 1, 0xBEEF);
    EXPECT_FALSE(UnpackSlot(shape, packed.data(), size - 1, out.data()));
    EXPECT_FALSE(UnpackSlot(shape, packed.data(), size / 2, out.data()));
    std::vector<uint8_t> longer(packed.begin(), packed.begin() + size);
    longer.push_back(0);
    EXPECT_FALSE(UnpackSlot(shape, longer.data(), longer.size(), out.data()));
    int refused = 0;
    for (size_t at = 0; at < size; at += 5) {
        std::vector<uint8_t> bad(packed.begin(), packed.begin() + size);
        bad[at] ^= 0x81;
        refused += !UnpackSlot(shape, bad.data(), bad.size(), out.data());
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(out.back(), 0xBEEF);
}

TEST(SlotArena, ReusesFreedBlocksAndCompactsWithoutLosingData) {
    SlotArena                     arena(1 << 20);
    std::vector<SlotArena::Block> blocks;
    for (uint32_t i = 0; i < 64; ++i) {
        blocks.push_back(arena.Allocate(20 + i * 10));
        EXPECT_GE(blocks.back().capacity, 20 + i * 10);
        std::memset(arena.At(blocks.back()), int(i), 20 + i * 10);
    }
    const uint64_t committed = arena.CommittedBytes();
    // A freed block serves the next request of its size class.
    arena.Free(blocks[5]);
    const SlotArena::Block again = arena.Allocate(blocks[5].capacity - 3);
    EXPECT_EQ(again.unit, blocks[5].unit);
    EXPECT_FALSE(arena.Fragmented());
    // Half the blocks freed: fragmented; compaction keeps every live block's bytes.
    std::vector<SlotArena::Block*> live;
    for (uint32_t i = 0; i < 64; ++i) {
        if (i % 2 == 0)
            arena.Free(blocks[i]);
        else
            live.push_back(&blocks[i]);
    }
    EXPECT_TRUE(arena.Fragmented());
    arena.Compact(live);
    EXPECT_FALSE(arena.Fragmented());
    EXPECT_LT(arena.CommittedBytes(), committed);
    for (uint32_t i = 1; i < 64; i += 2) {
        const uint8_t* data = arena.At(blocks[i]);
        for (uint32_t b = 0; b < 20 + i * 10; ++b)
            ASSERT_EQ(data[b], i) << "block " << i << " byte " << b;
    }
    EXPECT_EQ(blocks[1].unit, 0u);
}
