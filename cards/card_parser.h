// Reading and writing card text.
#pragma once

#include <optional>
#include <string_view>

#include "cards/card.h"

// The longest text ParseCards reads; longer texts are refused as invalid.
constexpr size_t kMaxCardText = 255;

// Reads cards written back to back ("QsJh2h") or separated by blanks ("Qs Jh 2h"):
// rank and suit letters in either case, each card followed by any number of blanks.
// An empty text is the empty mask. A leading blank, a blank between rank and suit, any
// other character, a card given twice or a text longer than kMaxCardText gives nullopt.
// Linear in the length of the text.
std::optional<CardMask> TryParseCards(std::string_view text);

// TryParseCards for command handlers: throws std::runtime_error "ERROR: invalid card"
// (the message carries no command word) where TryParseCards gives nullopt.
CardMask ParseCards(std::string_view text);

// The cards of 'mask' in ascending card id, separated by single blanks ("Ah As").
std::string FormatCardMask(CardMask mask);
