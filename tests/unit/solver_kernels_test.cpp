// Every wide kernel body against the scalar reference on seeded random inputs: lengths 0
// to 40 (every tail of both lane widths) and a few long rows, unaligned starts, rows of
// zeros, tiny and large values. Writes past the end of a row are caught by sentinels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "solver/solver_kernels.h"

namespace {

constexpr SimdPath kWidePaths[] = {SimdPath::kAvx2, SimdPath::kAvx512};
constexpr uint16_t kSentinel16  = 0xBEEF;
constexpr float    kSentinel    = -777.0f;

std::vector<int> Lengths() {
    std::vector<int> lengths;
    for (int n = 0; n <= 40; ++n)
        lengths.push_back(n);
    for (int n : {63, 100, 257, 1081})
        lengths.push_back(n);
    return lengths;
}

// Random u16 regrets of a mix of kinds: all-zero combos, small values, any value.
std::vector<uint16_t> RandomRows(std::mt19937& rng, int actions, size_t stride, int n) {
    std::vector<uint16_t> rows(actions * stride + 8, kSentinel16);
    std::uniform_int_distribution<int> kind(0, 3), small(0, 3), any(0, 65535);
    for (int i = 0; i < n; ++i) {
        const int k = kind(rng);
        for (int a = 0; a < actions; ++a)
            rows[a * stride + i] = k == 0 ? 0 : k == 1 ? small(rng) : any(rng);
    }
    return rows;
}

// Random floats: zeros, tiny (1e-30), ordinary and large magnitudes, both signs.
std::vector<float> RandomFloats(std::mt19937& rng, size_t count, bool non_negative = false) {
    std::vector<float>                     v(count);
    std::uniform_int_distribution<int>     kind(0, 4);
    std::uniform_real_distribution<float>  unit(-1.0f, 1.0f);
    for (float& x : v) {
        const float scale[] = {0.0f, 1e-30f, 1.0f, 50.0f, 3e5f};
        x                   = unit(rng) * scale[kind(rng)];
        if (non_negative)
            x = std::fabs(x);
    }
    return v;
}

struct Rows {
    int    actions;
    int    n;
    int    offset;  // elements from an aligned start, to test unaligned rows
    size_t stride;
};

std::vector<Rows> Shapes(int actions) {
    std::vector<Rows> shapes;
    for (int n : Lengths())
        shapes.push_back({actions, n, n % 3, size_t(n + 5)});
    return shapes;
}

std::vector<uint32_t> RandomSkipBits(std::mt19937& rng, int n) {
    std::vector<uint32_t> bits((n + 31) / 32 + 1, 0);
    std::bernoulli_distribution skip(0.2);
    for (int i = 0; i < n; ++i)
        if (skip(rng))
            bits[i / 32] |= 1u << (i % 32);
    return bits;
}

using MatchFn = void (*)(const uint16_t*, size_t, int, float*, size_t);

MatchFn Fixed(const SolverKernels& k, int actions) {
    return actions == 2 ? k.RegretMatch2 : actions == 3 ? k.RegretMatch3 : k.RegretMatch4;
}

std::vector<float> Match(const SolverKernels& k, int actions, bool general,
                         const std::vector<uint16_t>& rows, const Rows& s) {
    std::vector<float> out(actions * s.stride + 8, kSentinel);
    if (general)
        k.RegretMatchN(rows.data() + s.offset, s.stride, actions, s.n, out.data() + s.offset, s.stride);
    else
        Fixed(k, actions)(rows.data() + s.offset, s.stride, s.n, out.data() + s.offset, s.stride);
    return out;
}

TEST(RegretMatchKernels, AgreeWithScalarAndDefaultToUniform) {
    std::mt19937 rng(1);
    for (int actions = 2; actions <= 6; ++actions)
        for (bool general : {false, true}) {
            if (!general && actions > 4)
                continue;
            for (const Rows& s : Shapes(actions)) {
                SCOPED_TRACE(testing::Message() << "actions " << actions << " general " << general << " n " << s.n);
                auto rows = RandomRows(rng, actions, s.stride, s.n + s.offset);
                auto want = Match(kScalarKernels, actions, general, rows, s);
                for (int i = 0; i < s.n; ++i) {
                    bool zero = true;
                    float sum = 0;
                    for (int a = 0; a < actions; ++a) {
                        zero &= rows[a * s.stride + s.offset + i] == 0;
                        sum += want[a * s.stride + s.offset + i];
                    }
                    ASSERT_NEAR(sum, 1.0f, 1e-5f);
                    if (zero)
                        ASSERT_EQ(want[s.offset + i], 1.0f / actions);
                }
                for (SimdPath path : kWidePaths) {
                    auto got = Match(KernelsFor(path), actions, general, rows, s);
                    for (size_t e = 0; e < got.size(); ++e)
                        ASSERT_NEAR(got[e], want[e], 1e-6f) << SimdPathName(path) << " element " << e;
                }
            }
        }
}

// The children's reach straight from the regrets has the bits of regret matching followed
// by one reach product per action, in every body, and flags the reached children.
TEST(RegretReachKernel, EqualsMatchThenReachProducts) {
    std::mt19937 rng(4);
    for (int actions = 2; actions <= 6; ++actions)
        for (int n : Lengths()) {
            const size_t stride = (size_t(n) + 31) / 32 * 32 + 32;
            auto         rows   = RandomRows(rng, actions, stride, n);
            auto         reach  = RandomFloats(rng, n + 1, /*non_negative=*/true);
            if (n > 3)
                std::fill(rows.begin(), rows.begin() + stride, uint16_t{0});  // action 0 never chosen
            if (n > 20)  // whole steps of every body without reach
                std::fill(reach.begin() + 16, reach.begin() + std::min(n, 48), 0.0f);
            for (SimdPath path : {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512}) {
                const SolverKernels& k = KernelsFor(path);
                std::vector<float>   strategy(actions * stride);
                switch (actions) {
                case 2: k.RegretMatch2(rows.data(), stride, n, strategy.data(), stride); break;
                case 3: k.RegretMatch3(rows.data(), stride, n, strategy.data(), stride); break;
                case 4: k.RegretMatch4(rows.data(), stride, n, strategy.data(), stride); break;
                default: k.RegretMatchN(rows.data(), stride, actions, n, strategy.data(), stride);
                }
                std::vector<std::vector<float>> want(actions, std::vector<float>(n + 1, kSentinel));
                std::vector<std::vector<float>> got(actions, std::vector<float>(n + 1, kSentinel));
                std::vector<float*>             out;
                uint64_t                        want_bits = 0;
                for (int a = 0; a < actions; ++a) {
                    if (k.ReachProduct(reach.data(), strategy.data() + a * stride, n, want[a].data()))
                        want_bits |= uint64_t(1) << a;
                    out.push_back(got[a].data());
                }
                EXPECT_EQ(k.RegretReach(rows.data(), stride, actions, n, reach.data(), out.data()),
                          want_bits)
                    << SimdPathName(path) << " actions " << actions << " n " << n;
                for (int a = 0; a < actions; ++a)
                    ASSERT_EQ(got[a], want[a]) << SimdPathName(path) << " action " << a << " n " << n;
            }
        }
}

TEST(NormalizeAveragesKernel, WeighsRowsByTheirScale) {
    std::mt19937 rng(2);
    for (const Rows& s : Shapes(3)) {
        auto         rows      = RandomRows(rng, 3, s.stride, s.n);
        const float  scale[3]  = {1.0f, 0.25f, 0.0078125f};
        std::vector<float> want(3 * s.stride + 8, kSentinel);
        kScalarKernels.NormalizeAverages(rows.data(), s.stride, scale, 3, s.n, want.data(), s.stride);
        for (int i = 0; i < s.n; ++i) {
            double w[3], total = 0;
            for (int a = 0; a < 3; ++a)
                total += w[a] = rows[a * s.stride + i] * double(scale[a]);
            for (int a = 0; a < 3; ++a)
                ASSERT_NEAR(want[a * s.stride + i], total > 0 ? w[a] / total : 1.0 / 3, 1e-6);
        }
        for (SimdPath path : kWidePaths) {
            std::vector<float> got(3 * s.stride + 8, kSentinel);
            KernelsFor(path).NormalizeAverages(rows.data(), s.stride, scale, 3, s.n, got.data(), s.stride);
            for (size_t e = 0; e < got.size(); ++e)
                ASSERT_NEAR(got[e], want[e], 1e-6f) << SimdPathName(path) << " n " << s.n;
        }
    }
}

TEST(RegretUpdateKernel, FollowsTheThreeQuarterPowerRule) {
    // s = 16: threshold 1/16; d = 4 moves by trunc(64^0.75) = 22, d = 1 by 8.
    const RegretStep step = MakeRegretStep(16.0);
    uint16_t         regrets[6]      = {100, 100, 30, 10, 100, 65530};
    const float      values[6]       = {4.0f, 0.06f, -4.0f, -4.0f, 0.0625f, 4.0f};
    const float      node[6]         = {0, 0, 0, 0, 0, 0};
    const float*     action_values[] = {values};
    for (SimdPath path : {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512}) {
        uint16_t r[6];
        std::memcpy(r, regrets, sizeof r);
        KernelsFor(path).UpdateRegrets(r, 6, 1, 6, action_values, node, step, nullptr);
        EXPECT_EQ(r[0], 122) << SimdPathName(path);    // rise by 22
        EXPECT_EQ(r[1], 100) << SimdPathName(path);    // |d| below 1/s: unchanged
        EXPECT_EQ(r[2], 8) << SimdPathName(path);      // fall by 22
        EXPECT_EQ(r[3], 0) << SimdPathName(path);      // a fall never goes below 0
        EXPECT_EQ(r[4], 101) << SimdPathName(path);    // d = 1/s exactly: moves by 1
        EXPECT_EQ(r[5], 65535) << SimdPathName(path);  // a rise saturates instead of wrapping
    }
}

TEST(RegretUpdateKernel, WideBodiesGiveTheScalarBits) {
    std::mt19937 rng(3);
    for (int actions : {1, 2, 5})
        for (const Rows& s : Shapes(actions)) {
            auto rows   = RandomRows(rng, actions, s.stride, s.n);
            auto node   = RandomFloats(rng, s.n + 1);
            auto bits   = RandomSkipBits(rng, s.n);
            std::vector<std::vector<float>> values;
            std::vector<const float*>       pointers;
            for (int a = 0; a < actions; ++a) {
                values.push_back(RandomFloats(rng, s.n + 1));
                pointers.push_back(a == 1 ? nullptr : values[a].data());  // action 1 has no values
            }
            const RegretStep step = MakeRegretStep(std::uniform_real_distribution<double>(0.5, 900)(rng));
            for (bool with_skip : {false, true}) {
                auto want = rows;
                kScalarKernels.UpdateRegrets(want.data(), s.stride, actions, s.n, pointers.data(),
                                             node.data(), step, with_skip ? bits.data() : nullptr);
                for (int i = 0; i < s.n && with_skip; ++i)
                    if (bits[i / 32] >> (i % 32) & 1)
                        ASSERT_EQ(want[i], rows[i]);
                for (SimdPath path : kWidePaths) {
                    auto got = rows;
                    KernelsFor(path).UpdateRegrets(got.data(), s.stride, actions, s.n, pointers.data(),
                                                   node.data(), step, with_skip ? bits.data() : nullptr);
                    ASSERT_EQ(got, want) << SimdPathName(path) << " actions " << actions << " n " << s.n;
                }
            }
        }
}

// A fused update equals its three steps done separately with the same body's strategy.
TEST(FusedUpdateKernel, EqualsMatchThenValueSumThenUpdate) {
    std::mt19937 rng(4);
    for (int actions : {2, 3, 4})
        for (const Rows& s : Shapes(actions))
            for (SimdPath path : {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512}) {
                const SolverKernels& k    = KernelsFor(path);
                auto                 rows = RandomRows(rng, actions, s.stride, s.n);
                auto                 bits = RandomSkipBits(rng, s.n);
                std::vector<std::vector<float>> values;
                std::vector<const float*>       pointers;
                for (int a = 0; a < actions; ++a) {
                    values.push_back(RandomFloats(rng, s.n + 1));
                    pointers.push_back(values[a].data());
                }
                if (s.n % 4 == 1)
                    pointers[actions - 1] = nullptr;
                const RegretStep step = MakeRegretStep(40.0);

                std::vector<float> strategy(actions * s.stride), node(s.n + 1, kSentinel);
                Fixed(k, actions)(rows.data(), s.stride, s.n, strategy.data(), s.stride);
                kScalarKernels.WeightedValueSum(strategy.data(), s.stride, pointers.data(), actions, s.n, node.data());
                auto want = rows;
                kScalarKernels.UpdateRegrets(want.data(), s.stride, actions, s.n, pointers.data(),
                                             node.data(), step, bits.data());

                std::vector<float> fused_node(s.n + 1, kSentinel);
                auto               got = rows;
                const auto fused = actions == 2 ? k.FusedUpdate2 : actions == 3 ? k.FusedUpdate3 : k.FusedUpdate4;
                fused(got.data(), s.stride, s.n, pointers.data(), fused_node.data(), step, bits.data());
                ASSERT_EQ(fused_node, node) << SimdPathName(path) << " n " << s.n;
                ASSERT_EQ(got, want) << SimdPathName(path) << " n " << s.n;
            }
}

TEST(VectorKernels, ReachProductFlagsAnyPositiveEntry) {
    std::mt19937 rng(5);
    for (int n : Lengths()) {
        auto reach    = RandomFloats(rng, n + 1, /*non_negative=*/true);
        auto strategy = RandomFloats(rng, n + 1, /*non_negative=*/true);
        for (int variant = 0; variant < 3; ++variant) {
            std::vector<float> r = reach;
            if (variant > 0)
                std::fill(r.begin(), r.end(), 0.0f);
            if (variant == 2 && n > 0)
                r[n - 1] = 0.5f, strategy[n - 1] = 0.5f;  // one positive entry, in the tail
            std::vector<float> want(n + 1, kSentinel);
            bool any = kScalarKernels.ReachProduct(r.data(), strategy.data(), n, want.data());
            EXPECT_EQ(any, variant != 1 && std::any_of(want.begin(), want.begin() + n, [](float x) { return x > 0; }));
            for (SimdPath path : kWidePaths) {
                std::vector<float> got(n + 1, kSentinel);
                EXPECT_EQ(KernelsFor(path).ReachProduct(r.data(), strategy.data(), n, got.data()), any)
                    << SimdPathName(path) << " n " << n << " variant " << variant;
                ASSERT_EQ(got, want) << SimdPathName(path);
            }
        }
    }
}

// A chance node's gather and scatter through keep masks: the gathered child is the kept
// entries in order, and the scatter adds weight x child back onto exactly those entries.
TEST(ChanceKernels, GatherAndScatterFollowTheKeepMasks) {
    std::mt19937                       rng(9);
    std::uniform_int_distribution<int> coin(0, 3);
    for (int n : Lengths()) {
        std::vector<uint16_t> keep((n + 15) / 16 + 1, 0);
        std::vector<int>      kept_positions;
        for (int i = 0; i < n; ++i)
            if (coin(rng) != 0) {
                keep[i / 16] |= uint16_t(1u << (i % 16));
                kept_positions.push_back(i);
            }
        const int m      = static_cast<int>(kept_positions.size());
        const auto parent = RandomFloats(rng, n + 1, /*non_negative=*/false);
        const auto child  = RandomFloats(rng, m + 1, /*non_negative=*/false);
        std::vector<float> gathered(m + 1, kSentinel);
        kScalarKernels.GatherKept(parent.data(), keep.data(), n, gathered.data());
        for (int j = 0; j < m; ++j)
            ASSERT_EQ(gathered[j], parent[kept_positions[j]]);
        EXPECT_EQ(gathered[m], kSentinel);
        std::vector<float> scattered = parent;
        kScalarKernels.ScatterKeptAdd(child.data(), keep.data(), n, 0.75f, scattered.data());
        for (int j = 0; j < m; ++j)
            ASSERT_EQ(scattered[kept_positions[j]],
                      std::fma(0.75f, child[j], parent[kept_positions[j]]));
        for (SimdPath path : kWidePaths) {
            std::vector<float> got(m + 1, kSentinel);
            KernelsFor(path).GatherKept(parent.data(), keep.data(), n, got.data());
            ASSERT_EQ(got, gathered) << SimdPathName(path) << " n " << n;
            std::vector<float> added = parent;
            KernelsFor(path).ScatterKeptAdd(child.data(), keep.data(), n, 0.75f, added.data());
            ASSERT_EQ(added, scattered) << SimdPathName(path) << " n " << n;
        }
    }
}

TEST(VectorKernels, ValueSumsAndMaximaGiveTheScalarBits) {
    std::mt19937 rng(6);
    for (int actions : {1, 2, 3, 4, 7})
        for (int n : Lengths()) {
            std::vector<std::vector<float>> values;
            std::vector<const float*>       pointers;
            for (int a = 0; a < actions; ++a) {
                values.push_back(RandomFloats(rng, n + 1));
                pointers.push_back(a == 2 ? nullptr : values[a].data());
            }
            auto strategy = RandomFloats(rng, actions * (n + 3), true);
            for (int fn = 0; fn < 3; ++fn) {
                auto call = [&](const SolverKernels& k, float* out) {
                    if (fn == 0)
                        k.WeightedValueSum(strategy.data(), n + 3, pointers.data(), actions, n, out);
                    else if (fn == 1)
                        k.ValueSum(pointers.data(), actions, n, out);
                    else
                        k.ValueMax(pointers.data(), actions, n, out);
                };
                std::vector<float> want(n + 1, kSentinel);
                call(kScalarKernels, want.data());
                for (SimdPath path : kWidePaths) {
                    std::vector<float> got(n + 1, kSentinel);
                    call(KernelsFor(path), got.data());
                    ASSERT_EQ(got, want) << SimdPathName(path) << " fn " << fn << " n " << n;
                }
            }
        }
}

TEST(VectorKernels, AverageAccumulationGivesTheScalarBits) {
    std::mt19937 rng(7);
    for (int n : Lengths())
        for (float multiplier : {0.0f, 0.7f, 300.0f, 4e7f}) {
            auto rows  = RandomRows(rng, 1, n + 1, n);
            auto reach = RandomFloats(rng, n + 1, true);
            float want_peak = kScalarKernels.AveragePeak(rows.data(), reach.data(), multiplier, n);
            for (SimdPath path : kWidePaths)
                ASSERT_EQ(KernelsFor(path).AveragePeak(rows.data(), reach.data(), multiplier, n), want_peak)
                    << SimdPathName(path) << " n " << n;
            const float shrink = want_peak > 65535.0f ? std::ldexp(1.0f, -int(std::ceil(std::log2(want_peak / 65535.0f)))) : 1.0f;
            auto want = rows;
            kScalarKernels.AverageAdd(want.data(), reach.data(), multiplier, shrink, n);
            for (int i = 0; i < n; ++i) {
                // Exact integer arithmetic while the raised sum fits a float's 24 bits.
                double raised = rows[i] + std::floor(double(reach[i] * multiplier) + 0.5);
                if (raised < 1 << 24)
                    ASSERT_EQ(want[i], std::min(std::floor(raised * shrink), 65535.0)) << i;
            }
            for (SimdPath path : kWidePaths) {
                auto got = rows;
                KernelsFor(path).AverageAdd(got.data(), reach.data(), multiplier, shrink, n);
                ASSERT_EQ(got, want) << SimdPathName(path) << " n " << n;
            }
        }
}

// The one-pass add raises a prefix and leaves the rest alone; it covers the whole row
// exactly when no halving is due, and then gives the two-step result.
TEST(VectorKernels, OnePassAverageAddStopsBeforeTheFirstOverflow) {
    std::mt19937 rng(9);
    for (int n : Lengths())
        for (float multiplier : {0.0f, 0.7f, 300.0f, 4e5f}) {
            auto rows  = RandomRows(rng, 1, n + 1, n);
            auto reach = RandomFloats(rng, n + 1, true);
            if (n > 2)
                std::fill(reach.begin(), reach.begin() + n / 2, 0.0f);  // steps adding nothing
            const float peak = kScalarKernels.AveragePeak(rows.data(), reach.data(), multiplier, n);
            auto        raised = rows;
            kScalarKernels.AverageAdd(raised.data(), reach.data(), multiplier, 1.0f, n);
            for (SimdPath path : {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512}) {
                auto      got  = rows;
                const int done = KernelsFor(path).AverageAddInRange(got.data(), reach.data(), multiplier, n);
                ASSERT_EQ(done == n, peak <= 65535.0f) << SimdPathName(path) << " n " << n;
                ASSERT_GE(done, 0);
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(got[i], i < done ? raised[i] : rows[i]) << SimdPathName(path) << " i " << i;
                if (done < n)
                    ASSERT_GT(kScalarKernels.AveragePeak(rows.data() + done, reach.data() + done, multiplier, n - done),
                              65535.0f);
                ASSERT_EQ(got[n], rows[n]);  // nothing past the row
            }
        }
}

TEST(TerminalKernels, OutputLoopsGiveTheScalarBits) {
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> card(0, 51);
    for (int n : Lengths()) {
        std::vector<CardPair> cards(n + 1);
        std::vector<uint16_t> order(n + 1);
        for (int i = 0; i < n; ++i) {
            cards[i] = {uint8_t(card(rng)), uint8_t(card(rng))};
            order[i] = uint16_t(n - 1 - i);  // a permutation
        }
        auto reach  = RandomFloats(rng, n + 1, true);
        auto sums   = RandomFloats(rng, 64);
        auto totals = RandomFloats(rng, 64, true);
        for (int which = 0; which < 5; ++which) {
            auto run = [&](const SolverKernels& k) {
                std::vector<float> out(n + 1, kSentinel);
                if (which == 0) {
                    k.FoldOutput({reach.data(), cards.data(), sums.data(), out.data(), -3.5f, 17.0f}, n);
                } else {
                    ShowdownOutputArgs args{cards.data(), which % 2 ? order.data() : nullptr, sums.data(),
                                            totals.data(), reach.data(), out.data(), 12.0f, 0.03f, 99.0f};
                    (which <= 2 ? k.ShowdownOutput : k.ShowdownOutputRaked)(args, 0, n, 4.25f);
                }
                return out;
            };
            auto want = run(kScalarKernels);
            for (SimdPath path : kWidePaths)
                ASSERT_EQ(run(KernelsFor(path)), want) << SimdPathName(path) << " which " << which << " n " << n;
        }
    }
}

}  // namespace
