// Compressed runout average storage for river nodes (storage levels low, medium, high and
// max): the plain average store's numbers (average_storage.h: u16 per combo and action,
// a shift exponent per action block) with each runout slot's numbers packed losslessly
// (slot_codec.h), in mode 1 (byte packing) or mode 2 (entropy packing).
//
// Accumulation unpacks the slot into the thread's scratch rows, runs the plain store's
// two-step kernel rule and packs the slot back, so the averages are exactly the plain
// store's. On solved river data (about three quarters zeros) mode 1 takes about a third
// of the plain 2 bytes per combo and action, mode 2 less.
//
// Saved form: the plain average form (kind "QAVS").
#pragma once

#include "solver/aligned_buffer.h"
#include "solver/packed_slots.h"
#include "solver/strategy_store.h"

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
    PackedSlots           sums_;
    AlignedArray<uint8_t> exponents_;
    LockTable             locks_;
    bool                  allocated_ = false;
};
