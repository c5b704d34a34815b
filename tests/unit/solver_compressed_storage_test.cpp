// The compressed river stores against the stores they stand in for: packed regrets
// rounded per combo that stay close to the plain store and
// reproducible, zero rows and dominant actions that survive the rounding, packed averages
// that hold the fast store's numbers (mode 1) or stay close to them (mode 2) under the
// same updates (compared through the shared saved form), the fast store's coarser
// averages, sizes, locks, and moving contents between layouts.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "solver/average_storage.h"
#include "solver/compressed_average_storage.h"
#include "solver/compressed_regret_storage.h"
#include "solver/fast_average_storage.h"
#include "solver/regret_storage.h"
#include "solver/solver_kernels.h"
#include "solver/store_selection.h"

namespace {

const SolverKernels& Wide() { return KernelsFor(SimdPath::kAvx512); }

std::vector<uint8_t> Saved(const StrategyStore& store) {
    StorageWriter out;
    store.Write(out);
    return out.bytes();
}

// The same random regret updates on two stores of one layout (each plays its own
// strategy in the fused updates).
void UpdateBoth(StrategyStore& a, StrategyStore& b, std::mt19937& rng, int rounds) {
    const RunoutLayout& layout = a.Layout();
    std::normal_distribution<float> value(0.0f, 3.0f);
    std::vector<std::vector<float>> rows(layout.actions, std::vector<float>(layout.combos));
    std::vector<float>              node_a(layout.combos), node_b(layout.combos);
    const float*                    values[kMaxActions];
    for (int round = 0; round < rounds; ++round) {
        for (int x = 0; x < layout.actions; ++x) {
            for (float& v : rows[x])
                v = value(rng);
            values[x] = rows[x].data();
        }
        const int    slot = static_cast<int>(rng() % layout.slots);
        RegretUpdate update{.scale = 40.0, .iteration = round};
        if (round % 3 == 0) {
            std::fill(node_a.begin(), node_a.end(), 0.5f);
            a.UpdateRegrets(slot, Wide(), values, node_a.data(), update);
            b.UpdateRegrets(slot, Wide(), values, node_a.data(), update);
        } else {
            a.FusedUpdate(slot, Wide(), values, node_a.data(), update);
            b.FusedUpdate(slot, Wide(), values, node_b.data(), update);
            if (a.Kind() == b.Kind())  // stores of one kind play alike
                ASSERT_EQ(node_a, node_b) << "round " << round;
        }
    }
}

void AccumulateBoth(StrategyStore& a, StrategyStore& b, std::mt19937& rng, int rounds) {
    const RunoutLayout&                   layout = a.Layout();
    std::uniform_real_distribution<float> reach(0.0f, 1.0f);
    std::vector<std::vector<float>>       rows(layout.actions, std::vector<float>(layout.combos));
    const float*                          child[kMaxActions];
    for (int round = 0; round < rounds; ++round) {
        for (int x = 0; x < layout.actions; ++x) {
            for (float& r : rows[x])
                r = rng() % 3 == 0 ? 0.0f : reach(rng);
            child[x] = (round + x) % 4 == 0 ? nullptr : rows[x].data();
        }
        const int    slot   = static_cast<int>(rng() % layout.slots);
        const double weight = 65536.0 * std::pow(1.0 + round, 1.5);
        a.AccumulateAverage(slot, Wide(), child, weight);
        b.AccumulateAverage(slot, Wide(), child, weight);
    }
}

std::vector<float> Strategy(const StrategyStore& store, int slot) {
    const RunoutLayout& layout = store.Layout();
    std::vector<float>  out(layout.actions * layout.RowStride());
    store.CurrentStrategy(slot, Wide(), out.data(), layout.RowStride());
    return out;
}

}  // namespace

// Largest absolute difference between two stores' strategies over every slot, and the
// mean over every combo and action.
double StrategyDistance(const StrategyStore& a, const StrategyStore& b, double* mean = nullptr) {
    double worst = 0, sum = 0;
    size_t count = 0;
    for (int slot = 0; slot < a.Layout().slots; ++slot) {
        const auto x = Strategy(a, slot), y = Strategy(b, slot);
        for (size_t i = 0; i < x.size(); ++i) {
            worst = std::max(worst, double(std::fabs(x[i] - y[i])));
            sum += std::fabs(x[i] - y[i]);
            count += i % a.Layout().RowStride() < size_t(a.Layout().combos);
        }
    }
    if (mean)
        *mean = sum / double(count);
    return worst;
}

