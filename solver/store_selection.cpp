#include "solver/store_selection.h"

#include <cassert>

#include "solver/average_storage.h"
#include "solver/compressed_average_storage.h"
#include "solver/compressed_regret_storage.h"
#include "solver/fast_average_storage.h"
#include "solver/regret_storage.h"
#include "tree/built_tree.h"

namespace {

constexpr int kEarlyGroupingIterations = 30;
constexpr int kFastIterationCap        = 2200;
constexpr int kIterationCap            = 9000;

}  // namespace

StoreChoice ChooseStores(int street, StorageParameters parameters, bool river_strategy) {
    StoreChoice choice;
    if (street != kRiver)
        return choice;
    if (parameters.first == 1)
        choice.regrets = RegretLayout::kCompressed1;
    else if (parameters.first == 2)
        choice.regrets = RegretLayout::kCompressed2;
    if (!river_strategy)
        choice.averages = AverageLayout::kNone;
    else if (parameters.second == 1)
        choice.averages = AverageLayout::kCompressed1;
    else if (parameters.second == 2)
        choice.averages = AverageLayout::kCompressed2;
    else if (parameters.second == 3)
        choice.averages = AverageLayout::kFast;
    return choice;
}

bool PacksStores(StorageParameters parameters) {
    const StoreChoice river = ChooseStores(kRiver, parameters, true);
    return river.regrets != RegretLayout::kPlain || river.averages == AverageLayout::kCompressed1 ||
           river.averages == AverageLayout::kCompressed2;
}

LevelConstants LevelConstantsOf(StorageParameters parameters) {
    return {parameters.first == 2 ? kEarlyGroupingIterations : 0,
            parameters.second == 3 ? kFastIterationCap : kIterationCap};
}

std::unique_ptr<StrategyStore> MakeRegretStore(RegretLayout kind, const RunoutLayout& layout) {
    switch (kind) {
    case RegretLayout::kCompressed1: return std::make_unique<CompressedRegretStorage>(layout, 1);
    case RegretLayout::kCompressed2: return std::make_unique<CompressedRegretStorage>(layout, 2);
    default: return std::make_unique<RunoutRegretStorage>(layout);
    }
}

std::unique_ptr<StrategyStore> MakeAverageStore(AverageLayout kind, const RunoutLayout& layout) {
    switch (kind) {
    case AverageLayout::kNone: return nullptr;
    case AverageLayout::kCompressed1: return std::make_unique<CompressedAverageStorage>(layout, 1);
    case AverageLayout::kCompressed2: return std::make_unique<CompressedAverageStorage>(layout, 2);
    case AverageLayout::kFast: return std::make_unique<FastAverageStorage>(layout);
    default: return std::make_unique<RunoutAverageStorage>(layout);
    }
}

void CarryOver(const StrategyStore& from, StrategyStore& to) {
    StorageWriter saved;
    from.Write(saved);
    StorageReader            reader(saved.bytes());
    [[maybe_unused]] const StorageStatus status = to.Read(reader);
    assert(status == StorageStatus::kOk);
}
