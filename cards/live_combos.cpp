#include "cards/live_combos.h"

#include "cards/combo_tables.h"

std::vector<uint16_t> LiveCombos(CardMask dead, int low_card) {
    const ComboTables&    t        = Combos();
    const CardMask        excluded = dead | CardsBelowRank(low_card);
    std::vector<uint16_t> combos;
    combos.reserve(kComboCount);
    for (int k = 0; k < kComboCount; ++k)
        if (!(t.MaskOfInternal(k) & excluded))
            combos.push_back(static_cast<uint16_t>(k));
    return combos;
}
