// Compressed runout regret storage for river nodes (storage levels medium, high and max):
// the regrets of every runout slot rounded to kRegretBits significant bits per combo
// (combo_quantizer.h) and packed (slot_codec.h), in mode 1 byte by byte, in mode 2 bit by
// bit; factors and lock records as in the plain store.
//
// Every operation unpacks its slot into the thread's scratch rows and runs the same
// kernels as RunoutRegretStorage (written strategies and seeding included). After a
// change the slot's regrets are rounded, combo by combo, relative to the combo's largest
// regret (regret matching only uses a combo's regrets as ratios), with unbiased
// deterministic rounding seeded by the slot and the iteration, then packed back. So the
// solve differs from the plain store's by the rounding only, and is reproducible. Early
// grouping shares the rounded regrets. A node with one action keeps no regrets (it plays
// that action whatever they are).
// On flop_narrow at the end of a solve (README, storage levels) mode 1 takes 0.33 and
// mode 2 0.30 of the plain store's memory.
//
// Saved form: the plain regret form of regret_storage.h (kind "QRGS"), so that tree files
// do not depend on the storage level and a level change carries the regrets over; reading
// keeps the saved regrets as they are until their slot next changes.
#pragma once

#include <memory>

#include "solver/aligned_buffer.h"
#include "solver/packed_slots.h"
#include "solver/strategy_store.h"

// Significant bits kept per combo (combo_quantizer.h); the packed form spends exactly
// this many bits a non-zero regret. On flop_narrow, 6-bit regrets with 6-bit averages
// (max) reach 0.24 % of the pot at 150 iterations; with 5-bit averages 0.30 %.
inline constexpr int kRegretBitsMode1 = 7;
inline constexpr int kRegretBitsMode2 = 6;

class CompressedRegretStorage final : public StrategyStore {
public:
    // Requires layout.Valid() and mode 1 or 2. Allocated: all regrets 0, factors at
    // kInitialPrecisionFactor, no locks.
    CompressedRegretStorage(const RunoutLayout& layout, int mode);

    StoreKind           Kind() const override;
    const RunoutLayout& Layout() const override { return layout_; }

    void Release() override;
    void Allocate() override;
    bool IsAllocated() const override { return allocated_; }

    void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                         size_t stride) const override;
    void     SeedStrategy(int slot, const float* rows, size_t stride) override;
    uint64_t ChildReach(int slot, const SolverKernels& kernels, const float* reach, int n,
                        float* const* out) const override;
    void UpdateRegrets(int slot, const SolverKernels& kernels, const float* const* action_values,
                       const float* node_values, const RegretUpdate& update) override;
    void FusedUpdate(int slot, const SolverKernels& kernels, const float* const* action_values,
                     float* node_values, const RegretUpdate& update) override;

    void Tidy() override { slots_->Tidy(); }

    LockTable&       Locks() override { return locks_; }
    const LockTable& Locks() const override { return locks_; }
    uint64_t         ByteSize() const override;

    void                        Write(StorageWriter& out) const override;
    [[nodiscard]] StorageStatus Read(StorageReader& in) override;

    // The regrets of one slot, unpacked (actions x StoredStride() elements), for tests.
    std::vector<uint16_t> SlotRegrets(int slot) const;
    float                 Factor(int slot) const { return factors_[slot]; }

private:
    uint16_t* LoadSlot(int slot) const;
    uint16_t* KeepLoaded(const uint16_t* rows) const;
    void      AfterUpdate(uint16_t* rows, const uint16_t* before, int slot,
                          const RegretUpdate& update);

    RunoutLayout        layout_;
    int                 mode_;
    std::unique_ptr<PackedSlots> slots_;
    AlignedArray<float> factors_;
    LockTable           locks_;
    bool                allocated_ = false;
};
