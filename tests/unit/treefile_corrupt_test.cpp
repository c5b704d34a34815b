// Damaged and foreign tree files through load_tree and show_metadata: each fails with its
// message, never crashes, and leaves no tree and no lines behind; dump_tree refuses lines
// that no longer describe the tree and never leaves a partial file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "cli/solver_state.h"
#include "engine_test_support.h"
#include "solver/solver_run_state.h"
#include "tree/tree_file_format.h"
#include "tree/tree_file_metadata.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Offsets inside a version-11 file, found by walking its fixed fields and lines.
struct Landmarks {
    size_t schematic = 0, header = 0, storage = 0;
};

size_t SkipSchematic(const std::vector<uint8_t>& bytes, size_t at) {
    int32_t children;
    std::memcpy(&children, &bytes.at(at + 40), 4);
    at += 44;
    for (int i = 0; i < children; ++i)
        at = SkipSchematic(bytes, at + 8);
    return at;
}

Landmarks FindLandmarks(const std::vector<uint8_t>& bytes) {
    Landmarks marks;
    marks.schematic = 4 + 4 + 1 + 1 + 1 + 9 + 3 * 8 + 3 * 8 + 2 * 1326 * 8;
    marks.header    = SkipSchematic(bytes, marks.schematic);
    marks.storage   = marks.header + kTreeHeaderBytes + 8 + 4;
    return marks;
}

// The first FSE-coded block (c >= 2) of the first packed stream: offset of its payload.
size_t FirstCodedPayload(const std::vector<uint8_t>& bytes, size_t stream_start, uint32_t& size) {
    size_t at = stream_start + 1;  // the compressor id
    while (bytes.at(at) != 0xFF) {
        uint32_t n, c;
        std::memcpy(&n, &bytes[at + 1], 4);
        std::memcpy(&c, &bytes[at + 5], 4);
        at += 9;
        if (c >= 2) {
            size = c;
            return at;
        }
        at += c == 0 ? n : 1;
    }
    return 0;
}

class TreeFileCorruption : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InstallSolverHooks();
        path_ = (std::filesystem::temp_directory_path() /
                 ("quillane_corrupt_" + std::to_string(::getpid()) + ".tree"))
                    .string();
        std::mt19937 rng(5);
        RunCommand("clear_lines");
        RunCommand("set_compression auto");
        RunCommand("set_isomorphism 1 0");
        for (const std::string& line :
             {std::string("set_board Qs Jh 2h 8d 3c"), RandomRangeCommand("OOP", 0.4, rng),
              RandomRangeCommand("IP", 0.4, rng), std::string("set_pot 0 0 100"),
              std::string("add_line 0 0"), std::string("add_line 0 50 150"),
              std::string("add_line 50 150"), std::string("add_line 100 100")})
            RunCommand(line);
        RunCommand("build_tree");
        for (int i = 0; i < 20; ++i)
            State().solver.engine->Iterate(2);
        EXPECT_EQ(RunCommand("dump_tree " + path_), "dump_tree ok!\n");
        good_ = ReadBytes(path_);
    }
    static void TearDownTestSuite() { std::remove(path_.c_str()); }

    // Loads 'bytes' as a file; returns the reply and checks that a failure left no tree.
    static std::string Load(const std::vector<uint8_t>& bytes) {
        WriteBytes(path_, bytes);
        const std::string reply = RunCommand("load_tree " + path_);
        if (reply != "load_tree ok!\n") {
            EXPECT_EQ(State().tree.Tree(), nullptr) << reply;
            EXPECT_TRUE(State().tree.params.root->IsEnd()) << reply;
        }
        return reply;
    }

    static std::string path_;
    static std::vector<uint8_t> good_;
};

std::string          TreeFileCorruption::path_;
std::vector<uint8_t> TreeFileCorruption::good_;

}  // namespace

TEST_F(TreeFileCorruption, TheGoodFileLoads) {
    EXPECT_EQ(Load(good_), "load_tree ok!\n");
    EXPECT_EQ(RunCommand("is_tree_present"), "true\n");
}

TEST_F(TreeFileCorruption, ForeignMagicAndFutureVersions) {
    auto bad = good_;
    bad[3]   = ';';
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file\n");
    EXPECT_EQ(RunCommand("show_metadata " + path_), "ERROR: show_metadata invalid file (not Quillane?)\n");
    std::memcpy(bad.data(), kTreeFileAlternateMagic.data(), 4);
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file\n");
    for (int32_t version : {12, 13, 0x7FFFFFFF}) {
        bad = good_;
        std::memcpy(&bad[4], &version, 4);
        EXPECT_EQ(Load(bad), "ERROR: load_tree unsupported data format, update to latest version\n");
        EXPECT_EQ(RunCommand("show_metadata " + path_),
                  "ERROR: show_metadata unsupported data format, update to latest version\n");
    }
    bad               = good_;
    const int32_t neg = -1;
    std::memcpy(&bad[4], &neg, 4);
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file (version)\n");
}

TEST_F(TreeFileCorruption, FilesThatEndEarlyFailAtTheFirstShortRead) {
    const Landmarks marks = FindLandmarks(good_);
    const auto      metadata_at =
        std::search(good_.end() - kMetadataWindow, good_.end(), kTypePrefix.begin(), kTypePrefix.end()) -
        good_.begin() - kMetadataLead;
    const std::string expected = "ERROR: load_tree can't read from file (" + path_ + ")\n";
    for (size_t cut : {size_t{0}, size_t{3}, size_t{7}, size_t{100}, marks.schematic + 10,
                       marks.header + 30, marks.storage + 1, marks.storage + 500,
                       size_t(metadata_at) - 20, size_t(metadata_at) - 1})
        EXPECT_EQ(Load({good_.begin(), good_.begin() + cut}), expected) << "cut at " << cut;
    // load_tree does not read the trailer: a cut inside it still loads.
    EXPECT_EQ(Load({good_.begin(), good_.end() - 5}), "load_tree ok!\n");
}

