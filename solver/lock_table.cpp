#include "solver/lock_table.h"

#include <cassert>
#include <cmath>

void LockTable::Reset(int slots, int combos) {
    combos_ = combos;
    flags_.assign(slots, 0);
    weights_.clear();
    weights_.resize(slots);
    skip_bits_.clear();
    skip_bits_.resize(slots);
}

void LockTable::DropComboLock(int slot) {
    flags_[slot] &= ~kComboLockedFlag;
    weights_[slot].Reset(0);
    skip_bits_[slot].Reset(0);
}

void LockTable::Lock(int slot) {
    DropComboLock(slot);
    flags_[slot] |= kLockedFlag;
}

void LockTable::Unlock(int slot) {
    DropComboLock(slot);
    flags_[slot] &= ~kLockedFlag;
}

void LockTable::ComboLock(int slot, std::span<const float> weights) {
    assert(weights.size() == size_t(combos_));
    flags_[slot] = kComboLockedFlag;
    weights_[slot].Reset(combos_);
    skip_bits_[slot].Reset((combos_ + 31) / 32 + 1);
    for (int i = 0; i < combos_; ++i) {
        weights_[slot][i] = weights[i];
        if (weights[i] != 0.0f)
            skip_bits_[slot][i / 32] |= 1u << (i % 32);
    }
}

std::span<const float> LockTable::ComboLockWeights(int slot) const {
    return {weights_[slot].data(), weights_[slot].size()};
}

const uint32_t* LockTable::SkipBits(int slot) const {
    return skip_bits_[slot].empty() ? nullptr : skip_bits_[slot].data();
}

uint64_t LockTable::ByteSize() const {
    uint64_t bytes = flags_.size() * sizeof(uint32_t);
    for (size_t s = 0; s < flags_.size(); ++s)
        bytes += weights_[s].size() * sizeof(float) + skip_bits_[s].size() * sizeof(uint32_t);
    return bytes;
}

void LockTable::Write(StorageWriter& out) const {
    for (size_t s = 0; s < flags_.size(); ++s) {
        out.Put(flags_[s]);
        if (flags_[s] & kComboLockedFlag)
            out.PutBytes(weights_[s].data(), weights_[s].size() * sizeof(float));
    }
}

StorageStatus LockTable::Read(StorageReader& in) {
    std::vector<float> weights(combos_);
    for (size_t s = 0; s < flags_.size(); ++s) {
        uint32_t flags = 0;
        if (!in.Get(flags))
            return StorageStatus::kTruncated;
        if (flags > kComboLockedFlag)  // unknown bits, or both bits at once
            return StorageStatus::kBadValue;
        if (flags == kComboLockedFlag) {
            if (!in.GetBytes(weights.data(), weights.size() * sizeof(float)))
                return StorageStatus::kTruncated;
            for (float w : weights)
                if (!std::isfinite(w))
                    return StorageStatus::kBadValue;
            ComboLock(int(s), weights);
        } else if (flags == kLockedFlag) {
            Lock(int(s));
        } else {
            Unlock(int(s));
        }
    }
    return StorageStatus::kOk;
}
