// The board: flop, turn and river as card masks.
#pragma once

#include "cards/card.h"
#include "cli/command.h"

struct Board {
    CardMask flop  = 0;  // three cards once a board is set
    CardMask turn  = 0;  // zero or one card
    CardMask river = 0;  // zero or one card, only together with a turn

    CardMask Cards() const { return flop | turn | river; }

    // Streets already dealt: 1 for a flop board, 2 with a turn, 3 with a river; 0 before
    // any board is set.
    int StreetsDealt() const { return flop ? 1 + (turn != 0) + (river != 0) : 0; }

    bool operator==(const Board&) const = default;
};

// Reads the arguments of set_board (token 0 is the command word) in either form: one
// string of 6, 8 or 10 characters read as two-character pieces, or three flop tokens
// plus an optional turn and river token. Cards with a rank below 'low_card' are refused.
// Checks, in this order, and throws on the first failure:
//  1. token count, length of the one-string form, flop pieces not giving three
//     different cards, a turn or river piece not holding exactly one card:
//     ArgumentCountError (each piece is checked as soon as it is read);
//  2. a piece that is not card text: "ERROR: invalid card" (without command word);
//  3. a turn or river repeating a flop card, or a river equal to the turn:
//     CommandError "duplicate cards";
//  4. a card below the low card: CommandError "invalid card".
Board ParseBoardArguments(const Tokens& tokens, int low_card);
