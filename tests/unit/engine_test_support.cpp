#include "engine_test_support.h"

#include <algorithm>
#include <cmath>

#include "cards/combo_tables.h"
#include "cards/showdown_strength.h"
#include "cli/dispatcher.h"
#include "cli/solver_state.h"
#include "cli/tokenizer.h"
#include "tree/built_tree.h"

std::string RunCommand(const std::string& line) {
    ExecuteCommand(SplitCommandLine(line));
    return State().output.Take();
}

std::string RandomRangeCommand(const std::string& player, double density, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::string                            command = "set_range " + player;
    for (int i = 0; i < kComboCount; ++i) {
        double weight = unit(rng) < density ? 0.2 + 0.8 * unit(rng) : 0.0;
        command += " " + std::to_string(weight);
    }
    return command;
}

std::string ClassRangeCommand(const std::string& player, const std::vector<std::string>& classes) {
    std::string command = "set_range " + player;
    for (int hand = 0; hand < kComboCount; ++hand) {
        const auto& text  = Combos().text[hand];  // "AsAh": higher card first
        std::string name  = {text[0], text[2]};
        if (text[0] != text[2])
            name += text[1] == text[3] ? 's' : 'o';
        const bool listed = std::find(classes.begin(), classes.end(), name) != classes.end();
        command += listed ? " 1" : " 0";
    }
    return command;
}

namespace {

using Vec = std::vector<double>;

struct Reference {
    CfrEngine&       engine;
    const BuiltTree& tree;
    const HandRules& rules;
    float            rake_fraction, rake_cap;
    int              traverser = 0;

    double RakeRate(double stake) const {
        if (!(rake_fraction != 0 && rake_cap != 0) || stake <= 0)
            return 0;
        return 2 * stake * rake_fraction > rake_cap ? rake_cap / (2 * stake) : rake_fraction;
    }

    static bool Compatible(int a, int b) {
        return (Combos().MaskOfInternal(a) & Combos().MaskOfInternal(b)) == 0;
    }

    void Terminal(const BuiltNode& node, CardMask board, const Vec& reach, Vec& v) const {
        const double stake = node.value;
        std::vector<uint32_t> strength(kComboCount, 0);
        if (node.kind == kShowdownEnd)
            for (int c = 0; c < kComboCount; ++c)
                if (!(Combos().MaskOfInternal(c) & board))
                    strength[c] = ShowdownStrength(board, Combos().cards_of_internal[c], rules);
        std::vector<int> opponents;
        for (int o = 0; o < kComboCount; ++o)
            if (reach[o] != 0)
                opponents.push_back(o);
        const auto& mine = tree.Range(traverser);
        for (int c = 0; c < kComboCount; ++c) {
            if (Combos().MaskOfInternal(c) & board || !(mine[c] > 0))
                continue;
            double sum = 0;
            for (int o : opponents) {
                if (!Compatible(c, o))
                    continue;
                double payoff;
                if (node.kind == kFoldEnd)
                    payoff = node.player == traverser ? -stake : stake * (1 - 2 * RakeRate(stake));
                else if (strength[c] > strength[o])
                    payoff = stake * (1 - 2 * RakeRate(stake));
                else if (strength[c] == strength[o])
                    payoff = -stake * RakeRate(stake);
                else
                    payoff = -stake;
                sum += reach[o] * payoff;
            }
            v[c] = sum;
        }
    }

    void Walk(uint32_t index, CardMask board, int turn, int river, const Vec& reach, Vec& v,
              Vec& br) {
        const BuiltNode& node       = tree.Node(index);
        const int        dealt      = std::popcount(board) - 2;  // streets dealt
        const bool       needs_deal = (node.kind == kDecisionNode && node.street > dealt) ||
                                (node.kind == kShowdownEnd && dealt < 3);
        v.assign(kComboCount, 0.0);
        br.assign(kComboCount, 0.0);
        if (needs_deal) {
            int count = 0;
            for (int card = 0; card < kCardCount; ++card) {
                if (board >> card & 1 || RankOf(card) < rules.low_card)
                    continue;
                Vec child_reach = reach;
                for (int o = 0; o < kComboCount; ++o)
                    if (Combos().MaskOfInternal(o) & CardBit(card))
                        child_reach[o] = 0;
                Vec cv, cb;
                Walk(index, board | CardBit(card), dealt == 1 ? card : turn,
                     dealt == 2 ? card : river, child_reach, cv, cb);
                for (int c = 0; c < kComboCount; ++c)
                    if (!(Combos().MaskOfInternal(c) & CardBit(card))) {
                        v[c] += cv[c];
                        br[c] += cb[c];
                    }
                ++count;
            }
            const double divisor = (dealt == 1 ? 45 : 44) - 4 * rules.low_card;
            for (int c = 0; c < kComboCount; ++c) {
                v[c] /= divisor;
                br[c] /= divisor;
            }
            return;
        }
        if (node.kind != kDecisionNode) {
            Terminal(node, board, reach, v);
            br = v;
            return;
        }
        const std::vector<float> strategy = engine.StrategyAt(index, turn, river);
        const auto               children = tree.Children(index);
        for (size_t a = 0; a < children.size(); ++a) {
            const float* sigma = strategy.data() + a * kComboCount;
            Vec          cv, cb;
            if (node.player == traverser) {
                Walk(children[a], board, turn, river, reach, cv, cb);
                for (int c = 0; c < kComboCount; ++c) {
                    v[c] += sigma[c] * cv[c];
                    br[c] = a == 0 ? cb[c] : std::max(br[c], cb[c]);
                }
            } else {
                Vec child_reach(kComboCount);
                for (int o = 0; o < kComboCount; ++o)
                    child_reach[o] = reach[o] * sigma[o];
                Walk(children[a], board, turn, river, child_reach, cv, cb);
                for (int c = 0; c < kComboCount; ++c) {
                    v[c] += cv[c];
                    br[c] += cb[c];
                }
            }
        }
    }

    // (expected value, best-response value) of the traverser per deal.
    std::pair<double, double> Evaluate(int player) {
        traverser          = player;
        const CardMask board = tree.Board().Mask();
        const auto&    mine  = tree.Range(player);
        const auto&    other = tree.Range(1 - player);
        Vec            reach(kComboCount, 0.0);
        for (int o = 0; o < kComboCount; ++o)
            if (!(Combos().MaskOfInternal(o) & board))
                reach[o] = std::max(other[o], 0.0);
        Vec v, br;
        Walk(0, board, tree.Board().turn, tree.Board().river, reach, v, br);
        double pairs = 0, ev = 0, best = 0;
        for (int c = 0; c < kComboCount; ++c) {
            if (Combos().MaskOfInternal(c) & board || mine[c] <= 0)
                continue;
            for (int o = 0; o < kComboCount; ++o)
                if (Compatible(c, o))
                    pairs += mine[c] * reach[o];
            ev += mine[c] * v[c];
            best += mine[c] * br[c];
        }
        return {ev / pairs, best / pairs};
    }
};

}  // namespace

ResultFigures ReferenceFigures(CfrEngine& engine, float rake_fraction, float rake_cap) {
    Reference reference{engine, engine.Tree(), State().cards.rules, rake_fraction, rake_cap};
    auto [ev_oop, mes_oop] = reference.Evaluate(0);
    auto [ev_ip, mes_ip]   = reference.Evaluate(1);
    return {ev_oop, ev_ip, mes_oop, mes_ip};
}
