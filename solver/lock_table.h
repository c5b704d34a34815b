// Lock records of one storage object, one per runout slot.
//
// A record's flags: bit 0 LOCKED (the whole strategy of the slot is fixed: no regret
// update and no average accumulation), bit 1 COMBO_LOCKED (only the combos with a non-zero
// lock weight are fixed); at most one is set. A combo lock keeps the weights and a bitset
// of the fixed combos, which the regret kernels take as their skip mask.
//
// Beside the flags a slot may hold a written strategy: rows of frequencies (actions x
// combos) that the slot plays instead of what its stored numbers give. It is what a lock
// fixes and what `set_strategy` writes. It applies
// - to every combo while the slot is LOCKED, or while it is fresh (written, and the
//   store's numbers not updated since);
// - to the fixed combos only, once a COMBO_LOCKED slot has been updated;
// - not at all otherwise: the first update of an unlocked slot drops it (ForgetWritten).
//
// Weights and written strategies are kept over the slot's whole combo list, as the store's
// callers give them; a written strategy applies inside the slot's span only (the store
// plays 0 outside it, runout_layout.h), and the store's kernels take the fixed combos of
// the span as RowSkipBits.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/runout_layout.h"
#include "solver/storage_stream.h"

inline constexpr uint32_t kLockedFlag      = 1;
inline constexpr uint32_t kComboLockedFlag = 2;

class LockTable {
public:
    // 'slots' unlocked records for rows of 'combos' combos, each slot's span the whole row.
    void Reset(int slots, int combos);
    // Unlocked records for a store of this layout, with its spans.
    void Reset(const RunoutLayout& layout);

    // The two lock flags (bit 0 LOCKED, bit 1 COMBO_LOCKED).
    uint32_t Flags(int slot) const { return flags_[slot] & (kLockedFlag | kComboLockedFlag); }
    bool     Locked(int slot) const { return (flags_[slot] & kLockedFlag) != 0; }

    // LOCKED on, any combo lock dropped.
    void Lock(int slot);
    // LOCKED off, any combo lock dropped.
    void Unlock(int slot);
    // COMBO_LOCKED with the given weights (one per combo), LOCKED off.
    void ComboLock(int slot, std::span<const float> weights);

    // The combo-lock weights of a slot (empty without a combo lock).
    std::span<const float> ComboLockWeights(int slot) const;

    // Bitset of the fixed combos (bit i of word i / 32) or null without a combo lock.
    const uint32_t* SkipBits(int slot) const;
    // The same bits from the slot's span on: bit i for list position span.first + i.
    const uint32_t* RowSkipBits(int slot) const;

    // Stores 'actions' rows of frequencies (row a at rows + a * stride, 'combos' floats
    // each) as the slot's written strategy, fresh.
    void WriteStrategy(int slot, int actions, const float* rows, size_t stride);
    bool HasWrittenStrategy(int slot) const {
        const Extra* extra = FindExtra(slot);
        return extra && !extra->written.empty();
    }

    // Replaces, in 'strategy' (actions rows at 'stride'), the frequencies of the combos
    // of the slot's span that the written strategy applies to (see the header). Linear in
    // actions x combos; does nothing without a written strategy.
    void ApplyWrittenStrategy(int slot, float* strategy, size_t stride) const;

    // Called by a store whose numbers of 'slot' have just changed: a combo-locked slot
    // keeps its written strategy for the fixed combos, any other slot drops it.
    void ForgetWritten(int slot);

    uint64_t ByteSize() const;

    // Saved form per slot: u32 flags (bit 0 LOCKED, bit 1 COMBO_LOCKED, bit 2 a written
    // strategy follows, bit 3 it is fresh); with COMBO_LOCKED the combos' f32 weights; with
    // bit 2 the u16 action count (1..kMaxActions) and actions x combos f32 frequencies.
    void                        Write(StorageWriter& out) const;
    [[nodiscard]] StorageStatus Read(StorageReader& in);

private:
    void      DropComboLock(int slot);
    ComboSpan Span(int slot) const { return spans_ ? spans_->slot[slot] : ComboSpan{0, combos_}; }

    // What a slot holds beside its flags once it is combo-locked or written.
    struct Extra {
        AlignedArray<float>    weights;
        AlignedArray<uint32_t> skip_bits;
        AlignedArray<uint32_t> row_skip_bits;
        AlignedArray<float>    written;  // actions x combos, or empty
    };
    // The slot's record, the records of all slots created on first use: most stores never
    // see a lock or a written strategy, and then keep only the flags.
    Extra& ExtraOf(int slot);
    const Extra* FindExtra(int slot) const { return extra_.empty() ? nullptr : &extra_[slot]; }

    int                              combos_ = 0;
    std::shared_ptr<const SpanTable> spans_;
    std::vector<uint32_t>            flags_;  // the lock flags, and kFreshFlag
    std::vector<Extra>               extra_;  // per slot, or empty
};
