// Stores that keep a span of each slot's combo list: every layout gives, inside the span,
// exactly what a store of the span's combos alone gives, 0 outside it, and saves and
// restores only the span.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "solver/average_storage.h"
#include "solver/compressed_average_storage.h"
#include "solver/compressed_regret_storage.h"
#include "solver/fast_average_storage.h"
#include "solver/regret_storage.h"
#include "solver/solver_kernels.h"

namespace {

const SolverKernels& Wide() { return KernelsFor(SimdPath::kAvx512); }

constexpr int kWidth   = 70;  // the whole list
constexpr int kActions = 3;

// Three slots with spans that start on and off a row boundary; the last is the longest.
RunoutLayout SpanLayout() {
    RunoutLayout layout{kActions, kWidth, 3};
    layout.spans = std::make_shared<const SpanTable>(
        std::vector<ComboSpan>{{5, 30}, {0, 21}, {17, 53}});
    return layout;
}

// The same numbers kept without spans: each slot's span moved to positions 0 .. count-1.
RunoutLayout ReferenceLayout() { return {kActions, 53, 3}; }

std::unique_ptr<StrategyStore> MakeStore(int kind, const RunoutLayout& layout) {
    switch (kind) {
    case 0: return std::make_unique<RunoutRegretStorage>(layout);
    case 1: return std::make_unique<CompressedRegretStorage>(layout, 1);
    case 2: return std::make_unique<CompressedRegretStorage>(layout, 2);
    case 3: return std::make_unique<RunoutAverageStorage>(layout);
    case 4: return std::make_unique<FastAverageStorage>(layout);
    case 5: return std::make_unique<CompressedAverageStorage>(layout, 1);
    default: return std::make_unique<CompressedAverageStorage>(layout, 2);
    }
}
constexpr int kKinds = 7;

// Rows over the whole list, and the same rows cut to a span (zeros after it).
struct Rows {
    std::vector<std::vector<float>> full, cut;
    const float*                    full_ptr[kActions];
    const float*                    cut_ptr[kActions];
};

Rows RandomRows(std::mt19937& rng, ComboSpan span, float low, float high) {
    std::uniform_real_distribution<float> value(low, high);
    Rows rows;
    for (int a = 0; a < kActions; ++a) {
        rows.full.emplace_back(kWidth);
        rows.cut.emplace_back(kWidth, 0.0f);
        for (int i = 0; i < kWidth; ++i)
            rows.full[a][i] = value(rng);
        for (int i = 0; i < span.count; ++i)
            rows.cut[a][i] = rows.full[a][span.first + i];
        rows.full_ptr[a] = rows.full[a].data();
        rows.cut_ptr[a]  = rows.cut[a].data();
    }
    return rows;
}

std::vector<float> Strategy(const StrategyStore& store, int slot) {
    const size_t       stride = store.Layout().RowStride();
    std::vector<float> rows(kActions * stride, -1.0f);
    store.CurrentStrategy(slot, Wide(), rows.data(), stride);
    return rows;
}

// Strategy of the span store against the reference: equal inside the span, 0 outside.
void ExpectSameStrategy(const StrategyStore& spans, const StrategyStore& reference, int slot) {
    const ComboSpan    span   = spans.Layout().Span(slot);
    const auto         full   = Strategy(spans, slot);
    const auto         cut    = Strategy(reference, slot);
    const size_t       fs     = spans.Layout().RowStride();
    const size_t       cs     = reference.Layout().RowStride();
    for (int a = 0; a < kActions; ++a)
        for (int i = 0; i < kWidth; ++i) {
            const bool inside = i >= span.first && i < span.End();
            ASSERT_EQ(full[a * fs + i], inside ? cut[a * cs + i - span.first] : 0.0f)
                << "slot " << slot << " action " << a << " position " << i;
        }
}

// Updates both stores the same way for a few iterations: regret updates (fused and
// separate) or average accumulations, with values and reach that differ outside the span.
void UpdateBoth(StrategyStore& spans, StrategyStore& reference, bool regrets, std::mt19937& rng) {
    for (int iteration = 1; iteration <= 12; ++iteration)
        for (int slot = 0; slot < 3; ++slot) {
            const ComboSpan span = spans.Layout().Span(slot);
            if (regrets) {
                const Rows   values = RandomRows(rng, span, -3.0f, 3.0f);
                RegretUpdate update{.scale = 40.0, .iteration = iteration};
                std::vector<float> node_full(kWidth, 7.0f), node_cut(kWidth, 7.0f);
                if (iteration % 2) {
                    spans.FusedUpdate(slot, Wide(), values.full_ptr, node_full.data(), update);
                    reference.FusedUpdate(slot, Wide(), values.cut_ptr, node_cut.data(), update);
                    for (int i = 0; i < kWidth; ++i) {
                        const bool inside = i >= span.first && i < span.End();
                        ASSERT_EQ(node_full[i], inside ? node_cut[i - span.first] : 0.0f) << i;
                    }
                } else {
                    spans.UpdateRegrets(slot, Wide(), values.full_ptr, node_full.data(), update);
                    reference.UpdateRegrets(slot, Wide(), values.cut_ptr, node_cut.data(), update);
                }
            } else {
                const Rows reach = RandomRows(rng, span, 0.0f, 2.0f);
                spans.AccumulateAverage(slot, Wide(), reach.full_ptr, 1.0 + iteration);
                reference.AccumulateAverage(slot, Wide(), reach.cut_ptr, 1.0 + iteration);
            }
        }
}

std::vector<uint8_t> Saved(const StrategyStore& store) {
    StorageWriter out;
    store.Write(out);
    return out.bytes();
}

}  // namespace

