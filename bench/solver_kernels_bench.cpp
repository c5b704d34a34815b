// Throughput of the solver's terminal evaluations and regret kernels, in combos per
// second, for the scalar reference, the AVX2 body and the AVX-512 body.
//
// Usage: solver_kernels_bench [seconds per measurement, default 0.25]
//
// Inputs: a river runout of 1081 combos (a fixed five-card board) with synthetic hand
// strengths (600 strength levels drawn at random: groups of about two combos, as on a
// typical river), opponent reach with 30% zeros, and 16-bit regrets drawn at random.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/fold_values.h"
#include "solver/regret_storage.h"
#include "solver/showdown_values.h"
#include "solver/solver_kernels.h"
#include "solver/strength_groups.h"

namespace {

constexpr SimdPath kPaths[] = {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512};

struct Inputs {
    std::vector<CardPair> cards;
    std::vector<uint32_t> strength;
    StrengthGroups        groups;
    std::vector<uint16_t> masks;
    AlignedArray<float>   reach;
    AlignedArray<float>   values;
    int                   n = 0;
};

Inputs MakeInputs() {
    Inputs       in;
    std::mt19937 rng(42);
    const int    board[5] = {0, 14, 28, 42, 11};  // 2c 3d 4h 5s Kc
    uint64_t     dead     = 0;
    for (int c : board)
        dead |= uint64_t{1} << c;
    std::uniform_int_distribution<uint32_t> level(0, 599);
    for (int a = 0; a < kCardCount; ++a)
        for (int b = a + 1; b < kCardCount; ++b)
            if (!((dead >> a & 1) || (dead >> b & 1))) {
                in.cards.push_back({uint8_t(a), uint8_t(b)});
                in.strength.push_back(level(rng));
            }
    in.n      = int(in.cards.size());
    in.groups = BuildStrengthGroups(in.cards, in.strength);
    in.reach.Reset(in.n);
    in.values.Reset(in.n);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < in.n; ++i)
        in.reach[i] = unit(rng) < 0.3f ? 0.0f : unit(rng);
    in.masks = BuildReachableMasks(in.groups, in.reach.data());
    return in;
}

// Runs 'body' (which processes 'combos' combos) until 'seconds' have passed; returns
// combos per second.
double Measure(double seconds, long combos, const std::function<void()>& body) {
    using Clock = std::chrono::steady_clock;
    for (int warm = 0; warm < 10; ++warm)
        body();
    long       runs  = 0;
    const auto start = Clock::now();
    double     elapsed;
    do {
        for (int i = 0; i < 50; ++i)
            body();
        runs += 50;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return double(runs) * double(combos) / elapsed;
}

void Row(const char* name, double seconds, long combos,
         const std::function<void(const SolverKernels&)>& body) {
    std::printf("%-34s", name);
    for (SimdPath path : kPaths) {
        const SolverKernels& kernels = KernelsFor(path);
        std::printf(" %10.1f", Measure(seconds, combos, [&] { body(kernels); }) / 1e6);
    }
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.25;
    std::printf("solver_kernels_bench %.3g s per figure; million combos per second\n", seconds);
    Inputs          in = MakeInputs();
    TerminalScratch scratch;
    std::printf("runout: %d combos, %d strength groups, 30%% zero reach\n\n", in.n,
                in.groups.GroupCount());
    std::printf("%-34s %10s %10s %10s\n", "kernel", "scalar", "avx2", "avx512");

    Row("fold values", seconds, in.n, [&](const SolverKernels& k) {
        FoldValues(k, in.cards, {in.reach.data(), in.values.data(), 10.0f, 0.0f}, scratch);
    });
    Row("showdown values (masks)", seconds, in.n, [&](const SolverKernels& k) {
        ShowdownValues(k, in.groups, in.masks.data(), {in.reach.data(), in.values.data(), 10.0f, 0.0f}, scratch);
    });
    Row("showdown values (no masks)", seconds, in.n, [&](const SolverKernels& k) {
        ShowdownValues(k, in.groups, nullptr, {in.reach.data(), in.values.data(), 10.0f, 0.0f}, scratch);
    });
    Row("showdown values, rake", seconds, in.n, [&](const SolverKernels& k) {
        ShowdownValues(k, in.groups, in.masks.data(), {in.reach.data(), in.values.data(), 10.0f, 0.05f}, scratch);
    });

    // Batches: 16 terminals of the runout, one lane each (combos counted per terminal).
    std::vector<AlignedArray<float>> lane_values;
    std::vector<ShowdownLane>        showdown_lanes;
    std::vector<FoldLane>            fold_lanes;
    for (int t = 0; t < 16; ++t) {
        lane_values.emplace_back(in.n);
        showdown_lanes.push_back({in.reach.data(), lane_values[t].data(), 5.0f + t, 0.0f});
        fold_lanes.push_back({in.reach.data(), lane_values[t].data(), t % 2 ? 5.0f : -5.0f, 0.0f});
    }
    for (int width : {4, 16}) {
        const std::string showdown = "showdown batch of " + std::to_string(width);
        Row(showdown.c_str(), seconds, long(in.n) * width, [&](const SolverKernels& k) {
            EvaluateShowdowns(k, in.groups, nullptr, std::span(showdown_lanes).first(width), scratch);
        });
        const std::string fold = "fold batch of " + std::to_string(width);
        Row(fold.c_str(), seconds, long(in.n) * width, [&](const SolverKernels& k) {
            EvaluateFolds(k, in.cards, std::span(fold_lanes).first(width), scratch);
        });
    }
    std::mt19937 rng(7);
    for (int actions : {2, 3, 4, 6}) {
        RunoutRegretStorage store({actions, in.n, 1});
        std::uniform_int_distribution<int> regret(0, 4000);
        for (int a = 0; a < actions; ++a)
            for (int i = 0; i < in.n; ++i)
                store.Row(0, a)[i] = uint16_t(regret(rng));
        const size_t        stride = store.Layout().RowStride();
        AlignedArray<float> strategy(actions * stride);
        const std::string   name = "regret matching, " + std::to_string(actions) + " actions";
        Row(name.c_str(), seconds, in.n, [&](const SolverKernels& k) {
            store.CurrentStrategy(0, k, strategy.data(), stride);
        });
    }
    for (int actions : {2, 3, 5}) {
        RunoutRegretStorage       store({actions, in.n, 1});
        std::vector<AlignedArray<float>> values;
        std::vector<const float*> pointers;
        std::normal_distribution<float> value(0.0f, 5.0f);
        for (int a = 0; a < actions; ++a) {
            values.emplace_back(in.n);
            for (int i = 0; i < in.n; ++i)
                values[a][i] = value(rng);
            pointers.push_back(values[a].data());
        }
        const RegretUpdate update{.scale = 20.0, .iteration = 1};
        const std::string  name = "fused regret update, " + std::to_string(actions) + " actions";
        Row(name.c_str(), seconds, in.n, [&](const SolverKernels& k) {
            store.FusedUpdate(0, k, pointers.data(), in.values.data(), update);
        });
    }
    return 0;
}
