#include "cards/board.h"

#include <string>
#include <vector>

#include "cards/card_parser.h"

namespace {

// The board pieces of either argument form: three flop pieces, then turn and river.
std::vector<std::string> BoardPieces(const Tokens& tokens) {
    size_t count = tokens.size();
    if (count != 2 && (count < 4 || count > 6))
        ArgumentCountError(tokens);
    if (count > 2)
        return {tokens.begin() + 1, tokens.end()};
    const std::string& text = tokens[1];
    if (text.size() != 6 && text.size() != 8 && text.size() != 10)
        ArgumentCountError(tokens);
    std::vector<std::string> pieces;
    for (size_t at = 0; at < text.size(); at += 2)
        pieces.push_back(text.substr(at, 2));
    return pieces;
}

CardMask SingleCard(const Tokens& tokens, const std::string& piece) {
    CardMask card = ParseCards(piece);
    if (CardCountOf(card) != 1)
        ArgumentCountError(tokens);
    return card;
}

}  // namespace

Board ParseBoardArguments(const Tokens& tokens, int low_card) {
    std::vector<std::string> pieces = BoardPieces(tokens);
    Board                    board;
    for (int i = 0; i < 3; ++i)
        board.flop |= ParseCards(pieces[i]);
    if (CardCountOf(board.flop) != 3)
        ArgumentCountError(tokens);
    if (pieces.size() > 3)
        board.turn = SingleCard(tokens, pieces[3]);
    if (pieces.size() > 4)
        board.river = SingleCard(tokens, pieces[4]);
    if ((board.turn & board.flop) || (board.river & (board.flop | board.turn)))
        CommandError("duplicate cards");
    if (board.Cards() & CardsBelowRank(low_card))
        CommandError("invalid card");
    return board;
}
