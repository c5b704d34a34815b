// Codec benchmark on solved data: builds a spot, runs iterations, then measures on the
// tree's stores
//   1. the FSE stage alone on the streams the id-2 coder makes of them,
//   2. the id-2 stream coder (PackArray / UnpackArray) over every store's saved form,
//   3. the compressed stores' slot packing, unrounded and rounded, over every river slot,
//   4. dump_tree and load_tree: file size against the in-memory storage, and times.
// Throughput is input bytes (16-bit numbers or stream bytes) per second, best of three.
//
//   codec_bench <spot.json> [iterations] [threads] [--file-only]
// --file-only skips 1-3 (for the flop spot, whose stores take gigabytes).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "solver/node_stores.h"
#include "solver/regret_storage.h"
#include "solver/average_storage.h"
#include "solver/combo_quantizer.h"
#include "solver/slot_codec.h"
#include "solver/solver_run_state.h"
#include "tools/spot/spot_file.h"
#include "tools/spot/spot_script.h"
#include "tree/codec.h"
#include "tree/codec_streams.h"
#include "tree/fse.h"
#include "tree/tree_file_storage.h"
#include "bench/run_script.h"

namespace {

using Clock = std::chrono::steady_clock;

double BestSeconds(const std::function<void()>& work) {
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void Report(const char* what, double bytes, double seconds, double ratio = 0) {
    std::printf("%-34s %9.1f MB/s", what, bytes / seconds / 1e6);
    if (ratio > 0)
        std::printf("   ratio %.3f", ratio);
    std::printf("\n");
}

// Every saved store as 16-bit words, as the node storage section packs them.
std::vector<std::vector<uint32_t>> StoreWords(const BuiltTree& tree, uint64_t& raw_bytes) {
    std::vector<std::vector<uint32_t>> arrays;
    raw_bytes = 0;
    for (uint32_t i = 0; i < tree.Size(); ++i)
        for (NodeStorage* storage : {tree.Node(i).strategy.get(), tree.Node(i).second.get()}) {
            if (!storage)
                continue;
            StorageWriter saved;
            StoreOf(storage)->Write(saved);
            std::vector<uint32_t> words((saved.bytes().size() + 1) / 2);
            for (size_t b = 0; b < saved.bytes().size(); ++b)
                words[b / 2] |= uint32_t(saved.bytes()[b]) << (8 * (b % 2));
            raw_bytes += saved.bytes().size();
            arrays.push_back(std::move(words));
        }
    return arrays;
}

void BenchStreams(const BuiltTree& tree) {
    uint64_t   raw  = 0;
    const auto arrays = StoreWords(tree, raw);
    std::vector<uint8_t> packed;
    const double pack = BestSeconds([&] {
        packed.clear();
        auto coder = CreateCompressor(kStreamCoderId, [&](const uint8_t* d, size_t n) {
            packed.insert(packed.end(), d, d + n);
        });
        for (const auto& words : arrays)
            coder->PackArray(words, 1);
        coder->Finish();
    });
    const double unpack = BestSeconds([&] {
        size_t      at = 0;
        CodecStatus status;
        auto        coder = CreateDecompressor(
            [&](uint8_t* d, size_t n) {
                if (packed.size() - at < n)
                    return false;
                std::memcpy(d, packed.data() + at, n);
                at += n;
                return true;
            },
            status);
        std::vector<uint32_t> out;
        for (const auto& words : arrays) {
            out.resize(words.size());
            if (coder->UnpackArray(out, 1) != CodecStatus::kOk || out != words)
                std::abort();
        }
    });
    std::printf("stores: %.1f MB saved form\n", raw / 1e6);
    Report("stream coder pack", raw, pack, double(packed.size()) / raw);
    Report("stream coder unpack", raw, unpack);

    // The FSE stage alone, on 64 KiB pieces of the saved bytes' low and high halves.
    std::vector<uint8_t> halves;
    for (const auto& words : arrays)
        for (uint32_t w : words)
            halves.push_back(static_cast<uint8_t>(w >> 8));
    std::vector<uint8_t> coded(FseCompressBound(kFseMaxBlock)), out(kFseMaxBlock);
    std::vector<std::vector<uint8_t>> blocks;
    size_t                            coded_total = 0;
    const size_t                      usable      = halves.size() / kFseMaxBlock * kFseMaxBlock;
    const double compress = BestSeconds([&] {
        blocks.clear();
        coded_total = 0;
        for (size_t at = 0; at < usable; at += kFseMaxBlock) {
            size_t size = 0;
            if (FseCompress({halves.data() + at, kFseMaxBlock}, coded, size) == FseStatus::kOk) {
                blocks.emplace_back(coded.begin(), coded.begin() + size);
                coded_total += size;
            } else {
                coded_total += kFseMaxBlock;  // stored raw
            }
        }
    });
    const double decompress = BestSeconds([&] {
        for (const auto& block : blocks)
            if (FseDecompress(block, out) != FseStatus::kOk)
                std::abort();
    });
    Report("FSE compress (high bytes)", usable, compress, double(coded_total) / usable);
    Report("FSE decompress", blocks.size() * double(kFseMaxBlock), decompress);
}

void BenchSlots(const BuiltTree& tree) {
    struct Slot {
        SlotShape       shape;
        const uint16_t* rows;
    };
    std::vector<Slot> slots;
    double            values = 0;
    for (const BuiltNode& node : tree.Nodes()) {
        if (!node.IsDecision() || node.street != 3)
            continue;
        for (NodeStorage* storage : {node.strategy.get(), node.second.get()}) {
            const StrategyStore* store = StoreOf(storage);
            if (!store)
                continue;
            const RunoutLayout& layout = store->Layout();
            const SlotShape     shape{layout.actions, layout.RowCombos(), layout.StoredStride()};
            for (int s = 0; s < layout.slots; ++s) {
                const uint16_t* rows = nullptr;
                if (auto* r = dynamic_cast<const RunoutRegretStorage*>(store))
                    rows = r->Row(s, 0);
                else if (auto* a = dynamic_cast<const RunoutAverageStorage*>(store))
                    rows = a->Row(s, 0);
                if (rows) {
                    slots.push_back({shape, rows});
                    values += double(layout.actions) * layout.RowCombos();
                }
            }
        }
    }
    if (slots.empty()) {
        std::printf("slot packing: no plain river stores (use level none)\n");
        return;
    }
    // As the stores pack them: unrounded (mode 1 averages), rounded to 7 bits per combo
    // (mode 1 regrets) and to 6 (mode 2 regrets and averages).
    for (int bits : {0, 7, 6}) {
        std::vector<std::vector<uint16_t>> rounded(slots.size());
        for (size_t i = 0; i < slots.size(); ++i) {
            const SlotShape& shape = slots[i].shape;
            rounded[i].assign(slots[i].rows, slots[i].rows + shape.actions * shape.stride);
            if (bits > 0)
                QuantizeCombos(rounded[i].data(), shape.actions, shape.stride, shape.combos, bits,
                               QuantizeSeed(i, 0));
        }
        std::vector<std::vector<uint8_t>> packed(slots.size());
        double                            total = 0;
        const double pack = BestSeconds([&] {
            total = 0;
            for (size_t i = 0; i < slots.size(); ++i) {
                packed[i].resize(PackedSlotBound(slots[i].shape));
                packed[i].resize(PackSlot(slots[i].shape, rounded[i].data(), packed[i].data()));
                total += packed[i].size();
            }
        });
        std::vector<uint16_t> rows;
        const double          unpack = BestSeconds([&] {
            for (size_t i = 0; i < slots.size(); ++i) {
                rows.resize(slots[i].shape.actions * slots[i].shape.stride);
                if (!UnpackSlot(slots[i].shape, packed[i].data(), packed[i].size(), rows.data()))
                    std::abort();
            }
        });
        const std::string name = bits ? "rounded to " + std::to_string(bits) + " bits" : "unrounded";
        std::printf("slot packing, %s: %.3f bytes per combo and action (plain 2)\n", name.c_str(),
                    total / values);
        Report(("slot pack, " + name).c_str(), 2 * values, pack);
        Report(("slot unpack, " + name).c_str(), 2 * values, unpack);
    }
}

void BenchFile(const BuiltTree& tree) {
    uint64_t memory = 0;
    for (const BuiltNode& node : tree.Nodes())
        for (const NodeStorage* s : {node.strategy.get(), node.second.get()})
            memory += s ? s->SizeBytes() : 0;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("codec_bench_" + std::to_string(::getpid()) + ".tree")).string();
    const auto start = Clock::now();
    RunScript("dump_tree " + path);
    const double dump = std::chrono::duration<double>(Clock::now() - start).count();
    const auto   size = std::filesystem::file_size(path);
    const auto   load_start = Clock::now();
    ExecuteCommand(SplitCommandLine("load_tree " + path));
    const std::string reply = State().output.Take();
    const double load = std::chrono::duration<double>(Clock::now() - load_start).count();
    std::remove(path.c_str());
    std::printf("tree file: %.1f MB for %.1f MB of storage in memory (%.3f); dump %.2f s, load %.2f s (%s)\n",
                size / 1e6, memory / 1e6, double(size) / memory, dump, load,
                reply == "load_tree ok!\n" ? "ok" : reply.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: codec_bench <spot.json> [iterations] [threads]\n");
        return 2;
    }
    const int  iterations = argc > 2 ? std::atoi(argv[2]) : 100;
    const int  threads    = argc > 3 ? std::atoi(argv[3]) : 2;
    const bool file_only  = argc > 4 && std::string(argv[4]) == "--file-only";
    const Spot spot       = LoadSpotFile(argv[1]);
    InstallSolverHooks();
    State().settings.thread_count = threads;
    RunScript("set_compression none");
    CfrEngine* const engine = BuildSpotEngine(SpotScript(spot));
    if (!engine)
        return 1;
    for (int i = 0; i < iterations; ++i)
        engine->Iterate(threads);
    std::printf("spot %s, %d iterations, exploitability %.3f %% of the pot\n", spot.name.c_str(),
                iterations, 100 * engine->Evaluate(threads).Exploitability() / spot.pot);
    if (!file_only) {
        BenchStreams(engine->Tree());
        BenchSlots(engine->Tree());
    }
    BenchFile(engine->Tree());
    return 0;
}
