// Packed runout average storage for river nodes (storage levels low, medium, high and
// max): the fast store's narrow numbers (average_blocks.h: 8 bits per combo and action
// with a shift exponent per action block, stochastic rounding), each runout slot's
// numbers packed bit by bit (slot_codec.h).
//
// Mode 1 keeps exactly the fast store's numbers, and hence its averages. Mode 2 also
// rounds each combo's numbers to kAverageBitsMode2 significant bits relative to the
// combo's largest (combo_quantizer.h; an average strategy is a ratio within the combo's
// row), unbiased and seeded by the slot and the weight, after every accumulation.
// Accumulation unpacks the slot into the thread's scratch rows, adds, and packs the slot
// back. A node with one action keeps no numbers (its average is that action). Solved
// river averages are more than half zeros (combos that never reach the
// node), which cost one bit a combo. On flop_narrow at the end of a solve mode 1 takes
// 0.21 and mode 2 0.20 of the plain store's memory (README, storage levels).
//
// Saved form: the plain average form (kind "QAVS"), numbers widened to 16 bits; reading
// a plain form narrows each block by raising its exponent, as the fast store does.
#pragma once

#include <memory>

#include "solver/aligned_buffer.h"
#include "solver/packed_slots.h"
#include "solver/strategy_store.h"

// Significant bits per combo that mode 2 keeps of the 8-bit numbers (combo_quantizer.h).
inline constexpr int kAverageBitsMode2 = 6;

class CompressedAverageStorage final : public StrategyStore {
public:
    // Requires layout.Valid() and mode 1 or 2. Allocated, empty, no locks.
    CompressedAverageStorage(const RunoutLayout& layout, int mode);

    StoreKind           Kind() const override;
    const RunoutLayout& Layout() const override { return layout_; }

    void Release() override;
    void Allocate() override;
    bool IsAllocated() const override { return allocated_; }

    void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                         size_t stride) const override;
    void AccumulateAverage(int slot, const SolverKernels& kernels, const float* const* child_reach,
                           double weight) override;

    void Tidy() override { sums_->Tidy(); }

    LockTable&       Locks() override { return locks_; }
    const LockTable& Locks() const override { return locks_; }
    uint64_t         ByteSize() const override;

    void                        Write(StorageWriter& out) const override;
    [[nodiscard]] StorageStatus Read(StorageReader& in) override;

    uint8_t Exponent(int slot, int action) const { return exponents_[slot * layout_.actions + action]; }

private:
    uint16_t* LoadSlot(int slot) const;

    RunoutLayout          layout_;
    int                   mode_;
    std::unique_ptr<PackedSlots> sums_;
    AlignedArray<uint8_t> exponents_;
    LockTable             locks_;
    bool                  allocated_ = false;
};
