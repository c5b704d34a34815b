// The blocks of a distributed solve: what the encoders write, the decoders give back
// field for field, and any damaged, shortened or lengthened block is refused as a whole.
#include <gtest/gtest.h>

#include <cstring>

#include "solver/worker_exchange.h"

namespace {

std::vector<float> Floats(std::span<const uint8_t> bytes, const uint8_t* at, uint32_t count) {
    EXPECT_GE(at, bytes.data());
    EXPECT_LE(at + size_t{count} * 4, bytes.data() + bytes.size());
    std::vector<float> out(count);
    LoadFloats(at, count, out.data());
    return out;
}

struct RequestFixture {
    std::vector<float>       reach_a{0.5f, 1.5f, 2.5f};
    std::vector<float>       reach_b{7.0f};
    std::vector<RequestTask> tasks;
    RequestHeader            header{1, false, 42, 60, 1234, 1176, 2};

    RequestFixture() {
        tasks.push_back({17, 3, -1, 2, 0, true, 3, reinterpret_cast<const uint8_t*>(reach_a.data())});
        tasks.push_back({17, 4, -1, 2, -1, true, 0, nullptr});
        tasks.push_back({90, 0, -1, 2, 1, false, 0, nullptr});
        tasks.push_back({95, 48, -1, 2, 1, true, 1, reinterpret_cast<const uint8_t*>(reach_b.data())});
    }
};

std::vector<uint8_t> SampleReply(bool update) {
    const std::vector<float> values{1, 2, 3}, best{4, 5, 6};
    ReplyWriter              writer({0, update, 3}, 2, std::vector<uint8_t>(100, 0xEE), 8);
    writer.AddTask(5, values.data(), update ? nullptr : best.data(), 3);
    writer.AddTask(9, values.data() + 1, update ? nullptr : best.data() + 1, 2);
    return writer.Finish();
}

TEST(WorkerExchangeTest, RequestRoundTripsEveryField) {
    RequestFixture             f;
    const std::vector<uint8_t> block   = EncodeRequest(f.header, f.tasks);
    const auto                 decoded = DecodeRequest(block);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->header.traverser, 1);
    EXPECT_FALSE(decoded->header.update);
    EXPECT_EQ(decoded->header.iteration, 42);
    EXPECT_EQ(decoded->header.averaging_delay, 60);
    EXPECT_EQ(decoded->header.node_count, 1234u);
    EXPECT_EQ(decoded->header.root_combos, 1176u);
    EXPECT_EQ(decoded->header.storage_level, 2);
    ASSERT_EQ(decoded->tasks.size(), 4u);
    for (size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(decoded->tasks[t].node, f.tasks[t].node);
        EXPECT_EQ(decoded->tasks[t].turn_slot, f.tasks[t].turn_slot);
        EXPECT_EQ(decoded->tasks[t].river_slot, -1);
        EXPECT_EQ(decoded->tasks[t].owner, f.tasks[t].owner);
        EXPECT_EQ(decoded->tasks[t].reachable, f.tasks[t].reachable);
        EXPECT_EQ(decoded->tasks[t].count, f.tasks[t].count);
    }
    EXPECT_EQ(Floats(block, decoded->tasks[0].reach, 3), f.reach_a);
    EXPECT_EQ(Floats(block, decoded->tasks[3].reach, 1), f.reach_b);
}

TEST(WorkerExchangeTest, EveryShortenedOrLengthenedRequestIsRefused) {
    RequestFixture             f;
    const std::vector<uint8_t> block = EncodeRequest(f.header, f.tasks);
    for (size_t size = 0; size < block.size(); ++size)
        EXPECT_FALSE(DecodeRequest(std::span(block).first(size))) << "length " << size;
    std::vector<uint8_t> longer = block;
    longer.push_back(0);
    EXPECT_FALSE(DecodeRequest(longer));
}

TEST(WorkerExchangeTest, RequestWithBadMagicOrFlagsIsRefused) {
    RequestFixture       f;
    std::vector<uint8_t> block = EncodeRequest(f.header, f.tasks);
    block[0] ^= 1;
    EXPECT_FALSE(DecodeRequest(block));
    block       = EncodeRequest(f.header, f.tasks);
    block[6]    = 2;  // traverser
    EXPECT_FALSE(DecodeRequest(block));
    block       = EncodeRequest(f.header, f.tasks);
    block[7]    = 5;  // update flag
    EXPECT_FALSE(DecodeRequest(block));
}

TEST(WorkerExchangeTest, ReplyRoundTripsValuesAndBestValues) {
    for (bool update : {true, false}) {
        const std::vector<uint8_t> block   = SampleReply(update);
        const auto                 decoded = DecodeReply(block);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->header.worker, 3);
        EXPECT_EQ(decoded->header.update, update);
        ASSERT_EQ(decoded->tasks.size(), 2u);
        EXPECT_EQ(decoded->tasks[0].task, 5u);
        EXPECT_EQ(Floats(block, decoded->tasks[0].values, 3), (std::vector<float>{1, 2, 3}));
        EXPECT_EQ(Floats(block, decoded->tasks[1].values, 2), (std::vector<float>{2, 3}));
        if (update) {
            EXPECT_EQ(decoded->tasks[0].best, nullptr);
        } else {
            EXPECT_EQ(Floats(block, decoded->tasks[1].best, 2), (std::vector<float>{5, 6}));
        }
        EXPECT_EQ(block.size(), 4 + 2 + 1 + 1 + 4 + 8 + 4 + 2 * 8 + (update ? 5 : 10) * 4u)
            << "the lent buffer's old bytes must not stay in the reply";
    }
}

TEST(WorkerExchangeTest, AnyFlippedByteOrCutReplyIsRefused) {
    const std::vector<uint8_t> block = SampleReply(false);
    for (size_t i = 0; i < block.size(); ++i) {
        std::vector<uint8_t> damaged = block;
        damaged[i] ^= 0x10;
        EXPECT_FALSE(DecodeReply(damaged)) << "byte " << i;
    }
    for (size_t size = 0; size < block.size(); ++size)
        EXPECT_FALSE(DecodeReply(std::span(block).first(size))) << "length " << size;
}

TEST(WorkerExchangeTest, WorkerDataRoundTrips) {
    const std::vector<uint8_t> form{1, 2, 3, 4};
    const StoreEntry           stores[] = {{7, 0, form.size(), form.data()}, {8, 1, 0, nullptr}};
    const WorkerCounters       counters{2, 10, 345, 67, 8910};
    const std::vector<uint8_t> block   = EncodeWorkerData(counters, stores);
    const auto                 decoded = DecodeWorkerData(block);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->counters.worker, 2);
    EXPECT_EQ(decoded->counters.passes, 10u);
    EXPECT_EQ(decoded->counters.tasks, 345u);
    EXPECT_EQ(decoded->counters.data_blocks, 67u);
    EXPECT_EQ(decoded->counters.bytes_sent, 8910u);
    ASSERT_EQ(decoded->stores.size(), 2u);
    EXPECT_EQ(decoded->stores[0].length, 4u);
    EXPECT_EQ(std::memcmp(decoded->stores[0].bytes, form.data(), 4), 0);
    for (size_t size = 0; size < block.size(); ++size)
        EXPECT_FALSE(DecodeWorkerData(std::span(block).first(size)));
    for (size_t i = 0; i < block.size(); ++i) {
        std::vector<uint8_t> damaged = block;
        damaged[i] ^= 0x01;
        EXPECT_FALSE(DecodeWorkerData(damaged)) << "byte " << i;
    }
    EXPECT_FALSE(DecodeReply(block));
}

}  // namespace
