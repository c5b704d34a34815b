#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "net/message.h"
#include "net/message_io.h"
#include "tests/unit/net_loopback.h"

using namespace net_test;

TEST(MessageFraming, HeaderIsTypeByteThenLittleEndianLength) {
    MessageHeader header = EncodeHeader(MessageType::kBlock, 0x0102030405060708ull);
    EXPECT_EQ(header, (MessageHeader{4, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(EncodeTextLength(0xA0B0C0D0u), (std::array<uint8_t, 4>{0xD0, 0xC0, 0xB0, 0xA0}));
}

TEST(MessageFraming, LittleEndianRoundTripAtUnalignedOffsets) {
    uint8_t buffer[24] = {};
    for (size_t offset = 0; offset < 8; ++offset) {
        for (size_t size : {size_t{4}, size_t{8}}) {
            uint64_t value         = 0xF1E2D3C4B5A69788ull >> (64 - 8 * size);
            buffer[offset + size] = 0xEE;  // sentinel just past the field
            StoreLittleEndian(value, size, buffer + offset);
            EXPECT_EQ(LoadLittleEndian(buffer + offset, size), value)
                << "offset " << offset << " size " << size;
            EXPECT_EQ(buffer[offset], static_cast<uint8_t>(value)) << "least significant first";
            EXPECT_EQ(buffer[offset + size], 0xEE) << "wrote past the field";
        }
    }
}

TEST(MessageFraming, EveryTypeOtherThanThreeAndFourIsText) {
    for (int byte = 0; byte < 256; ++byte) {
        MessageType expected = byte == 3   ? MessageType::kFile
                               : byte == 4 ? MessageType::kBlock
                                           : MessageType::kText;
        EXPECT_EQ(TypeFromByte(static_cast<uint8_t>(byte)), expected) << byte;
    }
}

namespace {

// Records how the file bytes of a type-3 message arrive.
class RecordingSink final : public FileSink {
public:
    void Begin(uint64_t length) override {
        ++begins;
        announced = length;
    }
    void Write(const uint8_t* data, size_t size) override {
        largest_chunk = std::max(largest_chunk, size);
        bytes.insert(bytes.end(), data, data + size);
    }
    void End(bool complete) override {
        ++ends;
        completed = complete;
    }

    int                  begins = 0, ends = 0;
    bool                 completed     = false;
    uint64_t             announced     = 0;
    size_t               largest_chunk = 0;
    std::vector<uint8_t> bytes;
};

// Sends on one end from a helper thread (large messages exceed the socket buffers) and
// receives on the other.
ReceiveStatus RoundTrip(LoopbackPair& pair, MessageType type, const std::vector<uint8_t>& payload,
                        const std::string& text, Message& received, FileSink& sink) {
    auto sent = std::async(std::launch::async,
                           [&] { return SendMessage(pair.near, type, payload, text); });
    ReceiveStatus status = ReceiveMessage(pair.far, received, sink);
    EXPECT_FALSE(sent.get());
    return status;
}

}  // namespace

TEST(MessageExchange, TextBlockAndFileArriveIntactAtChunkBoundaries) {
    LoopbackPair pair;
    for (size_t size : {size_t{0}, size_t{1}, kFileChunkSize - 1, kFileChunkSize,
                        kFileChunkSize + 1, 3 * kFileChunkSize + 5}) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::vector<uint8_t> payload = SeededBytes(size, static_cast<unsigned>(size));
        std::string          text(payload.begin(), payload.end());
        Message              received;
        RecordingSink        sink;

        ASSERT_EQ(RoundTrip(pair, MessageType::kText, {}, text, received, sink), ReceiveStatus::kOk);
        EXPECT_EQ(received.type, MessageType::kText);
        EXPECT_EQ(received.text, text);

        ASSERT_EQ(RoundTrip(pair, MessageType::kBlock, payload, "with block", received, sink),
                  ReceiveStatus::kOk);
        EXPECT_EQ(received.type, MessageType::kBlock);
        EXPECT_EQ(received.block, payload);
        EXPECT_EQ(received.text, "with block");

        ASSERT_EQ(RoundTrip(pair, MessageType::kFile, payload, "with file", received, sink),
                  ReceiveStatus::kOk);
        EXPECT_EQ(received.type, MessageType::kFile);
        EXPECT_EQ(received.file_length, size);
        EXPECT_TRUE(received.block.empty());
        EXPECT_EQ(received.text, "with file");
        EXPECT_EQ(sink.bytes, payload);
        EXPECT_EQ(sink.announced, size);
        EXPECT_EQ(sink.begins, 1);
        EXPECT_EQ(sink.ends, 1);
        EXPECT_TRUE(sink.completed);
        EXPECT_LE(sink.largest_chunk, kFileChunkSize);
    }
}

TEST(MessageExchange, UnknownTypeBytesAreReadAsText) {
    LoopbackPair pair;
    WriteRaw(pair.near, Concat(HeaderBytes(0x7F, 5), Bytes("hello")));
    WriteRaw(pair.near, Concat(HeaderBytes(0, 2), Bytes("hi")));
    Message            received;
    DiscardingFileSink sink;
    ASSERT_EQ(ReceiveMessage(pair.far, received, sink), ReceiveStatus::kOk);
    EXPECT_EQ(received.text, "hello");
    ASSERT_EQ(ReceiveMessage(pair.far, received, sink), ReceiveStatus::kOk);
    EXPECT_EQ(received.text, "hi");
}

TEST(MessageExchange, AbsurdLengthsAreRefusedBeforeReadingOn) {
    struct Case {
        const char*          name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> trailer_too_long(kTextLengthSize);
    StoreLittleEndian(kMaxTextLength + 1, kTextLengthSize, trailer_too_long.data());
    const Case cases[] = {
        {"2^63-byte text", HeaderBytes(1, uint64_t{1} << 63)},
        {"text one byte over the limit", HeaderBytes(1, kMaxTextLength + 1)},
        {"all-ones length", HeaderBytes(1, ~uint64_t{0})},
        {"block over the limit", HeaderBytes(4, kMaxBlockLength + 1)},
        {"file over the limit", HeaderBytes(3, kMaxFileLength + 1)},
        {"trailing text over the limit", Concat(HeaderBytes(4, 0), trailer_too_long)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPair pair;
        WriteRaw(pair.near, c.bytes);
        Message            received;
        DiscardingFileSink sink;
        EXPECT_EQ(ReceiveMessage(pair.far, received, sink), ReceiveStatus::kRefused);
        EXPECT_LT(received.text.capacity(), size_t{2} << 20);
        EXPECT_LT(received.block.capacity(), size_t{2} << 20);
    }
}

TEST(MessageExchange, ConnectionEndingInsideAMessageIsReportedAsClosed) {
    std::vector<uint8_t> file_then_short_trailer = Concat(HeaderBytes(3, 10), SeededBytes(10, 1));
    file_then_short_trailer.push_back(4);  // one of the four text-length bytes
    enum FileState { kNoFile, kFileCut, kFileWhole };
    struct Case {
        const char*          name;
        std::vector<uint8_t> bytes;
        FileState            file = kNoFile;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"inside the type byte", {1}},
        {"inside the length", {1, 5, 0, 0}},
        {"inside a text", Concat(HeaderBytes(1, 100), Bytes("only ten b"))},
        {"inside a block", Concat(HeaderBytes(4, 1000), SeededBytes(999, 2))},
        {"inside a file", Concat(HeaderBytes(3, 5 * kFileChunkSize), SeededBytes(70000, 3)),
         kFileCut},
        {"inside the text length", file_then_short_trailer, kFileWhole},
        {"inside the trailing text", Concat(Concat(HeaderBytes(4, 0), {9, 0, 0, 0}), Bytes("abc"))},
        // A false announcement: 60 MiB promised, one byte sent.
        {"after a large announcement", Concat(HeaderBytes(1, uint64_t{60} << 20), Bytes("x"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPair pair;
        WriteRaw(pair.near, c.bytes);
        pair.near.close();
        Message       received;
        RecordingSink sink;
        EXPECT_EQ(ReceiveMessage(pair.far, received, sink), ReceiveStatus::kClosed);
        EXPECT_EQ(sink.begins, c.file == kNoFile ? 0 : 1);
        EXPECT_EQ(sink.ends, sink.begins);
        if (c.file != kNoFile) {
            EXPECT_EQ(sink.completed, c.file == kFileWhole);
        }
        EXPECT_LT(received.text.capacity(), size_t{2} << 20);
    }
}

TEST(MessageExchange, MessagesFollowEachOtherWithoutSeparators) {
    LoopbackPair pair;
    std::thread  sender([&] {
        for (int i = 0; i < 100; ++i) {
            std::vector<uint8_t> block = SeededBytes(static_cast<size_t>(i) * 37, i);
            EXPECT_FALSE(SendMessage(pair.near, i % 2 ? MessageType::kBlock : MessageType::kText,
                                     block, "message " + std::to_string(i)));
        }
    });
    for (int i = 0; i < 100; ++i) {
        Message            received;
        DiscardingFileSink sink;
        ASSERT_EQ(ReceiveMessage(pair.far, received, sink), ReceiveStatus::kOk);
        EXPECT_EQ(received.text, "message " + std::to_string(i));
        if (i % 2) {
            EXPECT_EQ(received.block, SeededBytes(static_cast<size_t>(i) * 37, i));
        }
    }
    sender.join();
}
