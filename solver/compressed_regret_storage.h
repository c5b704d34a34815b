// Compressed runout regret storage for river nodes (storage levels medium, high and max):
// the regrets of every runout slot packed losslessly (slot_codec.h), in mode 1 (byte
// packing) or mode 2 (entropy packing); factors and lock records as in the plain store.
//
// Every operation unpacks its slot into the thread's scratch rows, runs the same kernels
// as RunoutRegretStorage (written strategies and seeding included), and packs the slot
// back after a change, so the numbers, and hence the solve, are exactly those of the
// plain store; only memory and time differ.
// On solved river data mode 1 takes about half of the plain 2 bytes per combo and action,
// mode 2 about a third (about 60 % of zeros; see slot_codec.h).
//
// Saved form: the plain regret form of regret_storage.h (kind "QRGS"), so that tree files
// do not depend on the storage level and a level change carries the regrets over.
#pragma once

#include <memory>

#include "solver/aligned_buffer.h"
#include "solver/packed_slots.h"
#include "solver/strategy_store.h"

// Significant bits kept per combo (combo_quantizer.h): 7 fill the one-byte numbers of the
// byte form (mode 1); the bit form (mode 2) spends exactly this many bits a number.
inline constexpr int kRegretBitsMode1 = 7;
inline constexpr int kRegretBitsMode2 = 7;

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
