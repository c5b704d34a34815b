// The buffers behind storage and subgame tasks: aligned arrays come zeroed and aligned at
// every size, also when they reuse freed memory; task buffers are never handed to two
// holders at once, are reused once given back, and count those held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/task_buffers.h"

namespace {

bool AllZero(const AlignedArray<uint16_t>& array) {
    return std::all_of(array.data(), array.data() + array.size(),
                       [](uint16_t v) { return v == 0; });
}

}  // namespace

TEST(AlignedArray, ComesZeroedAndAlignedBelowAndAboveThePageBlockSize) {
    for (size_t count : {size_t{1}, size_t{333}, kPageBlockBytes / 2 - 1, kPageBlockBytes / 2,
                         kPageBlockBytes / 2 + 1, size_t{3} << 20}) {
        SCOPED_TRACE(count);
        // Dirty a block of the same size first, so that a reused block must be cleared.
        {
            AlignedArray<uint16_t> dirty(count);
            std::fill(dirty.data(), dirty.data() + count, uint16_t{0xBEEF});
        }
        AlignedArray<uint16_t> array(count);
        ASSERT_EQ(array.size(), count);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(array.data()) % kCacheLineBytes, 0u);
        EXPECT_TRUE(AllZero(array));
        std::fill(array.data(), array.data() + count, uint16_t{7});
        array.Reset(count);
        EXPECT_TRUE(AllZero(array));
    }
}

TEST(AlignedArray, MovesHandOverTheBlockAndResetZeroFrees) {
    AlignedArray<uint16_t> large(kPageBlockBytes);
    large[kPageBlockBytes - 1] = 5;
    AlignedArray<uint16_t> moved(std::move(large));
    EXPECT_TRUE(large.empty());
    EXPECT_EQ(moved[kPageBlockBytes - 1], 5);
    AlignedArray<uint16_t> small(10);
    small = std::move(moved);  // frees the small block, takes the large one
    EXPECT_EQ(small.size(), kPageBlockBytes);
    EXPECT_EQ(small[kPageBlockBytes - 1], 5);
    small.Reset(0);
    EXPECT_TRUE(small.empty());
    EXPECT_EQ(small.data(), nullptr);
}

TEST(TaskBuffers, HeldBuffersAreDistinctAndGivenBackOnesAreReused) {
    TaskBuffers buffers;
    buffers.Start(8, 100);
    std::set<size_t> held;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(held.insert(buffers.Acquire()).second);
    EXPECT_EQ(buffers.Allocated(), 5u);
    EXPECT_EQ(buffers.Held(), 5u);
    std::set<float*> data;
    for (size_t id : held)
        EXPECT_TRUE(data.insert(buffers.Data(id)).second);

    // Two given back, two taken: the same buffers again, nothing new allocated.
    const size_t first = *held.begin(), last = *held.rbegin();
    buffers.Release(first);
    buffers.Release(last);
    EXPECT_EQ(buffers.Held(), 3u);
    const std::set<size_t> again{buffers.Acquire(), buffers.Acquire()};
    EXPECT_EQ(again, (std::set<size_t>{first, last}));
    EXPECT_EQ(buffers.Allocated(), 5u);
    EXPECT_EQ(buffers.Held(), 5u);

    // A buffer keeps its contents while held; each holds 'floats' numbers.
    buffers.Data(first)[99] = 1.5f;
    EXPECT_EQ(buffers.Data(first)[99], 1.5f);

    // Another size starts over.
    buffers.Start(8, 200);
    EXPECT_EQ(buffers.Allocated(), 0u);
    EXPECT_EQ(buffers.Acquire(), 0u);
}

TEST(TaskBuffers, BuffersHeldAtOnceDoNotOverlapAndStartOnACacheLine) {
    for (const size_t floats : {size_t{1}, size_t{100}, size_t{2210}}) {
        TaskBuffers buffers;
        buffers.Start(21, floats);
        std::vector<size_t> held;
        for (int i = 0; i < 21; ++i)
            held.push_back(buffers.Acquire());
        for (size_t id : held) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(buffers.Data(id)) % kCacheLineBytes, 0u);
            std::fill_n(buffers.Data(id), floats, static_cast<float>(id));
        }
        for (size_t id : held) {
            const float* data = buffers.Data(id);
            EXPECT_TRUE(std::all_of(data, data + floats, [&](float x) { return x == float(id); }))
                << floats << " floats, buffer " << id;
        }
    }
}
