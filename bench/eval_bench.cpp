// Speed of the hand evaluator, single thread, on pre-generated random seven-card hands.
//
//   build/eval_bench [hands] [passes]
//
// Prints evaluations per second for EvaluateHand with the standard rules (the figure
// the solver's showdown setup depends on), with short-deck and custom-order rules, and
// for packed words; a checksum keeps the compiler from dropping the work.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "cards/card_word.h"
#include "cards/eval_tables.h"
#include "cards/hand_evaluator.h"

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
    return 0;
}
