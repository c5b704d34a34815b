// The binary readers and the metadata trailer: FileReader's buffering and its exact
// failure texts, the memory reader that never fails, finding and walking the trailer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tree/binary_reader.h"
#include "tree/binary_writer.h"
#include "tree/tree_file_metadata.h"

namespace {

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("quillane_reader_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 131 + (i >> 16));
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "no exception";
}

}  // namespace

TEST(FileReader, ReadsAcrossBufferBoundariesAndFailsAtTheEnd) {
    const std::string path  = TempPath("pattern");
    const auto        bytes = Pattern(3 * FileReader::kBufferBytes + 12345);
    WriteFile(path, bytes);
    FileReader           reader(path);
    std::vector<uint8_t> got;
    // Small reads, a read that straddles a refill, and one larger than the buffer.
    for (size_t size : {size_t{0}, size_t{1}, size_t{7}, FileReader::kBufferBytes - 3, size_t{100},
                        2 * FileReader::kBufferBytes, size_t{5000}}) {
        std::vector<uint8_t> part(size);
        reader.Read(part.data(), size);
        got.insert(got.end(), part.begin(), part.end());
    }
    std::vector<uint8_t> rest(bytes.size() - got.size());
    reader.Read(rest.data(), rest.size());
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, bytes);
    uint8_t one;
    EXPECT_EQ(MessageOf([&] { reader.Read(&one, 1); }), "can't read from file (" + path + ")");
    std::remove(path.c_str());
}

TEST(FileReader, OpenFailuresAndNamesThatAreNotUtf8) {
    const std::string missing = TempPath("missing");
    EXPECT_EQ(MessageOf([&] { FileReader r(missing); }), "can't open file (" + missing + ")");
    const std::string directory = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(MessageOf([&] { FileReader r(directory); }), "can't open file (" + directory + ")");
    EXPECT_EQ(MessageOf([&] { FileReader r("bad\xC3(name"); }), "bad conversion");
    EXPECT_THROW(FileReader{"bad\xC3(name"}, BadConversion);
    EXPECT_THROW(FileReader{missing}, IOException);
}

TEST(FileReader, LastBytesOfTheFile) {
    const std::string path  = TempPath("tail");
    const auto        bytes = Pattern(10000);
    WriteFile(path, bytes);
    FileReader reader(path);
    EXPECT_EQ(reader.ReadLast(8192), std::vector<uint8_t>(bytes.end() - 8192, bytes.end()));
    WriteFile(path, Pattern(100));
    FileReader shorter(path);
    EXPECT_EQ(MessageOf([&] { shorter.ReadLast(8192); }), "can't read from file (" + path + ")");
    std::remove(path.c_str());
}

TEST(Utf8, WellFormedAndMalformedNames) {
    EXPECT_TRUE(IsValidUtf8("plain.tree"));
    EXPECT_TRUE(IsValidUtf8("b\xC3\xA4ume \xE2\x82\xAC \xF0\x9F\x82\xA1.tree"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));
}

TEST(FileWriter, CommitsWholeFilesOnlyAndReportsFailures) {
    const std::string path = TempPath("written");
    {
        FileWriter out(path);
        out.Put<uint32_t>(7);
        out.Commit();
    }
    {
        FileWriter out(path);
        out.Put<uint32_t>(8);  // abandoned: no Commit
    }
    FileReader reader(path);
    EXPECT_EQ(reader.Get<uint32_t>(), 7u);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    const std::string nowhere = TempPath("no/such/dir/file");
    EXPECT_EQ(MessageOf([&] { FileWriter w(nowhere); }), "can't open file (" + nowhere + ")");
    std::remove(path.c_str());
}

TEST(MemoryReader, CopiesWhatRemainsAndZeroFills) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    MemoryReader               reader(bytes);
    EXPECT_EQ(reader.Get<uint16_t>(), 0x0201);
    EXPECT_EQ(reader.Get<uint32_t>(), 3u);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_EQ(reader.Get<uint32_t>(), 0u);
}

TEST(Metadata, FoundEightBytesBeforeTheTypeString) {
    const auto block = MetadataBlock({"#Type#Quillane tree", "#EffectiveStacks#100", "#Pot#60"});
    std::vector<uint8_t> tail(300 + block.size(), 'x');
    std::copy(block.begin(), block.end(), tail.end() - block.size());
    const auto strings = FindMetadata(tail);
    ASSERT_TRUE(strings);
    EXPECT_EQ(*strings, (std::vector<std::string>{"#Type#Quillane tree", "#EffectiveStacks#100", "#Pot#60"}));
    EXPECT_EQ(EffectiveStacksOf(*strings), 100);
    EXPECT_EQ(EffectiveStacksOf({"#Type#x"}), 0);
    EXPECT_THROW(EffectiveStacksOf({"#EffectiveStacks#lots"}), std::invalid_argument);
    EXPECT_THROW(EffectiveStacksOf({"#EffectiveStacks#99999999999"}), std::out_of_range);

    EXPECT_FALSE(FindMetadata(std::vector<uint8_t>(500, 'x')));
    std::vector<uint8_t> too_early(block.begin() + 4, block.end());  // the count cut off
    EXPECT_FALSE(FindMetadata(too_early));
    // A length that runs past the end keeps what is there.
    std::vector<uint8_t> cut(block.begin(), block.end() - 3);
    const auto           partial = FindMetadata(cut);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->back(), "#Pot");
}
