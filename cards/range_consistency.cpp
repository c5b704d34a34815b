#include "cards/range_consistency.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"

namespace {

[[noreturn]] void InconsistentRange(int player, int reference, double reference_weight,
                                    int offender, double offender_weight) {
    const ComboTables& t = Combos();
    char               text[256];
    std::snprintf(text, sizeof text,
                  "inconsistent range: %s P(%s) == %.2g, P(%s) == %.2g, use 'set_isomorphism 0 "
                  "0' if intended",
                  kPlayerNames[player], FormatCardMask(t.MaskOfInternal(reference)).c_str(),
                  reference_weight, FormatCardMask(t.MaskOfInternal(offender)).c_str(),
                  offender_weight);
    CommandError(text);
}

void CheckPlayer(int player, const Range& range, CardMask flop) {
    const ComboTables& t = Combos();
    constexpr double   kTolerance = std::numeric_limits<double>::epsilon();
    for (int hand_class = 0; hand_class < kHandClassCount; ++hand_class) {
        int reference = -1;
        for (uint16_t k : t.ClassMembers(hand_class)) {
            if (t.MaskOfInternal(k) & flop)
                continue;
            if (reference < 0) {
                if (range[k] >= 0)
                    reference = k;
            } else if (std::fabs(range[k] - range[reference]) > kTolerance) {
                InconsistentRange(player, reference, range[reference], k, range[k]);
            }
        }
    }
}

}  // namespace

void CheckRangeConsistency(const Board& board, const std::array<Range, kPlayerCount>& ranges,
                           bool flop_isomorphism) {
    if (!flop_isomorphism || board.StreetsDealt() != 1)
        return;
    for (int player = 0; player < kPlayerCount; ++player)
        if (!ranges[player].empty())
            CheckPlayer(player, ranges[player], board.flop);
}
