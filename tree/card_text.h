// Card texts as node paths and tree reports write them ("Qs": rank then suit character).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Card id (suit x 13 + rank) of a two-character card text, case-insensitive; -1 when the
// text is not exactly one card.
int CardIdOfText(std::string_view text);

// "Qs" for card id 49.
std::string CardText(int card);

// The cards of 'mask' in ascending card id, separated by single blanks.
std::string CardSetText(uint64_t mask);
