// The memory arena: fixed base, growth by commit, and its fatal exits.
#include <gtest/gtest.h>

#include <cstring>

#include "tree/memory_arena.h"

namespace {

constexpr uint64_t kMiB = 1024 * 1024;

TEST(MemoryArena, GrowsInPlaceInGranularitySteps) {
    MemoryArena arena(64 * kMiB);
    EXPECT_EQ(arena.Base(), nullptr);
    EXPECT_EQ(arena.CommittedSize(), 0u);
    uint8_t* base = arena.Ensure(1);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(arena.CommittedSize(), MemoryArena::kDefaultGranularity);
    std::memset(base, 0xAB, arena.CommittedSize());
    EXPECT_EQ(arena.Ensure(10), base);  // already committed
    EXPECT_EQ(arena.Ensure(40 * kMiB + 1), base);
    EXPECT_EQ(arena.CommittedSize(), 40 * kMiB + MemoryArena::kDefaultGranularity);
    EXPECT_EQ(base[0], 0xAB);  // earlier data stays where it was
    base[40 * kMiB] = 7;       // the new range is writable
    EXPECT_EQ(arena.Ensure(64 * kMiB), base);
    base[64 * kMiB - 1] = 1;
}

TEST(MemoryArena, ReservedSizeIsRoundedUpToTheGranularity) {
    MemoryArena arena(100, 4096);
    EXPECT_EQ(arena.ReservedSize(), 4096u);
    arena.Ensure(4096);
    EXPECT_EQ(arena.CommittedSize(), 4096u);
}

using MemoryArenaDeathTest = ::testing::Test;

TEST(MemoryArenaDeathTest, GrowingPastTheReservationEndsTheProcess) {
    EXPECT_EXIT(
        {
            MemoryArena arena(kMiB);
            arena.Ensure(kMiB + 1);
        },
        ::testing::ExitedWithCode(1), "");
}

TEST(MemoryArenaDeathTest, RefusedReservationEndsTheProcess) {
    // More address space than x86-64 user space has.
    EXPECT_EXIT(
        {
            MemoryArena arena(uint64_t{1} << 60);
            arena.Ensure(1);
        },
        ::testing::ExitedWithCode(1), "");
}

}  // namespace
