#include "cards/hand_rules.h"

std::optional<HandType> HandTypeNamed(std::string_view name) {
    for (int type = 0; type < kHandTypeCount; ++type)
        if (kHandTypeNames[type] == name)
            return static_cast<HandType>(type);
    return std::nullopt;
}

void HandRules::SetTypeOrder(const HandTypeOrder& order) {
    type_at_position    = order;
    custom_order_active = false;
    for (int position = 0; position < kHandTypeCount; ++position) {
        position_of_type[order[position]] = static_cast<uint8_t>(position);
        custom_order_active |= order[position] != position;
    }
}