TEST_F(TreeFileCorruption, StreamsOfOtherCompressors) {
    const size_t at  = FindLandmarks(good_).storage;
    auto         bad = good_;
    ASSERT_EQ(bad[at], 2);  // the first node's packed stream
    bad[at] = 3;
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file\n");
    bad[at] = 255;
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file\n");
    bad[at] = 0;  // id 0 without its "Cmpr" tag
    EXPECT_EQ(Load(bad), "ERROR: load_tree compressor wrong id\n");
    std::vector<uint8_t> tagged(good_.begin(), good_.begin() + at);
    for (uint8_t b : {uint8_t{0}, uint8_t{'C'}, uint8_t{'m'}, uint8_t{'p'}, uint8_t{'r'}})
        tagged.push_back(b);
    tagged.insert(tagged.end(), good_.begin() + at + 1, good_.end());
    EXPECT_EQ(Load(tagged), "ERROR: load_tree invalid file (unsupported compressor)\n");
    bad     = good_;
    bad[at] = 1;
    EXPECT_EQ(Load(bad), "ERROR: load_tree invalid file (unsupported compressor)\n");
}

TEST_F(TreeFileCorruption, FlippedBytesInsideEntropyCodedBlocks) {
    uint32_t     size    = 0;
    const size_t payload = FirstCodedPayload(good_, FindLandmarks(good_).storage, size);
    ASSERT_GT(payload, 0u);
    int fse_errors = 0;
    for (uint32_t offset : {size / 3, size / 2, size - 1}) {
        auto bad = good_;
        bad[payload + offset] ^= 0x24;
        const std::string reply = Load(bad);
        EXPECT_NE(reply, "load_tree ok!\n");
        fse_errors += reply == "ERROR: load_tree fse error\n";
    }
    EXPECT_EQ(fse_errors, 3);
}

TEST_F(TreeFileCorruption, RandomDamageNeverCrashes) {
    std::mt19937 rng(99);
    int          loaded = 0;
    for (int trial = 0; trial < 60; ++trial) {
        auto bad = good_;
        for (int flips = 1 + trial % 4; flips > 0; --flips)
            bad[rng() % bad.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        const std::string reply = Load(bad);
        EXPECT_TRUE(reply == "load_tree ok!\n" || reply.rfind("ERROR: load_tree ", 0) == 0) << reply;
        loaded += reply == "load_tree ok!\n";
    }
    // Flips in ranges, figures or padding load; most others are caught.
    EXPECT_LT(loaded, 60);
}

TEST_F(TreeFileCorruption, MetadataTrailerAndShowMetadata) {
    auto bad = good_;
    const auto type =
        std::search(bad.end() - kMetadataWindow, bad.end(), kTypePrefix.begin(), kTypePrefix.end());
    bad.resize(type - bad.begin() - kMetadataLead);
    const auto trailer = MetadataBlock({"#Type#test", "#EffectiveStacks#100"});
    bad.insert(bad.end(), trailer.begin(), trailer.end());
    WriteBytes(path_, bad);
    const std::string summary = RunCommand("show_metadata " + path_);
    EXPECT_NE(summary.find("\n100\n"), std::string::npos);
    EXPECT_NE(summary.find(" \n#Type#test\n#EffectiveStacks#100\nshow_metadata ok!\n"), std::string::npos);
    EXPECT_EQ(summary.rfind("r\nROOT\n2h Jh Qs 8d 3c \n0 0 100 \n1 children\n", 0), 0u);
    EXPECT_EQ(State().tree.Tree(), nullptr);

    bad.resize(bad.size() - trailer.size());
    const auto no_type = MetadataBlock({"#Kind#test"});
    bad.insert(bad.end(), no_type.begin(), no_type.end());
    WriteBytes(path_, bad);
    EXPECT_EQ(RunCommand("show_metadata " + path_), "ERROR: show_metadata no metadata found\n");
    bad.resize(bad.size() - no_type.size());
    const auto stoi = MetadataBlock({"#Type#x", "#EffectiveStacks#many"});
    bad.insert(bad.end(), stoi.begin(), stoi.end());
    WriteBytes(path_, bad);
    EXPECT_EQ(RunCommand("show_metadata " + path_), "ERROR: Invalid value\n");
}

TEST_F(TreeFileCorruption, DumpRefusesChangedLinesAndKeepsTheOldFile) {
    EXPECT_EQ(Load(good_), "load_tree ok!\n");
    RunCommand("add_line 0 0 25");
    EXPECT_EQ(RunCommand("dump_tree " + path_), "ERROR: dump_tree lines changed since build_tree\n");
    EXPECT_EQ(ReadBytes(path_), good_);
    RunCommand("set_pot 0 0 120");
    RunCommand("remove_line 0 0 25");
    EXPECT_EQ(RunCommand("dump_tree " + path_), "ERROR: dump_tree lines changed since build_tree\n");
    RunCommand("set_pot 0 0 100");
    EXPECT_EQ(RunCommand("dump_tree " + path_), "dump_tree ok!\n");
    EXPECT_EQ(ReadBytes(path_), good_);
    const std::string nowhere = path_ + ".d/none.tree";
    EXPECT_EQ(RunCommand("dump_tree " + nowhere), "ERROR: dump_tree can't open file (" + nowhere + ")\n");
}
