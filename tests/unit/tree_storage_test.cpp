// Storage levels, size factors, runout coverage, memory figures and the per-street storage
// life cycle (build, forget, rebuild) through a recording storage provider.
#include <gtest/gtest.h>

#include "tree/line_editing.h"
#include "tree/runout_coverage.h"
#include "tree/storage_level.h"
#include "tree/street_storage.h"
#include "tree/system_memory.h"
#include "tree/tree_state.h"

namespace {

constexpr uint64_t Card(int id) { return uint64_t{1} << id; }
constexpr uint64_t kFlopQsJh2h = Card(49) | Card(35) | Card(26);

std::vector<double> FullRange() { return std::vector<double>(1326, 1.0); }

TEST(StorageLevel, NamesParametersAndFactors) {
    EXPECT_STREQ(StorageLevelName(-1), "auto");
    EXPECT_STREQ(StorageLevelName(2), "medium");
    EXPECT_STREQ(StorageLevelName(5), "fast");
    EXPECT_EQ(StorageLevelParameters(3).first, 1);
    EXPECT_EQ(StorageLevelParameters(3).second, 2);
    EXPECT_EQ(StorageLevelParameters(5).second, 3);
    EXPECT_EQ(FlopClass(Card(0) | Card(1) | Card(2)), 0);
    EXPECT_EQ(FlopClass(kFlopQsJh2h), 1);
    EXPECT_EQ(FlopClass(Card(0) | Card(14) | Card(28)), 2);
    EXPECT_DOUBLE_EQ(StorageSizeFactor(2, 4), 0.24);
    EXPECT_DOUBLE_EQ(StorageSizeFactor(0, 1), 0.54);
    EXPECT_DOUBLE_EQ(StorageSizeFactor(1, 9), 1.0);
}

TEST(StorageLevel, AutomaticRulePrefersFastThenLowDownToMax) {
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 681), 5);  // 680 < 681
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 680), 1);  // 530 < 680
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 530), 2);
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 390), 3);
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 330), 4);
    EXPECT_EQ(AutomaticStorageLevel(1000, 1, 0), 4);
}

TEST(SystemMemory, ParsesMeminfoIntoTotalAndLoad) {
    SystemMemory memory = ParseMeminfo(
        "MemTotal:       1000000 kB\nMemFree:          100000 kB\nMemAvailable:     250000 kB\n");
    EXPECT_EQ(memory.total_bytes, 1024000000u);
    EXPECT_EQ(memory.load_percent, 75);
    EXPECT_DOUBLE_EQ(memory.AvailableBytes(), 1024000000 * 0.25);
    EXPECT_EQ(ParseMeminfo("garbage").total_bytes, 0u);
    EXPECT_GT(ReadSystemMemory().total_bytes, 0u);
}

TEST(RunoutCoverage, CountsLiveCombosPerRunout) {
    TreeBoard flop{kFlopQsJh2h};
    // 49 cards left: C(49,2) = 1176 live combos.
    RunoutCoverage on_flop = CoverageOf(FullRange(), flop, 0, kFlop);
    EXPECT_EQ(on_flop.runouts, 1u);
    EXPECT_EQ(on_flop.combo_runouts, 1176u);
    RunoutCoverage turns = CoverageOf(FullRange(), flop, 0, kTurn);
    EXPECT_EQ(turns.runouts, 49u);
    EXPECT_EQ(turns.combo_runouts, 49u * 1128);  // C(48,2) per turn card
    RunoutCoverage rivers = CoverageOf(FullRange(), flop, 0, kRiver);
    EXPECT_EQ(rivers.runouts, 49u * 48);
    EXPECT_EQ(rivers.combo_runouts, 49u * 48 * 1081);  // C(47,2)
    TreeBoard turn_board{kFlopQsJh2h, 0};
    EXPECT_EQ(CoverageOf(FullRange(), turn_board, 0, kRiver).runouts, 48u);
    EXPECT_EQ(CoverageOf(FullRange(), turn_board, 0, kTurn).runouts, 1u);
    EXPECT_EQ(CoverageOf({}, flop, 0, kFlop).combo_runouts, 0u);
}

TEST(RunoutCoverage, ShortDeckDealsNoLowCards) {
    TreeBoard flop{kFlopQsJh2h};
    // Low card six: 36 cards, one flop card (2h) already below it, so 34 can come.
    EXPECT_EQ(CoverageOf(FullRange(), flop, 4, kTurn).runouts, 34u);
}

