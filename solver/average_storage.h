// Plain runout average-strategy storage: one u16 per combo of the slot's span (the acting
// player's combos, runout_layout.h), action and runout slot, with
// a shift exponent e per action block (one action's row in one slot): the stored number
// times 2^e is the weight accumulated for that combo and action.
//
// Accumulation of weight w (the averaging weight times its scale) into a slot, per action
// block with child reach x:
// 1. the block's multiplier m = w / 2^e (double, then float);
// 2. peak = max over combos of stored + floor(x * m + 0.5) (kernel AveragePeak);
// 3. k = the number of halvings that bring the peak to at most kAverageMax;
// 4. stored = floor((stored + floor(x * m + 0.5)) / 2^k), e += k (kernel AverageAdd).
// Steps 3-4 are the rule "if any sum exceeds the maximum, halve the block and raise its
// exponent, repeatedly", done in one pass. The arithmetic is float: exact while a raised
// sum is below 2^24 (16.7 million, i.e. until one accumulation is 256 times the block's
// range); beyond that the first halvings see the float-rounded sum, an error below one
// unit of the result.
//
// The average strategy of a combo is weight(a) / sum of weights, the exponents entering
// as row scales 2^(e_a - e_max); uniform where every weight is 0.
//
// Memory: 2 bytes per stored combo and action and slot (runout_layout.h), one exponent
// byte per action and slot, plus lock records.
//
// Saved form: u32 kind "QAVS", u16 version 2, u16 actions, u16 combos, u32 slots, u16
// stored combos per row; per slot and action the exponent (u8, at most
// kMaxAverageExponent); per slot and action the u16 numbers of the slot's span; the lock
// records as in regret_storage.h.
#pragma once

#include "solver/aligned_buffer.h"
#include "solver/storage_prefetch.h"
#include "solver/strategy_store.h"

inline constexpr uint32_t kAverageMax         = 65535;
inline constexpr int      kMaxAverageExponent = 120;

// The average strategy of a slot's span from its stored rows, 'rs' apart (row scales as
// in BlockScales), into full rows at 'stride', 0 outside the span. Shared by the average
// stores.
void NormalizeSpan(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                   const RunoutLayout& layout, ComboSpan span, const float* row_scale,
                   float* strategy, size_t stride);

class RunoutAverageStorage final : public StrategyStore {
public:
    static constexpr uint16_t kFormatVersion = 2;

    // Requires layout.Valid(). Allocated, empty (all 0, exponents 0), no locks.
    explicit RunoutAverageStorage(const RunoutLayout& layout);

    StoreKind           Kind() const override { return StoreKind::kRunoutAverages; }
    const RunoutLayout& Layout() const override { return layout_; }

    void Release() override;
    void Allocate() override;
    bool IsAllocated() const override { return !sums_.empty(); }

    void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                         size_t stride) const override;
    void AccumulateAverage(int slot, const SolverKernels& kernels, const float* const* child_reach,
                           double weight) override;

    void Prefetch(int slot, int mode) const override {
        PrefetchSlotRows(sums_.empty() ? nullptr : sums_.data(), layout_, slot, mode);
    }

    LockTable&       Locks() override { return locks_; }
    const LockTable& Locks() const override { return locks_; }
    uint64_t         ByteSize() const override;

    void                        Write(StorageWriter& out) const override;
    [[nodiscard]] StorageStatus Read(StorageReader& in) override;

    uint16_t*       Row(int slot, int action) { return sums_.data() + layout_.RowOffset(slot, action); }
    const uint16_t* Row(int slot, int action) const {
        return sums_.data() + layout_.RowOffset(slot, action);
    }
    uint8_t Exponent(int slot, int action) const { return exponents_[slot * layout_.actions + action]; }

private:
    RunoutLayout           layout_;
    AlignedArray<uint16_t> sums_;
    AlignedArray<uint8_t>  exponents_;
    LockTable              locks_;
};
