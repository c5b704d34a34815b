// Lock records of one storage object, one per runout slot.
//
// A record's flags: bit 0 LOCKED (the whole strategy of the slot is fixed: no regret
// update and no average accumulation), bit 1 COMBO_LOCKED (only the combos with a non-zero
// lock weight are fixed); at most one is set. A combo lock keeps the weights and a bitset
// of the fixed combos, which the regret kernels take as their skip mask.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "solver/aligned_buffer.h"
#include "solver/storage_stream.h"

inline constexpr uint32_t kLockedFlag      = 1;
inline constexpr uint32_t kComboLockedFlag = 2;

class LockTable {
public:
    // 'slots' unlocked records for rows of 'combos' combos.
    void Reset(int slots, int combos);

    uint32_t Flags(int slot) const { return flags_[slot]; }
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

    uint64_t ByteSize() const;

    void                        Write(StorageWriter& out) const;
    [[nodiscard]] StorageStatus Read(StorageReader& in);

private:
    void DropComboLock(int slot);

    int                                 combos_ = 0;
    std::vector<uint32_t>               flags_;
    std::vector<AlignedArray<float>>    weights_;
    std::vector<AlignedArray<uint32_t>> skip_bits_;
};