TEST(SpanStorage, EveryLayoutMatchesAStoreOfTheSpanAlone) {
    for (int kind = 0; kind < kKinds; ++kind) {
        SCOPED_TRACE(kind);
        std::mt19937 rng(100 + kind);
        auto         spans     = MakeStore(kind, SpanLayout());
        auto         reference = MakeStore(kind, ReferenceLayout());
        ASSERT_TRUE(spans->Layout().Valid());
        EXPECT_EQ(spans->Layout().RowCombos(), 53);
        UpdateBoth(*spans, *reference, kind < 3, rng);
        for (int slot = 0; slot < 3; ++slot)
            ExpectSameStrategy(*spans, *reference, slot);

        // Saved and read back: the same strategies, and the saved form is the same size
        // as the reference's less the reference's zeros past each slot's span.
        auto                       restored = MakeStore(kind, SpanLayout());
        const std::vector<uint8_t> saved    = Saved(*spans);
        StorageReader              in(saved);
        ASSERT_EQ(restored->Read(in), StorageStatus::kOk);
        EXPECT_TRUE(in.AtEnd());
        for (int slot = 0; slot < 3; ++slot)
            ExpectSameStrategy(*restored, *reference, slot);
        const size_t skipped = 2 * kActions * ((53 - 30) + (53 - 21));
        EXPECT_EQ(Saved(*spans).size() + skipped, Saved(*reference).size());
    }
}

// The plain stores keep each slot's rows at its own span's length (10, 21 and 53 combos
// here), not at the longest span's (64 for every slot), and give what a store of the
// spans alone gives.
TEST(SpanStorage, PlainStoresHoldEachSlotAtItsOwnSpanLength) {
    RunoutLayout layout{kActions, kWidth, 3};
    layout.spans = std::make_shared<const SpanTable>(
        std::vector<ComboSpan>{{5, 10}, {0, 21}, {17, 53}});
    const size_t tight = kActions * (10 + 21 + 53), longest = kActions * 3 * 64;
    for (int kind : {0, 3, 4}) {
        SCOPED_TRACE(kind);
        auto spans     = MakeStore(kind, layout);
        auto reference = MakeStore(kind, ReferenceLayout());
        const size_t element = kind == 4 ? 1 : 2;
        EXPECT_EQ(spans->ByteSize() + (longest - tight) * element, reference->ByteSize());
        // Rows that start anywhere, off a cache line and off a SIMD word, still work as the
        // reference's.
        std::mt19937 rng(31 + kind);
        UpdateBoth(*spans, *reference, kind == 0, rng);
        for (int slot = 0; slot < 3; ++slot)
            ExpectSameStrategy(*spans, *reference, slot);
    }
}

TEST(SpanStorage, ChildReachIsZeroOutsideTheSpan) {
    for (int kind : {0, 1, 3, 4}) {
        SCOPED_TRACE(kind);
        std::mt19937 rng(7);
        auto         spans     = MakeStore(kind, SpanLayout());
        auto         reference = MakeStore(kind, ReferenceLayout());
        UpdateBoth(*spans, *reference, kind < 3, rng);
        for (int slot = 0; slot < 3; ++slot) {
            const ComboSpan span  = spans->Layout().Span(slot);
            const Rows      reach = RandomRows(rng, span, 0.5f, 1.0f);
            std::vector<std::vector<float>> full(kActions, std::vector<float>(kWidth, -1.0f));
            std::vector<std::vector<float>> cut(kActions, std::vector<float>(kWidth, -1.0f));
            float* full_out[kActions];
            float* cut_out[kActions];
            for (int a = 0; a < kActions; ++a)
                full_out[a] = full[a].data(), cut_out[a] = cut[a].data();
            EXPECT_EQ(spans->ChildReach(slot, Wide(), reach.full_ptr[0], kWidth, full_out),
                      reference->ChildReach(slot, Wide(), reach.cut_ptr[0], span.count, cut_out));
            for (int a = 0; a < kActions; ++a)
                for (int i = 0; i < kWidth; ++i) {
                    const bool inside = i >= span.first && i < span.End();
                    ASSERT_EQ(full[a][i], inside ? cut[a][i - span.first] : 0.0f)
                        << "slot " << slot << " action " << a << " position " << i;
                }
        }
    }
}

