// Test support for the query and lock commands: ranges from combo texts, per-combo answer
// lines parsed back into numbers, and small spots built through the command protocol.
#pragma once

#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "cli/solver_state.h"
#include "engine_test_support.h"

namespace query_test {

inline int CardNumber(const std::string& text) {  // hand-order card number: 4 * rank + suit
    const std::string ranks = "23456789TJQKA", suits = "cdhs";
    return 4 * static_cast<int>(ranks.find(text[0])) + static_cast<int>(suits.find(text[1]));
}

// Hand-order index of a combo text such as "AhKd".
inline int HandIndex(const std::string& combo) {
    int a = CardNumber(combo.substr(0, 2)), b = CardNumber(combo.substr(2, 2));
    if (a < b)
        std::swap(a, b);
    return a * (a - 1) / 2 + b;
}

// set_range with the given combos and weights, every other combo 0.
inline std::string RangeCommand(const std::string& player,
                                const std::vector<std::pair<std::string, double>>& combos) {
    std::vector<double> weights(1326, 0.0);
    for (const auto& [combo, weight] : combos)
        weights[HandIndex(combo)] = weight;
    std::ostringstream command;
    command << "set_range " << player;
    for (double w : weights)
        command << ' ' << w;
    return command.str();
}

inline std::vector<std::string> Lines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream       in(output);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The numbers of one line ("nan" and "inf" included).
inline std::vector<double> Numbers(const std::string& line) {
    std::vector<double> numbers;
    std::istringstream  in(line);
    for (std::string token; in >> token;)
        numbers.push_back(std::strtod(token.c_str(), nullptr));
    return numbers;
}

// The value lines of an answer (every line but a closing END), parsed.
inline std::vector<std::vector<double>> ValueLines(const std::string& output) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : Lines(output))
        if (line != "END")
            rows.push_back(Numbers(line));
    return rows;
}

// Sets the spot up through the protocol and builds it; returns the engine.
inline CfrEngine& BuildSpot(const std::vector<std::string>& commands) {
    InstallSolverHooks();
    RunCommand("clear_lines");
    for (const std::string& line : commands)
        EXPECT_EQ(RunCommand(line).find("ERROR"), std::string::npos) << line.substr(0, 60);
    EXPECT_EQ(RunCommand("build_tree"), "build_tree ok!\n");
    return *State().solver.engine;
}

inline void Iterate(CfrEngine& engine, int iterations) {
    for (int i = 0; i < iterations; ++i)
        engine.Iterate(2);
}

// A script variable as a number (after calc_results).
inline double Variable(const std::string& name) {
    return std::strtod(State().variables.Get(name).c_str(), nullptr);
}

// The two hand-order card numbers of a hand-order combo index.
inline std::pair<int, int> ComboCardNumbers(int hand_index) {
    int high = 1;
    while ((high + 1) * high / 2 <= hand_index)
        ++high;
    return {high, hand_index - high * (high - 1) / 2};
}

// True when the combos (hand-order indices) share a card.
inline bool Overlap(int a, int b) {
    auto [a1, a2] = ComboCardNumbers(a);
    auto [b1, b2] = ComboCardNumbers(b);
    return a1 == b1 || a1 == b2 || a2 == b1 || a2 == b2;
}

// True when the combo holds one of the cards (texts such as "Qs").
inline bool Blocked(int hand_index, const std::vector<std::string>& cards) {
    auto [a, b] = ComboCardNumbers(hand_index);
    for (const std::string& card : cards)
        if (CardNumber(card) == a || CardNumber(card) == b)
            return true;
    return false;
}

inline std::string CardText(int number) {
    return {"23456789TJQKA"[number / 4], "cdhs"[number % 4]};
}

inline std::string ComboText(int hand_index) {
    auto [high, low] = ComboCardNumbers(hand_index);
    return CardText(high) + CardText(low);
}

using Weights = std::vector<std::pair<std::string, double>>;

// Every combo of the given ranks: a range that treats all suits alike.
inline Weights AllCombosOf(const std::string& ranks) {
    Weights combos;
    for (int c = 0; c < 1326; ++c) {
        const std::string text = ComboText(c);
        if (ranks.find(text[0]) != std::string::npos && ranks.find(text[2]) != std::string::npos)
            combos.emplace_back(text, 1.0);
    }
    return combos;
}

// A small flop tree with bets on every street, on a board whose clubs and diamonds are
// alike: some strategies turn pure or dominated after a few iterations.
inline CfrEngine& BuildSmallFlopSpot() {
    return BuildSpot({"set_board Qs Jh 2h", RangeCommand("OOP", AllCombosOf("AKQ5")),
                      RangeCommand("IP", AllCombosOf("AQJ9")), "set_pot 0 0 60",
                      "add_line 0 0 0 0 0 0", "add_line 0 0 0 0 30 30", "add_line 30 30 30 30 30 30",
                      "add_line 0 0 30 30 30 30"});
}

// 'count' different combos that avoid 'board', each with a weight of 0.25 to 1 in steps of
// 0.01 (printed exactly by RangeCommand).
inline Weights RandomCombos(std::mt19937& rng, int count, const std::vector<std::string>& board) {
    std::uniform_int_distribution<int> combo(0, 1325);
    std::uniform_int_distribution<int> percent(25, 100);
    std::vector<bool>                      taken(1326, false);
    Weights                                result;
    while (static_cast<int>(result.size()) < count) {
        int c = combo(rng);
        if (taken[c] || Blocked(c, board))
            continue;
        taken[c] = true;
        result.emplace_back(ComboText(c), percent(rng) / 100.0);
    }
    return result;
}

// Weights in hand order.
inline std::vector<double> HandWeights(const Weights& combos) {
    std::vector<double> weights(1326, 0.0);
    for (const auto& [combo, weight] : combos)
        weights[HandIndex(combo)] = weight;
    return weights;
}

}  // namespace query_test
