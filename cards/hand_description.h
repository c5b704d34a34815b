// Words for hand values, as eval_hand prints them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cards/hand_rules.h"

// The type of a value under 'rules': its top byte is a position in the type order.
HandType HandTypeOfValue(uint32_t value, const HandRules& rules);

// "aces over kings", "ace king queen jack ten ", "five four trey deuce ace", ... The
// lowest straight is described from the deck's lowest rank (rules.low_card) upwards.
// Meant for five- to seven-card values.
std::string DescribeHandValue(uint32_t value, const HandRules& rules);
