#include "cards/card_parser.h"

#include <cctype>
#include <stdexcept>

namespace {

constexpr std::string_view kUpperRanks = "23456789TJQKA";
constexpr std::string_view kUpperSuits = "CDHS";

int IndexIn(std::string_view alphabet, char c) {
    size_t at = alphabet.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

std::optional<CardMask> TryParseCards(std::string_view text) {
    if (text.size() > kMaxCardText)
        return std::nullopt;
    CardMask mask = 0;
    size_t   at   = 0;
    while (at < text.size()) {
        if (at + 1 >= text.size())
            return std::nullopt;
        int rank = IndexIn(kUpperRanks, text[at]);
        int suit = IndexIn(kUpperSuits, text[at + 1]);
        if (rank < 0 || suit < 0)
            return std::nullopt;
        CardMask bit = CardBit(MakeCard(rank, suit));
        if (mask & bit)
            return std::nullopt;
        mask |= bit;
        at += 2;
        while (at < text.size() && text[at] == ' ')
            ++at;
    }
    return mask;
}

CardMask ParseCards(std::string_view text) {
    std::optional<CardMask> mask = TryParseCards(text);
    if (!mask)
        throw std::runtime_error("ERROR: invalid card\n");
    return *mask;
}

std::string FormatCardMask(CardMask mask) {
    std::string text;
    for (; mask; mask &= mask - 1) {
        if (!text.empty())
            text += ' ';
        text += CardText(LowestCard(mask));
    }
    return text;
}