// Records what the tree asks of its storage layer.
struct FakeStorage final : NodeStorage {
    uint64_t SizeBytes() const override { return 1; }
    bool     IsComplete() const override { return true; }
    uint32_t LockFlags(int, int) const override { return 0; }
};

struct RecordingProvider final : StorageProvider {
    uint64_t UncompressedBytes(const StorageShape& shape) const override {
        return 10 * shape.street;
    }
    void CreateStorage(const BuiltTree&, uint32_t, const StorageShape& shape,
                       StorageParameters parameters, BuiltNode& node) override {
        ++created[shape.street];
        last = parameters;
        node.strategy = std::make_unique<FakeStorage>();
    }
    int               created[4] = {};
    StorageParameters last;
};

class StreetStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AddLine(*state_.params.root, {0, 0, 0, 0, 0, 0}, false), LineStatus::kOk);
        std::vector<NodeRecord> records;
        ASSERT_EQ(FlattenLines(*state_.params.root, 1, 60, records), FlattenStatus::kOk);
        state_.built = std::make_unique<BuiltTree>(records, TreeBoard{kFlopQsJh2h},
                                                   std::array{FullRange(), FullRange()});
        state_.present          = true;
        auto provider           = std::make_unique<RecordingProvider>();
        provider_               = provider.get();
        state_.storage          = std::move(provider);
        state_.configured_level = 2;
    }
    TreeState          state_;
    RecordingProvider* provider_ = nullptr;
};

TEST_F(StreetStorageTest, BuildCreatesEveryStreetWithTheLevelParameters) {
    StorageLevelChoice choice = state_.ApplyStorageLevel();
    EXPECT_FALSE(choice.automatic);
    EXPECT_EQ(state_.actual_level, 2);
    EXPECT_EQ(provider_->last.first, 1);
    EXPECT_EQ(provider_->created[kFlop], 2);
    EXPECT_EQ(provider_->created[kTurn], 2);
    EXPECT_EQ(provider_->created[kRiver], 2);
    EXPECT_EQ(state_.built->storage_bytes[0], 20u);
    EXPECT_EQ(state_.built->storage_bytes[2], 60u);
    EXPECT_EQ(choice.uncompressed_bytes, 120u);
    for (const BuiltNode& node : state_.built->Nodes())
        EXPECT_EQ(node.storage_complete, node.IsDecision());
}

TEST_F(StreetStorageTest, ForgetDropsLaterStreetsAndRebuildRestoresThem) {
    state_.ApplyStorageLevel();
    state_.Forget(kTurn);
    BuiltTree& tree = *state_.built;
    EXPECT_TRUE(tree.flags & kIncompleteTree);
    EXPECT_FALSE(tree.flags & kNewTree);
    EXPECT_EQ(tree.first_forgotten_street, kTurn);
    for (const BuiltNode& node : tree.Nodes())
        if (node.IsDecision())
            EXPECT_EQ(node.strategy != nullptr, node.street < kTurn);
    state_.RebuildForgottenStreets();
    EXPECT_FALSE(tree.flags & kIncompleteTree);
    EXPECT_EQ(provider_->created[kFlop], 2);  // complete nodes are left alone
    EXPECT_EQ(provider_->created[kTurn], 4);
    EXPECT_EQ(provider_->created[kRiver], 4);
    for (const BuiltNode& node : tree.Nodes())
        if (node.IsDecision())
            EXPECT_TRUE(node.strategy && node.storage_complete);
}

TEST_F(StreetStorageTest, RebuildWithNothingForgottenChangesNothing) {
    state_.ApplyStorageLevel();
    state_.built->flags |= kIncompleteTree;
    state_.RebuildForgottenStreets();  // first forgotten street -1: nothing happens
    EXPECT_TRUE(state_.built->flags & kIncompleteTree);
    state_.built->first_forgotten_street = 4;
    state_.RebuildForgottenStreets();  // past the river: only the flag
    EXPECT_FALSE(state_.built->flags & kIncompleteTree);
    EXPECT_EQ(provider_->created[kRiver], 2);
}

TEST_F(StreetStorageTest, AutomaticLevelIsNeverNone) {
    state_.configured_level = kAutoLevel;
    StorageLevelChoice choice = state_.ApplyStorageLevel();
    EXPECT_TRUE(choice.automatic);
    EXPECT_EQ(choice.level, 5);  // 120 bytes fit anywhere
}

TEST(DefaultStorageProvider, TwoBytesEachForRegretsAndAveragesPerComboAndAction) {
    DefaultStorageProvider provider;
    EXPECT_EQ(provider.UncompressedBytes({kTurn, 3, 49, 1000}), 4u * 3 * 1000);
}

}  // namespace
