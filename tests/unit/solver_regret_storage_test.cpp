// Regret storage: the update rule through the store, locks, early grouping, adaptive
// precision with its overflow guarantees, sizes and the saved form.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "solver/adaptive_precision.h"
#include "solver/regret_storage.h"
#include "solver/solver_kernels.h"

namespace {

const SolverKernels& Wide() { return KernelsFor(SimdPath::kAvx512); }

std::vector<uint16_t> SlotRegrets(const RunoutRegretStorage& store, int slot) {
    std::vector<uint16_t> all;
    for (int a = 0; a < store.Layout().actions; ++a)
        all.insert(all.end(), store.Row(slot, a), store.Row(slot, a) + store.Layout().combos);
    return all;
}

void FillRandom(RunoutRegretStorage& store, std::mt19937& rng, int largest) {
    std::uniform_int_distribution<int> value(0, largest);
    for (int s = 0; s < store.Layout().slots; ++s)
        for (int a = 0; a < store.Layout().actions; ++a)
            for (int i = 0; i < store.Layout().combos; ++i)
                store.Row(s, a)[i] = uint16_t(value(rng));
}

TEST(RegretStorage, FreshStoreIsUniformAndReportsItsBytes) {
    const RunoutLayout  layout{3, 1081, 48};
    RunoutRegretStorage store(layout);
    std::vector<float>  strategy(3 * 1088);
    for (int slot : {0, 47}) {
        store.CurrentStrategy(slot, Wide(), strategy.data(), 1088);
        for (int a = 0; a < 3; ++a)
            for (int i = 0; i < 1081; ++i)
                ASSERT_EQ(strategy[a * 1088 + i], 1.0f / 3);
    }
    // 2 bytes per combo and action (rows padded to 1088 combos), a factor and a lock
    // record per slot.
    EXPECT_EQ(store.ByteSize(), 48u * 3 * 1088 * 2 + 48 * 4 + 48 * 4);
    EXPECT_EQ(store.Factor(5), kInitialPrecisionFactor);
    store.Release();
    EXPECT_FALSE(store.IsAllocated());
    EXPECT_EQ(store.ByteSize(), 48u * 4 + 48 * 4);
    store.Allocate();
    EXPECT_EQ(store.ByteSize(), 48u * 3 * 1088 * 2 + 48 * 4 + 48 * 4);
}

TEST(RegretStorage, UpdateMovesOnlyItsSlotAndRespectsLocks) {
    RunoutRegretStorage store({2, 20, 3});
    std::vector<float>  win(20, 4.0f), lose(20, -4.0f), node(20, 0.0f);
    const float*        values[] = {win.data(), lose.data()};
    RegretUpdate        update{.scale = 16.0, .iteration = 3};
    for (int slot = 0; slot < 3; ++slot)
        store.Factor(slot) = 1.0f;  // the update scale alone sets the step
    store.UpdateRegrets(1, Wide(), values, node.data(), update);
    EXPECT_EQ(store.Row(1, 0)[7], 22);  // trunc((16 * 4)^0.75)
    EXPECT_EQ(store.Row(1, 1)[7], 0);   // floored
    EXPECT_EQ(store.Row(0, 0)[7], 0);   // other slots untouched
    EXPECT_EQ(store.Row(2, 0)[7], 0);

    store.Locks().Lock(2);
    store.UpdateRegrets(2, Wide(), values, node.data(), update);
    EXPECT_EQ(store.Row(2, 0)[7], 0);
    EXPECT_EQ(store.Locks().Flags(2), kLockedFlag);

    std::vector<float> weights(20, 0.0f);
    weights[3] = 0.5f;
    store.Locks().ComboLock(0, weights);
    EXPECT_EQ(store.Locks().Flags(0), kComboLockedFlag);
    store.UpdateRegrets(0, Wide(), values, node.data(), update);
    EXPECT_EQ(store.Row(0, 0)[3], 0);   // the combo-locked combo keeps its regret
    EXPECT_EQ(store.Row(0, 0)[4], 22);
    store.Locks().Lock(0);              // a lock drops the combo lock
    EXPECT_EQ(store.Locks().Flags(0), kLockedFlag);
    EXPECT_EQ(store.Locks().SkipBits(0), nullptr);
    store.Locks().Unlock(0);
    EXPECT_EQ(store.Locks().Flags(0), 0u);
}

// The fused route (2 and 3 actions in one kernel, others through matching + sum +
// update) gives the same regrets and node values as the separate steps.
TEST(RegretStorage, FusedUpdateEqualsSeparateSteps) {
    std::mt19937 rng(12);
    for (int actions : {2, 3, 5}) {
        const RunoutLayout  layout{actions, 45, 2};
        RunoutRegretStorage fused(layout), separate(layout);
        FillRandom(fused, rng, 3000);
        for (int a = 0; a < actions; ++a)
            std::copy_n(fused.Row(1, a), 45, separate.Row(1, a));
        std::normal_distribution<float> value(0.0f, 3.0f);
        std::vector<std::vector<float>> rows(actions, std::vector<float>(45));
        std::vector<const float*>       pointers;
        for (auto& row : rows) {
            for (float& v : row)
                v = value(rng);
            pointers.push_back(row.data());
        }
        const RegretUpdate update{.scale = 30.0, .iteration = 7};
        std::vector<float> fused_node(45), strategy(actions * layout.RowStride()), node(45);
        fused.FusedUpdate(1, Wide(), pointers.data(), fused_node.data(), update);
        separate.CurrentStrategy(1, Wide(), strategy.data(), layout.RowStride());
        Wide().WeightedValueSum(strategy.data(), layout.RowStride(), pointers.data(), actions, 45, node.data());
        separate.UpdateRegrets(1, Wide(), pointers.data(), node.data(), update);
        EXPECT_EQ(fused_node, node) << actions;
        EXPECT_EQ(SlotRegrets(fused, 1), SlotRegrets(separate, 1)) << actions;
        EXPECT_NE(SlotRegrets(fused, 1), SlotRegrets(fused, 0)) << actions;
    }
}

TEST(RegretStorage, EarlyGroupingReplacesGroupsByTheirIntegerMean) {
    RunoutRegretStorage store({1, 6, 1});
    const uint16_t      start[6] = {1, 2, 10, 11, 13, 7};
    std::copy_n(start, 6, store.Row(0, 0));
    std::vector<float>    zero(6, 0.0f);
    const float*          values[] = {zero.data()};
    const uint16_t        groups[] = {2, 3, 1};
    store.UpdateRegrets(0, Wide(), values, zero.data(),
                        {.scale = 1.0, .iteration = 1, .early_groups = {groups, {}}});
    EXPECT_EQ(SlotRegrets(store, 0), (std::vector<uint16_t>{1, 1, 11, 11, 11, 7}));

    // Groups over a reordering of the combos (strength order): members need not be
    // neighbours.
    std::copy_n(start, 6, store.Row(0, 0));
    const uint16_t order[] = {5, 0, 3, 1, 2, 4};
    store.UpdateRegrets(0, Wide(), values, zero.data(),
                        {.scale = 1.0, .iteration = 1, .early_groups = {groups, order}});
    // groups {7, 1} -> 4, {11, 2, 10} -> 7, {13} stays
    EXPECT_EQ(SlotRegrets(store, 0), (std::vector<uint16_t>{4, 7, 7, 7, 13, 4}));
}

TEST(AdaptivePrecision, ScaleUpStepFollowsTheTarget) {
    EXPECT_EQ(ScaleUpStep(100, 0.0), 8);   // 1024 / 100 -> 2^4, capped at 8
    EXPECT_EQ(ScaleUpStep(300, 0.0), 4);   // 3.4 -> 2^2
    EXPECT_EQ(ScaleUpStep(600, 0.0), 2);   // 1.7 -> 2^1
    EXPECT_EQ(ScaleUpStep(1024, 0.0), 1);  // at the target: no scale-up
    EXPECT_EQ(ScaleUpStep(1500, 2.0), 4);  // 4096 / 1500 = 2.7 -> 2^2
    EXPECT_EQ(ScaleUpStep(300, -2.0), 1);  // target 256
}

TEST(AdaptivePrecision, ReadjustsEveryTenthIterationOnly) {
    std::vector<float> zero(4, 0.0f);
    const float*       values[] = {zero.data(), zero.data()};
    auto               run      = [&](uint16_t largest, float factor, int iteration, bool adaptive) {
        RunoutRegretStorage store({2, 4, 1});
        store.Row(0, 0)[0] = largest;
        store.Row(0, 1)[3] = 5;
        store.Factor(0)    = factor;
        store.UpdateRegrets(0, Wide(), values, zero.data(),
                                           {.scale = 1.0, .iteration = iteration, .adaptive = adaptive});
        return std::make_tuple(store.Row(0, 0)[0], store.Row(0, 1)[3], store.Factor(0));
    };
    EXPECT_EQ(run(300, 1.0f, 20, true), std::make_tuple(uint16_t(1200), uint16_t(20), 4.0f));
    EXPECT_EQ(run(300, 1.0f, 21, true), std::make_tuple(uint16_t(300), uint16_t(5), 1.0f));
    EXPECT_EQ(run(300, 1.0f, 20, false), std::make_tuple(uint16_t(300), uint16_t(5), 1.0f));
    EXPECT_EQ(run(300, 64.0f, 20, true), std::make_tuple(uint16_t(300), uint16_t(5), 64.0f));
    EXPECT_EQ(run(60001, 2.0f, 0, true), std::make_tuple(uint16_t(30000), uint16_t(2), 1.0f));
    EXPECT_EQ(run(60000, 2.0f, 0, true), std::make_tuple(uint16_t(60000), uint16_t(5), 2.0f));
    // M is taken over all actions: the 5 of the second action decides here.
    EXPECT_EQ(run(0, 2.0f, 10, true), std::make_tuple(uint16_t(0), uint16_t(40), 16.0f));
    // A slot without any regret stays as it is.
    std::vector<uint16_t> empty(64, 0);
    float                 factor = 2.0f;
    EXPECT_EQ(ReadjustPrecision(empty.data(), 2, 32, 30, factor, 0.0), 1.0f);
    EXPECT_EQ(factor, 2.0f);
}

// Guarantee 1 of adaptive_precision.h: whatever the changes, a regret never passes 65535
// (it saturates instead of wrapping) and the tenth iteration halves the slot.
TEST(AdaptivePrecision, HugeChangesSaturateAndAreHalvedAtTheTenthIteration) {
    for (SimdPath path : {SimdPath::kScalar, SimdPath::kAvx2, SimdPath::kAvx512}) {
        RunoutRegretStorage store({2, 33, 1});
        std::fill_n(store.Row(0, 0), 33, uint16_t(60000));
        std::vector<float> huge(33, 1e9f), node(33, 0.0f);
        const float*       values[] = {huge.data(), nullptr};
        for (int iteration = 1; iteration <= 10; ++iteration) {
            store.UpdateRegrets(0, KernelsFor(path), values, node.data(), {.scale = 50.0, .iteration = iteration});
            if (iteration < 10)
                ASSERT_EQ(store.Row(0, 0)[32], 65535) << SimdPathName(path);
        }
        EXPECT_EQ(store.Row(0, 0)[0], 32767) << SimdPathName(path);
        EXPECT_EQ(store.Factor(0), 0.5f * kInitialPrecisionFactor) << SimdPathName(path);
    }
}

// Guarantee 2: with s * f * |d| <= 4500 at every update, ten updates from any slot state
// a re-adjustment can leave (largest regret <= 60000) stay below 65536 without
// saturating: every stored value equals the unbounded integer reference.
TEST(AdaptivePrecision, BoundedChangesNeverReachTheSaturationPoint) {
    std::mt19937 rng(2024);
    for (int trial = 0; trial < 20; ++trial) {
        RunoutRegretStorage store({3, 50, 1});
        FillRandom(store, rng, 60000);
        const float                 factor = std::uniform_real_distribution<float>(0.25f, 256.0f)(rng);
        const double                scale  = 7.5;
        const double                bound  = 4500.0 / (scale * factor);  // largest |d|
        store.Factor(0)                    = factor;
        const auto                  start = SlotRegrets(store, 0);
        std::vector<int64_t>        reference(start.begin(), start.end());
        std::uniform_real_distribution<double> change(-bound, bound);
        for (int iteration = 1; iteration <= 10; ++iteration) {
            std::vector<std::vector<float>> rows(3, std::vector<float>(50));
            std::vector<float>              node(50, 0.0f);
            std::vector<const float*>       pointers;
            // Even trials: every change a rise (the worst case); odd trials: both signs.
            for (auto& row : rows) {
                for (float& d : row)
                    d = trial % 2 ? float(change(rng)) : float(std::fabs(change(rng)));
                pointers.push_back(row.data());
            }
            const RegretStep step = MakeRegretStep(scale * factor);
            for (int a = 0; a < 3; ++a)
                for (int i = 0; i < 50; ++i) {
                    float   d        = rows[a][i];
                    float   root     = std::sqrt(std::fabs(d));
                    int64_t steps    = int64_t(root * step.scale_3_4 * std::sqrt(root));
                    int64_t& r       = reference[a * 50 + i];
                    if (d >= step.threshold)
                        r += steps;
                    else if (d <= -step.threshold)
                        r = std::max<int64_t>(r - steps, 0);
                    ASSERT_LE(r, 65535) << "trial " << trial;
                }
            store.UpdateRegrets(0, Wide(), pointers.data(), node.data(),
                                {.scale = scale, .iteration = iteration, .adaptive = iteration < 10});
            const auto stored = SlotRegrets(store, 0);
            for (size_t e = 0; e < stored.size(); ++e)
                ASSERT_EQ(stored[e], reference[e]) << "trial " << trial << " iteration " << iteration;
        }
    }
}

TEST(RegretStorage, SavedFormRoundTripsWithLocksAndFactors) {
    std::mt19937        rng(5);
    const RunoutLayout  layout{3, 40, 4};
    RunoutRegretStorage store(layout);
    FillRandom(store, rng, 65535);
    store.Factor(2) = 8.0f;
    store.Locks().Lock(0);
    std::vector<float> weights(40, 0.0f);
    weights[39] = 1.0f;
    store.Locks().ComboLock(3, weights);
    StorageWriter out;
    store.Write(out);

    RunoutRegretStorage restored(layout);
    StorageReader       in(out.bytes());
    ASSERT_EQ(restored.Read(in), StorageStatus::kOk);
    EXPECT_TRUE(in.AtEnd());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(SlotRegrets(restored, s), SlotRegrets(store, s));
        EXPECT_EQ(restored.Factor(s), store.Factor(s));
        EXPECT_EQ(restored.Locks().Flags(s), store.Locks().Flags(s));
    }
    EXPECT_EQ(restored.Locks().ComboLockWeights(3)[39], 1.0f);
    ASSERT_NE(restored.Locks().SkipBits(3), nullptr);
    EXPECT_EQ(restored.Locks().SkipBits(3)[1] >> 7 & 1, 1u);
    EXPECT_EQ(restored.ByteSize(), store.ByteSize());
}

