#include "tree/card_text.h"

#include <cctype>

namespace {

constexpr std::string_view kRanks = "23456789TJQKA";
constexpr std::string_view kSuits = "cdhs";

}  // namespace

int CardIdOfText(std::string_view text) {
    if (text.size() != 2)
        return -1;
    size_t rank = kRanks.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    size_t suit = kSuits.find(static_cast<char>(std::tolower(static_cast<unsigned char>(text[1]))));
    if (rank == std::string_view::npos || suit == std::string_view::npos)
        return -1;
    return static_cast<int>(suit * 13 + rank);
}

std::string CardText(int card) { return {kRanks[card % 13], kSuits[card / 13]}; }

std::string CardSetText(uint64_t mask) {
    std::string text;
    for (int card = 0; card < 52; ++card)
        if (mask >> card & 1)
            text += (text.empty() ? "" : " ") + CardText(card);
    return text;
}