// The same regret updates (given node values, so that neither store's play feeds back)
// on two stores.
void UpdateRegretsBoth(StrategyStore& a, StrategyStore& b, std::mt19937& rng, int rounds) {
    const RunoutLayout&             layout = a.Layout();
    std::normal_distribution<float> value(0.0f, 3.0f);
    std::vector<std::vector<float>> rows(layout.actions, std::vector<float>(layout.combos));
    std::vector<float>              node(layout.combos);
    const float*                    values[kMaxActions];
    for (int round = 0; round < rounds; ++round) {
        for (int x = 0; x < layout.actions; ++x) {
            for (float& v : rows[x])
                v = value(rng) + 0.3f * float(x);  // later actions a little better
            values[x] = rows[x].data();
        }
        for (float& v : node)
            v = value(rng) * 0.3f;
        const int          slot = static_cast<int>(rng() % layout.slots);
        const RegretUpdate update{.scale = 40.0, .iteration = round};
        a.UpdateRegrets(slot, Wide(), values, node.data(), update);
        b.UpdateRegrets(slot, Wide(), values, node.data(), update);
    }
}

TEST(CompressedRegretStorage, RoundedRegretsStayCloseToThePlainStore) {
    for (int mode : {1, 2})
        for (int actions : {2, 3, 5}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " actions " + std::to_string(actions));
            const RunoutLayout      layout{actions, 203, 6};
            RunoutRegretStorage     plain(layout), reference(layout);
            CompressedRegretStorage packed(layout, mode), twin(layout, mode);
            std::mt19937            rng(mode * 10 + actions), same(mode * 10 + actions);
            UpdateRegretsBoth(plain, packed, rng, 200);
            UpdateRegretsBoth(reference, twin, same, 200);
            // Reproducible: the same updates give the same bytes.
            EXPECT_EQ(Saved(twin), Saved(packed));
            // Rounded to 'bits' per combo (steps of at most 2^(1 - bits) of the combo's
            // largest regret, unbiased): after about 33 updates of every slot the
            // frequencies stay within a few steps of the plain store's on average; single
            // combos whose regrets nearly cancel can move further.
            const int bits = mode == 1 ? kRegretBitsMode1 : kRegretBitsMode2;
            EXPECT_NE(Saved(packed), Saved(plain));
            double       mean     = 0;
            const double distance = StrategyDistance(plain, packed, &mean);
            EXPECT_GT(distance, 0.0);
            EXPECT_LT(distance, 0.5);
            EXPECT_LT(mean, 1.6 / (1 << bits));
            for (int slot = 0; slot < layout.slots; ++slot) {
                const auto regrets = packed.SlotRegrets(slot);
                for (int c = 0; c < layout.combos; ++c) {
                    uint32_t largest = 0;
                    for (int a = 0; a < actions; ++a)
                        largest = std::max<uint32_t>(largest, regrets[a * layout.StoredStride() + c]);
                    const int shift = std::max(0, int(std::bit_width(largest)) - bits);
                    for (int a = 0; a < actions; ++a)
                        ASSERT_EQ(regrets[a * layout.StoredStride() + c] % (1u << shift), 0u);
                }
            }
        }
}

TEST(CompressedRegretStorage, ZeroRowsStayZeroAndDominantActionsSurvive) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const RunoutLayout      layout{3, 64, 2};
        CompressedRegretStorage store(layout, mode);
        std::vector<float>      good(64), bad(64, -3.0f), node(64, 0.0f);
        for (int i = 0; i < 64; ++i)
            good[i] = 0.01f * float(1 + i);
        const float* values[] = {good.data(), bad.data(), bad.data()};
        for (int t = 1; t <= 40; ++t)
            store.UpdateRegrets(0, Wide(), values, node.data(), {.scale = 4000.0, .iteration = t});
        const auto regrets = store.SlotRegrets(0);
        const auto strategy = Strategy(store, 0);
        const size_t stride = layout.RowStride();
        for (int i = 0; i < 64; ++i) {
            EXPECT_GT(regrets[i], 0) << i;  // small and large regrets of the best action stay
            EXPECT_EQ(regrets[layout.StoredStride() + i], 0) << i;
            EXPECT_NEAR(strategy[i], 1.0f, 1e-6) << i;
            EXPECT_EQ(strategy[2 * stride + i], 0.0f) << i;
        }
        // The slot never updated is all zeros, holds no packed bytes and plays uniformly.
        for (uint16_t r : store.SlotRegrets(1))
            EXPECT_EQ(r, 0);
        EXPECT_NEAR(Strategy(store, 1)[0], 1.0f / 3, 1e-6);
    }
}

