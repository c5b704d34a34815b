// Plain runout regret storage: one u16 regret per combo of the slot's span (the acting
// player's combos, runout_layout.h), action and runout slot, a precision factor per slot
// (adaptive_precision.h) and a lock record per slot.
//
// Memory: 2 bytes per stored combo and action and slot (runout_layout.h), 4 bytes of
// factor per slot, plus the lock records. ByteSize()
// reports exactly what is held.
//
// The regret update of a slot, in order:
// 1. skip the slot when it is LOCKED; otherwise the slot's written strategy stops being
//    fresh (lock_table.h);
// 2. d = v(a) - v per action and combo; |d| >= 1 / (s f) moves the regret by
//    trunc((s f |d|)^(3/4)), up (saturating at 65535) or down (floored at 0); combos of a
//    combo lock are skipped (kernel table: UpdateRegrets, or FusedUpdate2/3/4);
// 3. early grouping, when RegretUpdate::early_groups is not empty (river slots in the
//    first iterations of the storage level max, grouping combos of equal strength): each
//    group's regrets become the integer mean of its members', per action;
// 4. at iteration counts divisible by 10 with adaptive precision on: re-adjust the slot.
//
// Saved form (Write/Read), little-endian: u32 kind "QRGS", u16 version 2, u16 actions,
// u16 combos, u32 slots, u16 stored combos per row; per slot the factor (f32, finite,
// > 0); per slot and action the u16 regrets of the slot's span; then per slot the lock
// record (lock_table.h: flags, combo-lock weights, written strategy).
#pragma once

#include "solver/aligned_buffer.h"
#include "solver/storage_prefetch.h"
#include "solver/strategy_store.h"

// Smallest regret total a seeded combo gets: large enough that the rounding of the
// seeded regrets stays below 1/1000 of a frequency, small enough that the next updates
// can still move the strategy.
inline constexpr double kSeedRegretMass = 1024.0;

// Early grouping of one slot's rows (actions rows at 'stride' holding the span's
// combos): each group's regrets become the integer mean of its members inside the span,
// per action. Group members are list positions; those outside the span are left out.
void AverageEarlyGroups(uint16_t* rows, size_t stride, int actions, ComboSpan span,
                        const EarlyGroups& groups);

// The regret kernels of one slot's span, shared with the compressed store: 'rows' are the
// slot's stored rows, 'rs' apart; every other vector is over the whole list
// (runout_layout.h).
// Regret matching into full rows, 0 outside the span.
void MatchRegrets(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                  const RunoutLayout& layout, ComboSpan span, float* strategy, size_t stride);
// Child reach for the first n positions, 0 outside the span; bit a set when out[a] has a
// positive entry.
uint64_t RegretChildReach(const SolverKernels& kernels, const uint16_t* rows, size_t rs,
                          const RunoutLayout& layout, ComboSpan span, const float* reach, int n,
                          float* const* out);
// Regret matching, node value and update in one pass (2 to 4 actions); node value 0
// outside the span (up to layout.combos).
void FusedRegretUpdate(const SolverKernels& kernels, uint16_t* rows, size_t rs,
                       const RunoutLayout& layout, ComboSpan span,
                       const float* const* action_values, float* node_values,
                       const RegretStep& step, const uint32_t* skip_bits);
// SeedStrategy on the span: 'rows' are full rows of frequencies at 'stride'.
void SeedRegrets(uint16_t* regrets, size_t rs, const RunoutLayout& layout, ComboSpan span,
                 const float* rows, size_t stride);

class RunoutRegretStorage final : public StrategyStore {
public:
    static constexpr uint16_t kFormatVersion = 2;

    // Requires layout.Valid(). Allocated and zeroed (uniform first strategies), factors
    // at kInitialPrecisionFactor, no locks.
    explicit RunoutRegretStorage(const RunoutLayout& layout);

    StoreKind           Kind() const override { return StoreKind::kRunoutRegrets; }
    const RunoutLayout& Layout() const override { return layout_; }

    void Release() override;
    void Allocate() override;
    bool IsAllocated() const override { return !regrets_.empty() || layout_.Elements() == 0; }

    void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                         size_t stride) const override;
    uint64_t ChildReach(int slot, const SolverKernels& kernels, const float* reach, int n,
                        float* const* out) const override;
    void UpdateRegrets(int slot, const SolverKernels& kernels, const float* const* action_values,
                       const float* node_values, const RegretUpdate& update) override;
    void FusedUpdate(int slot, const SolverKernels& kernels, const float* const* action_values,
                     float* node_values, const RegretUpdate& update) override;
    // Each combo's regrets become its frequencies times its regret total (at least
    // kSeedRegretMass), so that regret matching gives the written strategy to within
    // the 16-bit rounding.
    void SeedStrategy(int slot, const float* rows, size_t stride) override;

    void Prefetch(int slot, int mode) const override {
        PrefetchSlotRows(regrets_.empty() ? nullptr : regrets_.data(), layout_, slot, mode);
    }

    LockTable&       Locks() override { return locks_; }
    const LockTable& Locks() const override { return locks_; }
    uint64_t         ByteSize() const override;

    void                        Write(StorageWriter& out) const override;
    [[nodiscard]] StorageStatus Read(StorageReader& in) override;

    // Direct access for the sweep, queries and tests: the row of one slot and action.
    uint16_t*       Row(int slot, int action) { return regrets_.data() + layout_.RowOffset(slot, action); }
    const uint16_t* Row(int slot, int action) const {
        return regrets_.data() + layout_.RowOffset(slot, action);
    }
    float  Factor(int slot) const { return factors_[slot]; }
    float& Factor(int slot) { return factors_[slot]; }

private:
    void AfterUpdate(int slot, const RegretUpdate& update);

    RunoutLayout           layout_;
    AlignedArray<uint16_t> regrets_;
    AlignedArray<float>    factors_;
    LockTable              locks_;
};
