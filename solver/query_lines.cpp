#include "solver/query_lines.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>

#include "cards/combo_tables.h"
#include "cli/command.h"

namespace {

// The line and its terminating NUL must fit the protocol's line buffer.
constexpr size_t kLineBuffer = 64 * 1024;

std::string Formatted(const char* format, double value) {
    const int   size = std::snprintf(nullptr, 0, format, value);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, format, value);
    return text;
}

// Builds the line; 'nan_text' gives the text of a NaN value at hand index p.
template <class NanText>
std::string BuildLine(std::span<const double> values, const char* format, const NanText& nan_text) {
    assert(values.size() == kComboCount);
    const ComboTables& tables = Combos();
    std::string        line;
    line.reserve(kComboCount * 12);
    for (int p = 0; p < kComboCount; ++p) {
        const double value = values[tables.internal_of_hand[p]];
        const std::string text =
            std::isnan(value) ? std::string(nan_text(p)) : Formatted(format, value);
        if (line.size() + text.size() + 3 > kLineBuffer)  // blank, newline and NUL
            CommandError("buffer too small");
        if (p)
            line += ' ';
        line += text;
    }
    return line + "\n";
}

}  // namespace

std::string ValueLine(std::span<const double> values, const char* format, const char* nan_text) {
    return BuildLine(values, format, [nan_text](int) { return nan_text; });
}

std::string EquityLine(std::span<const double> equities, const char* format, CardMask board) {
    const ComboTables& tables = Combos();
    return BuildLine(equities, format,
                     [&](int p) { return (tables.mask[p] & board) ? "nan" : "inf"; });
}

std::vector<int> ListingOrder(std::span<const double> keys) {
    constexpr double   kLowest = std::numeric_limits<double>::lowest();
    const ComboTables& tables  = Combos();
    std::vector<double> key(kComboCount);
    for (int p = 0; p < kComboCount; ++p) {
        const double k = keys[tables.internal_of_hand[p]];
        key[p]         = std::isnan(k) ? kLowest : k;
    }
    std::vector<int> order(kComboCount);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return key[a] > key[b]; });
    auto cut = std::find_if(order.begin(), order.end(), [&](int p) { return key[p] == kLowest; });
    order.erase(cut, order.end());
    return order;
}
