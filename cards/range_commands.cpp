#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "cards/card_commands.h"
#include "cards/player.h"
#include "cli/solver_state.h"

namespace {

// Reads weights with the standard string-to-double conversion (leading blanks, longest
// numeric prefix; no number or out of double range throws, reported as an invalid
// value). NaN and infinity are refused the same way: no weight may poison the solver.
std::vector<double> ParseWeights(const Tokens& t, size_t first) {
    std::vector<double> weights;
    weights.reserve(t.size() - first);
    for (size_t i = first; i < t.size(); ++i) {
        double w = std::stod(t[i]);
        if (!std::isfinite(w))
            throw std::invalid_argument("invalid stod argument");
        weights.push_back(w);
    }
    return weights;
}

}  // namespace

void CmdSetRange(const Tokens& t) {
    int                 player  = ParsePlayer(t[1]);
    std::vector<double> weights = ParseWeights(t, 2);
    CardState&          cards   = State().cards;
    Range               range   = RangeFromHandOrder(std::span<const double, kComboCount>(weights));
    RangeSummary        summary = AdjustRange(range, cards.rules.low_card);
    cards.ranges[player]        = std::move(range);
    if (State().interp.verbosity > 0)
        Print("[set_range %d min %.8g max %.8g nonzero %d rtz %d]\n", player, summary.min,
              summary.max, summary.nonzero, summary.rounded_to_zero);
    PrintOk(t);
}

void CmdShowRangeGrid(const Tokens& t) {
    int player = ParsePlayer(t[1]);
    PrintText(FormatRangeGrid(State().cards.ranges[player]));
    PrintEnd();
}

void CmdSetDeckDistribution(const Tokens& t) {
    std::vector<double> weights = ParseWeights(t, 1);
    double              sum     = std::accumulate(weights.begin(), weights.end(), 0.0);
    if (!(sum > std::numeric_limits<double>::epsilon()))
        ArgumentCountError(t);
    CardState& cards = State().cards;
    std::copy(weights.begin(), weights.end(), cards.deck_weights.begin());
    cards.deck_weights_in_use = true;
    cards.SetIsomorphism(/*flop=*/false, /*turn=*/false);
    if (State().interp.verbosity > 0)
        Print("[set_deck_distribution (implicit set_isomorphism 0 0)]\n");
    PrintOk(t);
}
