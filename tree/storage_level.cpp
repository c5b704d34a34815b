#include "tree/storage_level.h"

#include <array>

namespace {

// clang-format off
constexpr std::array<const char*, 7> kNames = {"auto", "none", "low", "medium", "high", "max", "fast"};

constexpr std::array<StorageParameters, 6> kParameters = {{
    {0, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 2}, {0, 3},
}};

// Rows: flop class 0..2; columns: none, low, medium, high, max, fast.
constexpr double kSizeFactors[3][6] = {
    {1.0, 0.54, 0.41, 0.35, 0.25, 0.68},
    {1.0, 0.53, 0.39, 0.33, 0.25, 0.68},
    {1.0, 0.51, 0.36, 0.32, 0.24, 0.68},
};
// clang-format on

constexpr int      kFast = 5;
constexpr int      kMax  = 4;
constexpr uint64_t kSuitBits = 0x1FFF;

}  // namespace

const char* StorageLevelName(int level) {
    return level >= kAutoLevel && level <= kHighestLevel ? kNames[level + 1] : "?";
}

StorageParameters StorageLevelParameters(int level) {
    return level >= 0 && level <= kHighestLevel ? kParameters[level] : StorageParameters{};
}

int FlopClass(uint64_t flop_mask) {
    int suits = 0;
    for (int suit = 0; suit < 4; ++suit)
        suits += (flop_mask >> (13 * suit) & kSuitBits) != 0;
    return suits > 0 ? suits - 1 : 0;
}

double StorageSizeFactor(int flop_class, int level) {
    if (level < 0 || level > kHighestLevel || flop_class < 0 || flop_class > 2)
        return 1.0;
    return kSizeFactors[flop_class][level];
}

int AutomaticStorageLevel(uint64_t uncompressed_bytes, int flop_class, int64_t budget_bytes) {
    auto fits = [&](int level) {
        return static_cast<double>(uncompressed_bytes) * StorageSizeFactor(flop_class, level) <
               static_cast<double>(budget_bytes);
    };
    for (int level : {kFast, 1, 2, 3})
        if (fits(level))
            return level;
    return kMax;
}