TEST(CompressedStores, OneActionKeepsNoNumbersAndPlaysItsAction) {
    const RunoutLayout       layout{1, 64, 3};
    CompressedRegretStorage  regrets(layout, 2);
    CompressedAverageStorage averages(layout, 1);
    const uint64_t           empty_regrets = regrets.ByteSize(), empty_averages = averages.ByteSize();
    std::vector<float>       value(64, 5.0f), node(64, 0.0f), reach(64, 0.5f);
    const float*             values[] = {value.data()};
    for (int t = 1; t <= 20; ++t) {
        regrets.UpdateRegrets(t % 3, Wide(), values, node.data(), {.scale = 40.0, .iteration = t});
        averages.AccumulateAverage(t % 3, Wide(), values, 1e4 * t);
    }
    EXPECT_EQ(regrets.ByteSize(), empty_regrets);
    EXPECT_EQ(averages.ByteSize(), empty_averages);
    for (int slot = 0; slot < 3; ++slot)
        for (const StrategyStore* store : {static_cast<const StrategyStore*>(&regrets),
                                           static_cast<const StrategyStore*>(&averages)})
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(Strategy(*store, slot)[i], 1.0f) << slot << " " << i;
}

TEST(CompressedRegretStorage, WrittenStrategiesAsThePlainStoreSeedingWithinTheRounding) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const RunoutLayout      layout{3, 70, 4};
        RunoutRegretStorage     plain(layout);
        CompressedRegretStorage packed(layout, mode);
        const size_t       stride = layout.RowStride();
        std::vector<float> written(3 * stride, 0.0f);
        for (int i = 0; i < layout.combos; ++i) {
            written[i]              = 0.2f;
            written[stride + i]     = 0.3f;
            written[2 * stride + i] = 0.5f;
        }
        for (StrategyStore* store : {static_cast<StrategyStore*>(&plain), static_cast<StrategyStore*>(&packed)}) {
            store->Locks().WriteStrategy(1, 3, written.data(), stride);
            store->SeedStrategy(2, written.data(), stride);
        }
        std::mt19937       rng(40 + mode);
        std::vector<float> reach(layout.combos), out_plain(3 * stride), out_packed(3 * stride);
        for (float& r : reach)
            r = float(rng() % 100) / 100.0f;
        for (int slot = 0; slot < layout.slots; ++slot) {
            float* plain_rows[]  = {out_plain.data(), out_plain.data() + stride, out_plain.data() + 2 * stride};
            float* packed_rows[] = {out_packed.data(), out_packed.data() + stride, out_packed.data() + 2 * stride};
            EXPECT_EQ(plain.ChildReach(slot, Wide(), reach.data(), layout.combos, plain_rows),
                      packed.ChildReach(slot, Wide(), reach.data(), layout.combos, packed_rows));
            for (size_t i = 0; i < out_plain.size(); ++i) {
                const size_t combo = i % stride;
                if (slot == 2 && combo < size_t(layout.combos))  // seeded regrets are rounded
                    ASSERT_NEAR(out_packed[i], out_plain[i], reach[combo] / 32 + 1e-6) << i;
                else
                    ASSERT_EQ(out_packed[i], out_plain[i]) << "slot " << slot << " " << i;
            }
        }
    }
}

TEST(CompressedRegretStorage, LocksEarlyGroupsAndSize) {
    const RunoutLayout      layout{2, 64, 4};
    CompressedRegretStorage store(layout, 2);
    const uint64_t          empty = store.ByteSize();
    std::vector<float>      win(64, 4.0f), lose(64, -4.0f), node(64, 0.0f);
    const float*            values[] = {win.data(), lose.data()};
    store.Locks().Lock(1);
    store.UpdateRegrets(1, Wide(), values, node.data(), {.scale = 16.0, .iteration = 3});
    EXPECT_EQ(store.ByteSize(), empty);  // a locked slot is not touched
    const uint16_t groups[] = {10, 54};
    win[3]                  = 40.0f;
    store.UpdateRegrets(2, Wide(), values, node.data(),
                        {.scale = 16.0, .iteration = 3, .early_groups = {groups, {}}});
    const auto regrets = store.SlotRegrets(2);
    EXPECT_EQ(regrets[0], regrets[9]);   // one group: its mean
    EXPECT_GT(regrets[0], regrets[10]);  // the raised combo lifted its own group only
    EXPECT_GT(store.ByteSize(), empty);
    store.Release();
    EXPECT_FALSE(store.IsAllocated());
}

