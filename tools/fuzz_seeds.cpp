// Writes starting inputs for the libFuzzer harnesses of fuzz/: packed streams, FSE blocks
// and packed slots for codec_fuzz, and a small solved tree file for treefile_fuzz.
//
//   build/fuzz-seeds <directory>     (creates <directory>/codec and <directory>/treefile)
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "solver/slot_codec.h"
#include "solver/solver_run_state.h"
#include "tree/codec.h"
#include "tree/fse.h"

namespace {

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// Selector 1 (streams), one array of (unit * 7) % 4096 values, then the packed stream.
std::vector<uint8_t> StreamSeed(std::mt19937& rng, uint8_t unit) {
    std::vector<uint8_t> seed = {1, 0, unit};
    std::vector<uint32_t> values((size_t(unit) + 1) * 7 % 4096);
    for (auto& v : values)
        v = rng() % 3 == 0 ? 0 : rng() % 4 == 0 ? rng() % 70000 : rng() % 20;
    auto coder = CreateCompressor(kStreamCoderId, [&](const uint8_t* d, size_t n) {
        seed.insert(seed.end(), d, d + n);
    });
    coder->PackArray(values, 1);
    coder->Finish();
    return seed;
}

std::vector<uint8_t> FseSeed(std::mt19937& rng) {
    std::vector<uint8_t> block(3000);
    for (auto& b : block)
        b = static_cast<uint8_t>(rng() % 7 == 0 ? rng() : rng() % 4);
    std::vector<uint8_t> coded(FseCompressBound(block.size()));
    size_t               size = 0;
    if (FseCompress(block, coded, size) != FseStatus::kOk)
        std::exit(1);
    std::vector<uint8_t> seed = {0, uint8_t((block.size() - 1) >> 8), uint8_t(block.size() - 1)};
    seed.insert(seed.end(), coded.begin(), coded.begin() + size);
    return seed;
}

std::vector<uint8_t> SlotSeed(std::mt19937& rng) {
    const SlotShape       shape{3, 150, 160};
    std::vector<uint16_t> rows(3 * 160, 0);
    for (int a = 0; a < 3; ++a)
        for (int i = 0; i < 150; ++i)
            rows[a * 160 + i] = static_cast<uint16_t>(rng() % 2 ? 0 : rng() % 30000);
    std::vector<uint8_t> packed(PackedSlotBound(shape));
    packed.resize(PackSlot(shape, rows.data(), packed.data()));
    std::vector<uint8_t> seed = {2, 2, 149, 0};
    seed.insert(seed.end(), packed.begin(), packed.end());
    return seed;
}

void Run(const std::string& line) {
    ExecuteCommand(SplitCommandLine(line));
    State().output.Take();
}

std::string ComboRange(int combo_count) {
    std::string line;
    for (int i = 0; i < 1326; ++i)
        line += i % (1326 / combo_count) == 0 ? " 1" : " 0";
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds <directory>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root / "codec");
    std::filesystem::create_directories(root / "treefile");
    std::mt19937 rng(1);
    for (uint8_t unit : {3, 40, 200})
        WriteFile(root / "codec" / ("stream_" + std::to_string(unit)), StreamSeed(rng, unit));
    WriteFile(root / "codec" / "fse", FseSeed(rng));
    WriteFile(root / "codec" / "slot", SlotSeed(rng));

    InstallSolverHooks();
    State().settings.thread_count = 1;
    for (const std::string& line :
         {std::string("set_board Qs Jh 2h 8d 3c"), "set_range OOP" + ComboRange(20),
          "set_range IP" + ComboRange(25), std::string("set_pot 0 0 100"),
          std::string("add_line 0 0"), std::string("add_line 0 50 50"),
          std::string("add_line 100 100"), std::string("build_tree"),
          std::string("go 20 steps block"),
          "dump_tree " + (root / "treefile" / "river.tree").string()})
        Run(line);
    return std::filesystem::exists(root / "treefile" / "river.tree") ? 0 : 1;
}