TEST(SpanStorage, WrittenStrategiesAndComboLocksStayInsideTheSpan) {
    RunoutRegretStorage store(SpanLayout());
    const size_t        stride = store.Layout().RowStride();
    std::vector<float>  written(kActions * stride, 0.0f);
    for (int i = 0; i < kWidth; ++i)
        written[i] = 1.0f;  // every combo of the list plays action 0
    store.Locks().WriteStrategy(2, kActions, written.data(), stride);
    store.SeedStrategy(2, written.data(), stride);
    std::vector<float> played(kActions * stride, -1.0f);
    store.PlayedStrategy(2, Wide(), played.data(), stride);
    EXPECT_EQ(played[16], 0.0f);   // before the span
    EXPECT_EQ(played[17], 1.0f);   // its first combo
    EXPECT_EQ(played[69], 1.0f);   // its last
    EXPECT_EQ(played[stride + 40], 0.0f);
    store.CurrentStrategy(2, Wide(), played.data(), stride);
    EXPECT_NEAR(played[17], 1.0f, 1e-3);  // seeded regrets give it back
    EXPECT_EQ(played[3], 0.0f);

    // A combo lock of list position 20 (stored position 3) keeps its regrets.
    std::vector<float> weights(kWidth, 0.0f);
    weights[20] = 1.0f;
    store.Locks().ComboLock(2, weights);
    ASSERT_NE(store.Locks().RowSkipBits(2), nullptr);
    EXPECT_EQ(store.Locks().RowSkipBits(2)[0], 1u << 3);
    const uint16_t locked = store.Row(2, 0)[3], open = store.Row(2, 0)[4];
    std::vector<float> lose(kWidth, -50.0f), win(kWidth, 50.0f), node(kWidth, 0.0f);
    const float*       values[kActions] = {lose.data(), win.data(), win.data()};
    store.UpdateRegrets(2, Wide(), values, node.data(), {.scale = 64.0, .iteration = 1});
    EXPECT_EQ(store.Row(2, 0)[3], locked);
    EXPECT_LT(store.Row(2, 0)[4], open);
}

TEST(SpanStorage, LayoutsWithDifferentSpansDoNotReadEachOthersForms) {
    RunoutRegretStorage store(SpanLayout());
    RunoutLayout        longer = SpanLayout();
    longer.spans = std::make_shared<const SpanTable>(std::vector<ComboSpan>{{5, 30}, {0, 21}, {0, 60}});
    RunoutRegretStorage        other(longer);
    const std::vector<uint8_t> saved = Saved(store);
    StorageReader              in(saved);
    EXPECT_EQ(other.Read(in), StorageStatus::kLayoutMismatch);
    EXPECT_FALSE(SpanLayout() == longer);
    EXPECT_TRUE(SpanLayout() == SpanLayout());
}

TEST(SpanStorage, EarlyGroupsAverageTheirMembersInsideTheSpan) {
    const ComboSpan       span{3, 4};  // list positions 3 .. 6 of 8
    const uint16_t        sizes[] = {2, 3, 3};
    const uint16_t        reversed[] = {7, 6, 5, 4, 3, 2, 1, 0};
    std::vector<uint16_t> rows = {10, 20, 30, 41};
    // Groups {0, 1}, {2, 3, 4}, {5, 6, 7}: the span holds 3, 4 of the second, 5, 6 of the third.
    AverageEarlyGroups(rows.data(), 4, 1, span, {sizes, {}});
    EXPECT_EQ(rows, (std::vector<uint16_t>{15, 15, 35, 35}));
    // Groups {7, 6}, {5, 4, 3}, {2, 1, 0} by the order: 6 alone keeps its number.
    rows = {10, 20, 30, 41};
    AverageEarlyGroups(rows.data(), 4, 1, span, {sizes, reversed});
    EXPECT_EQ(rows, (std::vector<uint16_t>{20, 20, 20, 41}));
}
