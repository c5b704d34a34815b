// A spot: everything a standard benchmark or example hand needs to set up a tree (board,
// ranges, pot, stack and the bet sizes per street), as read from a spot file (JSON).
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "cards/card.h"

// Bet sizes of one street: bets as fractions of the pot, raises as fractions of the pot
// after calling.
struct StreetSizes {
    std::vector<double> bet;
    std::vector<double> raise;
};

struct Spot {
    std::string                             name;
    std::vector<int>                        board;         // card ids: flop, turn, river
    int                                     first_street = 1;  // 1 flop, 2 turn, 3 river
    int64_t                                 pot          = 0;  // starting pot
    int64_t                                 eff_stack    = 0;
    std::array<std::vector<double>, 2>      ranges;        // 1326 weights in hand order
    std::array<StreetSizes, 4>              sizes;         // index 1..3 by street
    bool                                    allin           = false;
    double                                  allin_threshold = 1.0;
    int                                     max_bets        = 0;
    bool                                    donk            = false;
    std::vector<double>                     targets_pct_pot;
};

// A spot file that cannot be used; the message names the key at fault.
class SpotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