TEST(CompressedAverageStorage, HoldsTheFastStoresNumbersPackedRoundedInMode2) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const RunoutLayout       layout{3, 150, 5};
        FastAverageStorage       fast(layout);
        CompressedAverageStorage packed(layout, mode);
        std::mt19937             rng(mode);
        AccumulateBoth(fast, packed, rng, 80);
        if (mode == 1) {  // the same 8-bit numbers
            EXPECT_EQ(Saved(packed), Saved(fast));
            for (int slot = 0; slot < layout.slots; ++slot)
                EXPECT_EQ(Strategy(packed, slot), Strategy(fast, slot));
        } else {  // rounded to 5 bits per combo as well: frequencies within a few 1/32
            EXPECT_NE(Saved(packed), Saved(fast));
            const double distance = StrategyDistance(packed, fast);
            EXPECT_GT(distance, 0.0);
            EXPECT_LT(distance, 0.12);
        }
        // Solved river averages are mostly zeros: a slot reached by a tenth of the combos
        // packs to a fraction of the fast store's byte a number.
        const RunoutLayout       wide{3, 1000, 40};
        FastAverageStorage       fast_sparse(wide);
        CompressedAverageStorage sparse(wide, mode);
        std::vector<float>       reach(1000, 0.0f);
        for (int i = 0; i < 1000; i += 10)
            reach[i] = 0.5f + 0.001f * i;
        const float* rows[] = {reach.data(), reach.data(), nullptr};
        for (int slot = 0; slot < 40; ++slot) {
            sparse.AccumulateAverage(slot, Wide(), rows, 1e5);
            fast_sparse.AccumulateAverage(slot, Wide(), rows, 1e5);
        }
        if (mode == 1)
            EXPECT_EQ(Saved(sparse), Saved(fast_sparse));
        EXPECT_LT(sparse.ByteSize(), fast_sparse.ByteSize() * 0.35);
        packed.Locks().Lock(0);
        const auto before = Saved(packed);
        std::vector<float> ones(150, 1.0f);
        const float*       child[] = {ones.data(), nullptr, nullptr};
        packed.AccumulateAverage(0, Wide(), child, 1e6);
        EXPECT_EQ(Saved(packed), before);
    }
}

TEST(FastAverageStorage, KeepsEightBitBlocksCloseToThePlainAverages) {
    const RunoutLayout   layout{3, 400, 4};
    RunoutAverageStorage plain(layout);
    FastAverageStorage   fast(layout);
    std::mt19937         rng(8);
    AccumulateBoth(plain, fast, rng, 120);
    double worst = 0;
    for (int slot = 0; slot < layout.slots; ++slot) {
        for (int a = 0; a < layout.actions; ++a)
            for (int i = 0; i < layout.combos; ++i)
                ASSERT_LE(fast.Row(slot, a)[i], kFastAverageMax);
        const auto p = Strategy(plain, slot), f = Strategy(fast, slot);
        for (size_t i = 0; i < p.size(); ++i)
            worst = std::max(worst, double(std::fabs(p[i] - f[i])));
    }
    // Reach in (0, 1) against the block's largest: frequencies within a few 1/255 steps.
    EXPECT_LT(worst, 0.05);
    EXPECT_GT(worst, 0.0);  // it is coarser
    // One byte a number instead of two; exponents and lock records the same.
    EXPECT_EQ(plain.ByteSize() - fast.ByteSize(), layout.Elements());
}

