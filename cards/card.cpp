#include "cards/card.h"

std::string CardText(int card) { return {kRankChars[RankOf(card)], kSuitChars[SuitOf(card)]}; }