TEST(RegretStorage, ReaderRejectsDamagedInputAndKeepsItsState) {
    const RunoutLayout  layout{2, 10, 2};
    RunoutRegretStorage store(layout);
    store.Row(1, 1)[9] = 77;
    StorageWriter out;
    store.Write(out);
    const std::vector<uint8_t> good = out.bytes();

    RunoutRegretStorage target(layout);
    target.Row(0, 0)[0] = 5;
    auto read = [&](std::vector<uint8_t> bytes) {
        StorageReader in(bytes);
        return target.Read(in);
    };
    for (size_t cut = 0; cut < good.size(); cut += 3)
        EXPECT_EQ(read({good.begin(), good.begin() + cut}), StorageStatus::kTruncated) << cut;
    auto damaged = [&](size_t at, uint8_t byte) {
        std::vector<uint8_t> bytes = good;
        bytes[at]                  = byte;
        return bytes;
    };
    EXPECT_EQ(read(damaged(0, 'X')), StorageStatus::kWrongKind);
    EXPECT_EQ(read(damaged(4, 1)), StorageStatus::kWrongVersion);  // the form before spans
    EXPECT_EQ(read(damaged(6, 3)), StorageStatus::kLayoutMismatch);   // actions
    EXPECT_EQ(read(damaged(14, 40)), StorageStatus::kLayoutMismatch);  // stored combos per row
    EXPECT_EQ(read(damaged(19, 0xFF)), StorageStatus::kBadValue);     // factor of slot 0: -inf
    EXPECT_EQ(read(damaged(good.size() - 4, 3)), StorageStatus::kBadValue);  // both lock bits
    EXPECT_EQ(target.Row(0, 0)[0], 5);  // every failure left the store as it was
    EXPECT_EQ(read(good), StorageStatus::kOk);
    EXPECT_EQ(target.Row(1, 1)[9], 77);
    EXPECT_EQ(target.Row(0, 0)[0], 0);
    EXPECT_STREQ(StorageStatusText(StorageStatus::kTruncated), "truncated storage data");
}

}  // namespace