TEST(StoreSelection, LayoutsByStreetParametersAndRiverStrategies) {
    EXPECT_EQ(ChooseStores(1, {2, 2}, true).regrets, RegretLayout::kPlain);
    EXPECT_EQ(ChooseStores(2, {2, 3}, true).averages, AverageLayout::kPlain);
    EXPECT_EQ(ChooseStores(3, {0, 0}, true).averages, AverageLayout::kPlain);
    EXPECT_EQ(ChooseStores(3, {0, 1}, true).averages, AverageLayout::kCompressed1);
    EXPECT_EQ(ChooseStores(3, {1, 1}, true).regrets, RegretLayout::kCompressed1);
    EXPECT_EQ(ChooseStores(3, {1, 2}, true).averages, AverageLayout::kCompressed2);
    EXPECT_EQ(ChooseStores(3, {2, 2}, true).regrets, RegretLayout::kCompressed2);
    EXPECT_EQ(ChooseStores(3, {0, 3}, true).averages, AverageLayout::kFast);
    EXPECT_EQ(ChooseStores(3, {0, 3}, false).averages, AverageLayout::kNone);
    EXPECT_EQ(LevelConstantsOf({2, 2}).early_grouping, 30);
    EXPECT_EQ(LevelConstantsOf({1, 2}).early_grouping, 0);
    EXPECT_EQ(LevelConstantsOf({0, 3}).iteration_cap, 2200);
    EXPECT_EQ(LevelConstantsOf({2, 2}).iteration_cap, 9000);
    // Only compressed river stores hold packed memory to tidy between iterations.
    EXPECT_FALSE(PacksStores({0, 0}));
    EXPECT_FALSE(PacksStores({0, 3}));
    EXPECT_TRUE(PacksStores({0, 1}));
    EXPECT_TRUE(PacksStores({1, 3}));
    EXPECT_TRUE(PacksStores({2, 2}));
}

TEST(StoreSelection, ContentsCarryOverBetweenLayouts) {
    const RunoutLayout  layout{3, 90, 7};
    RunoutRegretStorage plain(layout), other(layout);
    std::mt19937        rng(12);
    UpdateBoth(plain, other, rng, 40);
    CompressedRegretStorage one(layout, 1), two(layout, 2);
    CarryOver(plain, one);
    CarryOver(one, two);
    RunoutRegretStorage back(layout);
    CarryOver(two, back);
    EXPECT_EQ(Saved(back), Saved(plain));

    RunoutAverageStorage averages(layout), twin(layout);
    AccumulateBoth(averages, twin, rng, 40);
    // Into 8 bits: the packed and fast layouts narrow alike, and their contents survive
    // their own form and each other's.
    CompressedAverageStorage packed(layout, 2), packed_again(layout, 1);
    FastAverageStorage       fast(layout), fast_again(layout);
    CarryOver(averages, packed);
    CarryOver(averages, fast);
    EXPECT_EQ(Saved(packed), Saved(fast));
    EXPECT_NE(Saved(packed), Saved(averages));
    CarryOver(fast, fast_again);
    CarryOver(packed, packed_again);
    EXPECT_EQ(Saved(fast_again), Saved(fast));
    EXPECT_EQ(Saved(packed_again), Saved(fast));
}

TEST(FastAverageStorage, LateSmallIncrementsStillCount) {
    // Weights grow as t^1.5, so late in a run one iteration adds far less than a unit to
    // the combos of small reach in a block. The strategy switches from action 0 to action
    // 1 halfway: the plain average of every combo ends at 2^-2.5 = 0.18 / 0.82. Blocks that
    // rounded such shares to nearest would lose them and drift for the small-reach combos.
    const RunoutLayout   layout{2, 64, 1};
    RunoutAverageStorage plain(layout);
    FastAverageStorage   fast(layout);
    std::vector<float>   reach(64);
    for (int i = 0; i < 64; ++i)
        reach[i] = 1.0f / float(1 << (i % 8));
    const float* first[]  = {reach.data(), nullptr};
    const float* second[] = {nullptr, reach.data()};
    for (int t = 1; t <= 2000; ++t) {
        const double weight = 65536.0 * std::pow(t, 1.5);
        plain.AccumulateAverage(0, Wide(), t <= 1000 ? first : second, weight);
        fast.AccumulateAverage(0, Wide(), t <= 1000 ? first : second, weight);
    }
    const auto p = Strategy(plain, 0), f = Strategy(fast, 0);
    EXPECT_NEAR(p[0], 0.177, 0.002);
    // Eight bits relative to the block's largest: combos of large reach stay close, small
    // ones are coarse (a few units), but their errors weigh by their reach.
    double weighted_error = 0, total = 0, large_worst = 0;
    for (int i = 0; i < 64; ++i) {
        weighted_error += reach[i] * std::fabs(f[i] - p[i]);
        total += reach[i];
        if (reach[i] >= 0.25f)
            large_worst = std::max(large_worst, double(std::fabs(f[i] - p[i])));
    }
    EXPECT_LT(large_worst, 0.04);
    EXPECT_LT(weighted_error / total, 0.02);
}
