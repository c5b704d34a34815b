// Speed of the hand evaluator, single thread, on pre-generated random seven-card hands.
//
//   build/eval_bench [hands] [passes]
//
// Prints evaluations per second for EvaluateHand with the standard rules (the figure
// the solver's showdown setup depends on), with short-deck and custom-order rules, and
// for packed words; a checksum keeps the compiler from dropping the work. Then the cost
// of the per-board work built on it: showdown strengths of every live combo on a river
// board (each must-use rule), and the hand classifier behind show_categories.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "cards/card_word.h"
#include "cards/eval_tables.h"
#include "cards/hand_categories.h"
#include "cards/hand_evaluator.h"
#include "cards/live_combos.h"
#include "cards/showdown_strength.h"

namespace {

struct Hand {
    int cards[7];
};

std::vector<Hand> RandomHands(size_t count, uint32_t seed) {
    std::mt19937      rng(seed);
    std::vector<Hand> hands(count);
    for (Hand& hand : hands) {
        CardMask used = 0;
        for (int& card : hand.cards) {
            do
                card = static_cast<int>(rng() % kCardCount);
            while (used & CardBit(card));
            used |= CardBit(card);
        }
    }
    return hands;
}

CardMask RandomBoard(std::mt19937& rng, int cards) {
    CardMask board = 0;
    while (CardCountOf(board) < cards)
        board |= CardBit(static_cast<int>(rng() % kCardCount));
    return board;
}

void MeasureShowdownStrengths(int must_use) {
    std::mt19937 rng(77);
    HandRules    rules;
    rules.must_use_hole_cards = must_use;
    constexpr int         kBoards = 2000;
    std::vector<uint32_t> strengths(kComboCount);
    uint64_t              checksum = 0;
    auto                  start    = std::chrono::steady_clock::now();
    for (int i = 0; i < kBoards; ++i) {
        CardMask              board  = RandomBoard(rng, 5);
        std::vector<uint16_t> combos = LiveCombos(board, rules.low_card);
        ShowdownStrengths(board, combos, rules, strengths);
        checksum += strengths[i % combos.size()];
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("ShowdownStrengths, river board, must-use %d   %8.1f us per board (checksum %llx)\n",
                must_use, seconds / kBoards * 1e6, static_cast<unsigned long long>(checksum));
}

void MeasureClassifier(int board_cards) {
    std::mt19937   rng(91);
    constexpr int  kBoards = 200;
    auto           lists   = std::make_unique<HandCategories>();
    uint64_t       checksum = 0;
    double         slowest  = 0;
    auto           start    = std::chrono::steady_clock::now();
    for (int i = 0; i < kBoards; ++i) {
        auto board_start = std::chrono::steady_clock::now();
        if (!ClassifyHands(RandomBoard(rng, board_cards), *lists))
            std::printf("classifier contradiction\n");
        double one = std::chrono::duration<double>(std::chrono::steady_clock::now() - board_start).count();
        slowest    = std::max(slowest, one);
        checksum += static_cast<uint64_t>(lists->made[i] + 2 * lists->draw[i]);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("ClassifyHands (show_categories), %d-card board %6.2f ms per board, slowest %.2f ms (checksum %llu)\n",
                board_cards, seconds / kBoards * 1e3, slowest * 1e3, static_cast<unsigned long long>(checksum));
}

template <typename Body>
void Measure(const char* label, size_t evaluations_per_pass, int passes, Body body) {
    uint64_t checksum = body();  // warm-up pass
    auto     start    = std::chrono::steady_clock::now();
    for (int pass = 0; pass < passes; ++pass)
        checksum += body();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate    = static_cast<double>(evaluations_per_pass) * passes / seconds;
    std::printf("%-44s %8.1f million/s  (checksum %016llx)\n", label, rate / 1e6,
                static_cast<unsigned long long>(checksum));
}

}  // namespace

int main(int argc, char** argv) {
    size_t count  = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1u << 20;
    int    passes = argc > 2 ? std::atoi(argv[2]) : 20;
    std::printf("eval_bench %zu hands x %d passes, one thread\n", count, passes);
    InitEvaluatorTables();
    std::vector<Hand> hands = RandomHands(count, /*seed=*/20240611);

    std::vector<CardWord> words(count);
    for (size_t i = 0; i < count; ++i)
        words[i] = CardWordOf(hands[i].cards, 7);

    HandRules standard;
    Measure("EvaluateHand, 7 cards, standard rules", count, passes, [&] {
        uint64_t sum = 0;
        for (const Hand& hand : hands)
            sum += EvaluateHand(hand.cards, 7, standard);
        return sum;
    });
    Measure("EvaluateWord, 7 cards, standard rules", count, passes, [&] {
        uint64_t sum = 0;
        for (CardWord word : words)
            sum += EvaluateWord(word, 7, standard);
        return sum;
    });
    HandRules short_deck;
    short_deck.low_card = 4;
    short_deck.SetTypeOrder({kHighCard, kPair, kTwoPair, kStraight, kTrips, kFullHouse, kFlush,
                             kQuads, kStraightFlush});
    Measure("EvaluateHand, 7 cards, short deck + order", count, passes, [&] {
        uint64_t sum = 0;
        for (const Hand& hand : hands)
            sum += EvaluateHand(hand.cards, 7, short_deck);
        return sum;
    });
    for (int must_use = 0; must_use < 3; ++must_use)
        MeasureShowdownStrengths(must_use);
    for (int board_cards = 3; board_cards <= 5; ++board_cards)
        MeasureClassifier(board_cards);
    return 0;
}
