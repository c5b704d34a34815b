#include "cards/range.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <limits>

#include "cards/combo_tables.h"

Range RangeFromHandOrder(std::span<const double, kComboCount> hand_order_weights) {
    Range range(kComboCount);
    HandToInternalOrder(hand_order_weights, std::span<double, kComboCount>(range));
    return range;
}

RangeSummary AdjustRange(Range& range, int low_card) {
    RangeSummary summary;
    for (double& w : range) {
        if (w > 0 && w < kRoundToZeroBelow) {
            w = 0;
            ++summary.rounded_to_zero;
        }
    }
    CardMask short_deck_removed = CardsBelowRank(low_card);
    if (short_deck_removed) {
        for (int k = 0; k < kComboCount; ++k)
            if (Combos().MaskOfInternal(k) & short_deck_removed)
                range[k] = 0;
    }
    summary.min = std::numeric_limits<double>::infinity();
    summary.max = -std::numeric_limits<double>::infinity();
    for (double w : range) {
        summary.min = std::fmin(summary.min, w);
        summary.max = std::fmax(summary.max, w);
        summary.nonzero += w > 0;
    }
    return summary;
}

std::string FormatRangeLine(std::span<const double> range, CardMask blocked) {
    assert(range.size() == kComboCount);
    // "%.12g" of a double needs at most 19 characters ("-1.23456789012e-308"), so the
    // line always fits the protocol's 64 KiB line buffer.
    constexpr int kMaxNumberChars = 19;
    static_assert(kComboCount * (kMaxNumberChars + 1) < 64 * 1024);
    const ComboTables& t = Combos();
    std::string        line;
    line.reserve(kComboCount * 8);
    char number[32];
    for (int p = 0; p < kComboCount; ++p) {
        double w = range[t.internal_of_hand[p]];
        if (std::isnan(w) || (t.mask[p] & blocked))
            w = 0;
        std::snprintf(number, sizeof number, p ? " %.12g" : "%.12g", w);
        line += number;
    }
    return line + "\n";
}

namespace {

// Mean weight of a hand class, board-blocked combos included.
double ClassMean(const Range& range, int hand_class) {
    std::span<const uint16_t> members = Combos().ClassMembers(hand_class);
    double                    sum     = 0;
    for (uint16_t k : members)
        sum += range[k];
    return sum / static_cast<double>(members.size());
}

// "**" for 100 % or more, ".." for 0 % or less, otherwise the rounded percentage.
std::string GridCell(double mean) {
    double rounded = 100 * mean + 0.5;
    if (rounded >= 100)
        return "**";
    if (!(rounded >= 1))
        return "..";
    return std::to_string(static_cast<int>(rounded));
}

}  // namespace

std::string FormatRangeGrid(const Range& range) {
    constexpr const char* kRowChars = "AKQJT98765432";
    std::string           grid      = "  A  K  Q  J  T  9  8  7  6  5  4  3  2\n";
    for (int i = 0; i < kRankCount; ++i) {
        int row_rank = kRankCount - 1 - i;
        grid += kRowChars[i];
        grid += ' ';
        for (int j = 0; j < kRankCount; ++j) {
            int column_rank = kRankCount - 1 - j;
            if (j)
                grid += ' ';
            grid += range.empty() ? ".." : GridCell(ClassMean(range, column_rank * 13 + row_rank));
        }
        grid += '\n';
    }
    return grid;
}
