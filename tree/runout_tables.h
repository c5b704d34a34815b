// The per-runout tables that built nodes own at street changes.
//
// A flop tree deals one of 49 turn cards (the cards not on the flop) and then one of 48
// river cards. Slots are numbered by rank among the cards that can still come: the turn
// slot of a card is the number of non-flop cards with a smaller card id (0..48), the river
// slot within a turn is the number of cards off the flop and the turn below it (0..47).
//
// Which nodes own which table (set up by the tree builder, see built_tree.h):
//   TurnCardTable + TurnRiverBlock   first node of a turn (a turn decision whose parent is
//                                    on the flop, or the root of a turn tree);
//   RunoutTable with 49 slots        first decision of a river (parent on the turn or
//                                    earlier, or the root of a river tree);
//   RunoutTable with 1 slot          first decision of a turn.
// These nodes root the subgames that the solver sweeps independently. The slots start
// empty; the solver sizes and fills them (per-player accumulated reach of the subgame
// root, used by the range queries) and they are released with the tree.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

inline constexpr int kTurnSlots  = 49;
inline constexpr int kRiverSlots = 48;

struct RunoutSlot {
    // Accumulated reach per combo of the runout, one vector per player (OOP, IP).
    std::array<std::vector<float>, 2> range_sum;
};

struct TurnCardTable {
    std::array<RunoutSlot, kTurnSlots> slots;
};

struct RunoutTable {
    explicit RunoutTable(uint32_t slot_count)
        : count(slot_count), slots(std::make_unique<RunoutSlot[]>(slot_count)) {}
    uint32_t                      count;
    std::unique_ptr<RunoutSlot[]> slots;
};

// One byte per (turn slot, river slot) pair, zeroed at creation; the solver marks pairs.
struct TurnRiverBlock {
    std::array<uint8_t, kTurnSlots * kRiverSlots> bytes{};
    uint8_t& At(int turn_slot, int river_slot) { return bytes[turn_slot * kRiverSlots + river_slot]; }
};

// Slot of 'card' among the cards not in 'excluded' (card ids 0..51, bit i = card i).
// Returns -1 when the card itself is excluded.
inline int RunoutSlotOf(uint64_t excluded, int card) {
    if (excluded >> card & 1)
        return -1;
    uint64_t below = (uint64_t{1} << card) - 1;
    return std::popcount(below & ~excluded);
}
