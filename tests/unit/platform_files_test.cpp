// Whole-file reads: every byte as stored (NUL bytes, files longer than one read, no final
// newline), empty files, and nothing for what cannot be read.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/files.h"

namespace {

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string(name) + "." + std::to_string(getpid())))
        .string();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

TEST(ReadWholeFile, ReturnsEveryByteAsStored) {
    const std::string path = TempPath("quillane_read_whole_file");
    std::string       bytes;
    for (int i = 0; i < 10000; ++i)
        bytes += static_cast<char>(i * 7 % 256);  // NUL bytes included, 10000 > one chunk
    WriteBytes(path, bytes);
    EXPECT_EQ(ReadWholeFile(path), bytes);

    WriteBytes(path, "");
    EXPECT_EQ(ReadWholeFile(path), std::string());
    std::filesystem::remove(path);
}

TEST(ReadWholeFile, NothingForMissingFilesAndDirectories) {
    EXPECT_FALSE(ReadWholeFile("/nonexistent/quillane/file").has_value());
    EXPECT_FALSE(ReadWholeFile(std::filesystem::temp_directory_path().string()).has_value());
}

}  // namespace
