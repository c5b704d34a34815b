// Average storage (accumulation, block halving with shift exponents, normalised average
// strategy, locks, saved form) and the averaging schedule.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "solver/average_storage.h"
#include "solver/averaging_schedule.h"
#include "solver/solver_kernels.h"

namespace {

const SolverKernels& Wide() { return KernelsFor(SimdPath::kAvx512); }

std::vector<float> Strategy(const RunoutAverageStorage& store, int slot) {
    const RunoutLayout& layout = store.Layout();
    std::vector<float>  strategy(layout.actions * layout.RowStride());
    store.CurrentStrategy(slot, Wide(), strategy.data(), layout.RowStride());
    return strategy;
}

TEST(AverageStorage, AccumulatesRoundedHalfUpAndNormalises) {
    RunoutAverageStorage store({2, 3, 2});
    std::vector<float>   a = {0.5f, 0.25f, 0.0f}, b = {0.5f, 0.0f, 0.0f};
    const float*         reach[] = {a.data(), b.data()};
    store.AccumulateAverage(1, Wide(), reach, 5.0);  // 2.5 -> 3, 1.25 -> 1
    EXPECT_EQ(store.Row(1, 0)[0], 3);
    EXPECT_EQ(store.Row(1, 0)[1], 1);
    EXPECT_EQ(store.Row(1, 1)[0], 3);
    EXPECT_EQ(store.Row(0, 0)[0], 0);  // other slot untouched
    const auto strategy = Strategy(store, 1);
    const size_t stride = store.Layout().RowStride();
    EXPECT_FLOAT_EQ(strategy[0], 0.5f);
    EXPECT_FLOAT_EQ(strategy[1], 1.0f);          // only action 0 has weight
    EXPECT_EQ(strategy[2], 0.5f);                // nothing accumulated: uniform
    EXPECT_FLOAT_EQ(strategy[stride + 1], 0.0f);
    EXPECT_EQ(store.ByteSize(), 2u * 2 * 32 * 2 + 2 * 2 + 2 * 4);
}

TEST(AverageStorage, OverflowHalvesTheBlockAndRaisesItsExponent) {
    RunoutAverageStorage store({2, 2, 1});
    std::vector<float>   big = {1.0f, 0.5f}, small = {0.1f, 0.1f};
    const float*         reach[] = {big.data(), small.data()};
    store.AccumulateAverage(0, Wide(), reach, 50000.0);
    EXPECT_EQ(store.Exponent(0, 0), 0);
    store.AccumulateAverage(0, Wide(), reach, 50000.0);  // 100000 > 65535: one halving
    EXPECT_EQ(store.Exponent(0, 0), 1);
    EXPECT_EQ(store.Row(0, 0)[0], 50000);
    EXPECT_EQ(store.Row(0, 0)[1], 25000);
    EXPECT_EQ(store.Exponent(0, 1), 0);  // the other action's block is separate
    EXPECT_EQ(store.Row(0, 1)[0], 10000);
    // A huge weight needs several halvings at once.
    store.AccumulateAverage(0, Wide(), reach, 1e9);
    EXPECT_EQ(store.Exponent(0, 0), 14);  // (1e9 + 1e5) / 2^14 = 61041 fits, / 2^13 does not
    EXPECT_NEAR(store.Row(0, 0)[0] * std::exp2(14), 1e9 + 1e5, 1e9 * 1e-4);
    // The strategy weighs each block by its exponent: 1e9 + 1e5 against 1e8 + 1e4.
    const auto strategy = Strategy(store, 0);
    EXPECT_NEAR(strategy[0], 10.0 / 11.0, 1e-4);
}

// Accumulating the weights of a long run stays close to the exact weighted average.
TEST(AverageStorage, LongRunsTrackTheExactAverage) {
    std::mt19937                          rng(8);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    RunoutAverageStorage                  store({3, 40, 1});
    std::vector<double>                   exact(3 * 40, 0.0);
    const AveragingParams                 params = AveragingParamsFor(1);
    for (int t = 0; t < 400; ++t) {
        std::vector<std::vector<float>> rows(3, std::vector<float>(40));
        std::vector<const float*>       pointers;
        for (int a = 0; a < 3; ++a) {
            for (int i = 0; i < 40; ++i)
                exact[a * 40 + i] += AveragingWeight(t, 0, params) * (rows[a][i] = unit(rng) * (a + 1));
            pointers.push_back(rows[a].data());
        }
        store.AccumulateAverage(0, Wide(), pointers.data(), AveragingWeight(t, 0, params));
    }
    const auto strategy = Strategy(store, 0);
    for (int i = 0; i < 40; ++i) {
        double total = exact[i] + exact[40 + i] + exact[80 + i];
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(strategy[a * store.Layout().RowStride() + i], exact[a * 40 + i] / total, 2e-3);
    }
}

TEST(AverageStorage, LockedSlotsZeroWeightsAndMissingRowsAddNothing) {
    RunoutAverageStorage store({2, 4, 2});
    std::vector<float>   ones(4, 1.0f);
    const float*         reach[] = {ones.data(), nullptr};
    store.Locks().Lock(0);
    store.AccumulateAverage(0, Wide(), reach, 9.0);
    store.AccumulateAverage(1, Wide(), reach, 0.0);
    EXPECT_EQ(store.Row(0, 0)[0], 0);
    EXPECT_EQ(store.Row(1, 0)[0], 0);
    store.AccumulateAverage(1, Wide(), reach, 9.0);
    EXPECT_EQ(store.Row(1, 0)[3], 9);
    EXPECT_EQ(store.Row(1, 1)[3], 0);
}

TEST(AverageStorage, EveryKernelBodyStoresTheSameNumbers) {
    std::mt19937                          rng(3);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const RunoutLayout                    layout{2, 37, 1};
    RunoutAverageStorage scalar(layout), avx2(layout), avx512(layout);
    for (int t = 0; t < 50; ++t) {
        std::vector<float> a(37), b(37);
        for (int i = 0; i < 37; ++i)
            a[i] = unit(rng), b[i] = unit(rng) * unit(rng);
        const float* reach[] = {a.data(), b.data()};
        const double weight  = std::pow(t + 1.0, 4.0);
        scalar.AccumulateAverage(0, KernelsFor(SimdPath::kScalar), reach, weight);
        avx2.AccumulateAverage(0, KernelsFor(SimdPath::kAvx2), reach, weight);
        avx512.AccumulateAverage(0, KernelsFor(SimdPath::kAvx512), reach, weight);
    }
    for (int action = 0; action < 2; ++action) {
        EXPECT_EQ(std::vector<uint16_t>(avx2.Row(0, action), avx2.Row(0, action) + 37),
                  std::vector<uint16_t>(scalar.Row(0, action), scalar.Row(0, action) + 37));
        EXPECT_EQ(std::vector<uint16_t>(avx512.Row(0, action), avx512.Row(0, action) + 37),
                  std::vector<uint16_t>(scalar.Row(0, action), scalar.Row(0, action) + 37));
        EXPECT_EQ(avx512.Exponent(0, action), scalar.Exponent(0, action));
        EXPECT_GT(scalar.Exponent(0, action), 0);
    }
}

TEST(AverageStorage, SavedFormRoundTripsAndRejectsBadExponents) {
    RunoutAverageStorage store({2, 5, 3});
    std::vector<float>   reach = {1, 2, 3, 4, 5};
    const float*         rows[] = {reach.data(), reach.data()};
    store.AccumulateAverage(2, Wide(), rows, 30000.0);  // raises exponents
    store.Locks().Lock(1);
    StorageWriter out;
    store.Write(out);

    RunoutAverageStorage restored({2, 5, 3});
    StorageReader        in(out.bytes());
    ASSERT_EQ(restored.Read(in), StorageStatus::kOk);
    EXPECT_EQ(restored.Exponent(2, 1), store.Exponent(2, 1));
    EXPECT_EQ(restored.Row(2, 1)[4], store.Row(2, 1)[4]);
    EXPECT_EQ(restored.Locks().Flags(1), kLockedFlag);

    std::vector<uint8_t> bytes = out.bytes();
    bytes[16]                  = kMaxAverageExponent + 1;  // first exponent, after the header
    StorageReader bad(bytes);
    EXPECT_EQ(restored.Read(bad), StorageStatus::kBadValue);
    RunoutAverageStorage other_shape({2, 5, 2});
    StorageReader        again(out.bytes());
    EXPECT_EQ(other_shape.Read(again), StorageStatus::kLayoutMismatch);
}

TEST(AveragingSchedule, WeightsDelaysAndCaps) {
    const AveragingParams flop = AveragingParamsFor(1);
    EXPECT_EQ(AveragingWeight(60, 60, flop), 0.0);
    EXPECT_EQ(AveragingWeight(61, 60, flop), 1.0);
    EXPECT_EQ(AveragingWeight(64, 60, flop), 8.0);
    EXPECT_EQ(AveragingWeight(100000, 0, flop), 262143.0);
    const AveragingParams river = AveragingParamsFor(3);
    EXPECT_EQ(river.alpha, 4.0);
    EXPECT_EQ(AveragingWeight(1000, 0, river), 1e12);  // not capped
    EXPECT_EQ(river.cap, DBL_MAX);
    EXPECT_EQ(RangeAccumulationWeight(3, flop), 8.0);
    EXPECT_DOUBLE_EQ(RegretScale(1.0, 125.0), 2.0);
    EXPECT_EQ(IterationCap(3), 2200);
    EXPECT_EQ(IterationCap(0), 9000);
}

TEST(AveragingSchedule, RiverAveragesFollowTheSevenIterationRhythm) {
    EXPECT_TRUE(RiverAveragesThisIteration(0, 10, 0));  // second parameter 0: always
    EXPECT_FALSE(RiverAveragesThisIteration(10, 10, 3));
    for (int t = 11; t <= 17; ++t)
        EXPECT_TRUE(RiverAveragesThisIteration(t, 10, 3)) << t;
    EXPECT_TRUE(RiverAveragesThisIteration(18, 10, 3));  // 18 - 10 - 1 = 7
    EXPECT_FALSE(RiverAveragesThisIteration(19, 10, 3));
    EXPECT_FALSE(RiverAveragesThisIteration(24, 10, 3));
    EXPECT_TRUE(RiverAveragesThisIteration(25, 10, 1));  // 25 - 10 - 1 = 14
    EXPECT_FALSE(RiverAveragesThisIteration(26, 10, 1));
}

}  // namespace
