// Fast average storage for river nodes (storage level fast): the plain average store's
// rule (average_storage.h) with 8-bit numbers, one byte per combo and action and a shift
// exponent per action block, at half the plain store's memory and without packing.
//
// The blocks are the narrow blocks of average_blocks.h (maximum 255, stochastic rounding):
// a combo keeps about 8 significant bits relative to its block's largest number, so the
// averages are unbiased but coarser and noisier than the plain store's; the level pairs
// this store with an iteration cap of 2200. The packed average stores hold the same
// numbers, so they give the same averages.
//
// Saved form: the plain average form (kind "QAVS"), numbers widened to 16 bits; reading
// a plain form narrows each block to 8 bits by raising its exponent.
#pragma once

#include "solver/aligned_buffer.h"
#include "solver/average_blocks.h"
#include "solver/strategy_store.h"

inline constexpr uint32_t kFastAverageMax = kNarrowAverageMax;

class FastAverageStorage final : public StrategyStore {
public:
    // Requires layout.Valid(). Allocated, empty, no locks.
    explicit FastAverageStorage(const RunoutLayout& layout);

    StoreKind           Kind() const override { return StoreKind::kFastAverages; }
    const RunoutLayout& Layout() const override { return layout_; }

    void Release() override;
    void Allocate() override;
    bool IsAllocated() const override { return !sums_.empty(); }

    void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                         size_t stride) const override;
    void AccumulateAverage(int slot, const SolverKernels& kernels, const float* const* child_reach,
                           double weight) override;

    LockTable&       Locks() override { return locks_; }
    const LockTable& Locks() const override { return locks_; }
    uint64_t         ByteSize() const override;

    void                        Write(StorageWriter& out) const override;
    [[nodiscard]] StorageStatus Read(StorageReader& in) override;

    const uint8_t* Row(int slot, int action) const { return sums_.data() + layout_.RowOffset(slot, action); }
    uint8_t Exponent(int slot, int action) const { return exponents_[slot * layout_.actions + action]; }

private:
    uint16_t* WidenSlot(int slot) const;

    RunoutLayout          layout_;
    AlignedArray<uint8_t> sums_;
    AlignedArray<uint8_t> exponents_;
    LockTable             locks_;
};
