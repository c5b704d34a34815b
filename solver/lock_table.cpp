#include "solver/lock_table.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/runout_layout.h"

namespace {

// In memory, beside the lock flags: the written strategy is fresh.
constexpr uint32_t kFreshFlag = 4;

// Bits of the saved flags word beyond the two lock flags.
constexpr uint32_t kSavedWrittenBit = 4;
constexpr uint32_t kSavedFreshBit   = 8;

}  // namespace

void LockTable::Reset(const RunoutLayout& layout) {
    Reset(layout.slots, layout.combos);
    spans_ = layout.spans;
}

void LockTable::Reset(int slots, int combos) {
    combos_ = combos;
    spans_.reset();
    flags_.assign(slots, 0);
    extra_.clear();
}

LockTable::Extra& LockTable::ExtraOf(int slot) {
    if (extra_.empty())
        extra_.resize(flags_.size());
    return extra_[slot];
}

void LockTable::DropComboLock(int slot) {
    flags_[slot] &= ~kComboLockedFlag;
    if (extra_.empty())
        return;
    extra_[slot].weights.Reset(0);
    extra_[slot].skip_bits.Reset(0);
    extra_[slot].row_skip_bits.Reset(0);
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
    flags_[slot] = kComboLockedFlag | (flags_[slot] & kFreshFlag);
    Extra& extra = ExtraOf(slot);
    extra.weights.Reset(combos_);
    extra.skip_bits.Reset((combos_ + 31) / 32 + 1);
    const ComboSpan span = Span(slot);
    extra.row_skip_bits.Reset((span.count + 31) / 32 + 1);
    for (int i = 0; i < combos_; ++i) {
        extra.weights[i] = weights[i];
        if (weights[i] == 0.0f)
            continue;
        extra.skip_bits[i / 32] |= 1u << (i % 32);
        if (i >= span.first && i < span.End())
            extra.row_skip_bits[(i - span.first) / 32] |= 1u << ((i - span.first) % 32);
    }
}

std::span<const float> LockTable::ComboLockWeights(int slot) const {
    const Extra* extra = FindExtra(slot);
    return extra ? std::span<const float>(extra->weights.data(), extra->weights.size())
                 : std::span<const float>();
}

const uint32_t* LockTable::SkipBits(int slot) const {
    const Extra* extra = FindExtra(slot);
    return extra && !extra->skip_bits.empty() ? extra->skip_bits.data() : nullptr;
}

const uint32_t* LockTable::RowSkipBits(int slot) const {
    const Extra* extra = FindExtra(slot);
    return extra && !extra->row_skip_bits.empty() ? extra->row_skip_bits.data() : nullptr;
}

void LockTable::WriteStrategy(int slot, int actions, const float* rows, size_t stride) {
    assert(actions >= 1 && actions <= kMaxActions);
    AlignedArray<float>& written = ExtraOf(slot).written;
    if (written.size() != size_t(actions) * combos_)
        written.Reset(size_t(actions) * combos_);
    for (int a = 0; a < actions; ++a)
        std::copy_n(rows + a * stride, combos_, written.data() + size_t(a) * combos_);
    flags_[slot] |= kFreshFlag;
}

void LockTable::ApplyWrittenStrategy(int slot, float* strategy, size_t stride) const {
    if (!HasWrittenStrategy(slot))
        return;
    const AlignedArray<float>& written = extra_[slot].written;
    const int       actions = static_cast<int>(written.size() / combos_);
    const bool      every   = (flags_[slot] & (kLockedFlag | kFreshFlag)) != 0;
    const uint32_t* fixed   = every ? nullptr : SkipBits(slot);
    const ComboSpan span    = Span(slot);
    if (!every && !fixed)
        return;
    for (int a = 0; a < actions; ++a) {
        const float* from = written.data() + size_t(a) * combos_;
        float*       to   = strategy + a * stride;
        if (!fixed) {
            std::copy(from + span.first, from + span.End(), to + span.first);
            continue;
        }
        for (int i = span.first; i < span.End(); ++i)
            if (fixed[i / 32] >> (i % 32) & 1)
                to[i] = from[i];
    }
}

void LockTable::ForgetWritten(int slot) {
    flags_[slot] &= ~kFreshFlag;
    if (!(flags_[slot] & kComboLockedFlag) && !extra_.empty())
        extra_[slot].written.Reset(0);
}

uint64_t LockTable::ByteSize() const {
    uint64_t bytes = flags_.size() * sizeof(uint32_t) + extra_.size() * sizeof(Extra);
    for (const Extra& extra : extra_)
        bytes += (extra.weights.size() + extra.written.size()) * sizeof(float) +
                 (extra.skip_bits.size() + extra.row_skip_bits.size()) * sizeof(uint32_t);
    return bytes;
}

void LockTable::Write(StorageWriter& out) const {
    for (size_t s = 0; s < flags_.size(); ++s) {
        const Extra* extra   = FindExtra(int(s));
        const bool   written = HasWrittenStrategy(int(s));
        uint32_t     saved   = Flags(int(s));
        if (written)
            saved |= kSavedWrittenBit | (flags_[s] & kFreshFlag ? kSavedFreshBit : 0);
        out.Put(saved);
        if (flags_[s] & kComboLockedFlag)
            out.PutBytes(extra->weights.data(), extra->weights.size() * sizeof(float));
        if (written) {
            out.Put(static_cast<uint16_t>(extra->written.size() / combos_));
            out.PutBytes(extra->written.data(), extra->written.size() * sizeof(float));
        }
    }
}

StorageStatus LockTable::Read(StorageReader& in) {
    std::vector<float> weights(combos_);
    std::vector<float> rows;
    for (size_t s = 0; s < flags_.size(); ++s) {
        uint32_t saved = 0;
        if (!in.Get(saved))
            return StorageStatus::kTruncated;
        const uint32_t flags = saved & (kLockedFlag | kComboLockedFlag);
        const bool     fresh = (saved & kSavedFreshBit) != 0;
        // Unknown bits, both lock bits at once, or "fresh" without a written strategy.
        if (saved >= 2 * kSavedFreshBit || flags == (kLockedFlag | kComboLockedFlag) ||
            (fresh && !(saved & kSavedWrittenBit)))
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
        if (!extra_.empty())
            extra_[s].written.Reset(0);
        if (!(saved & kSavedWrittenBit))
            continue;
        uint16_t actions = 0;
        if (!in.Get(actions))
            return StorageStatus::kTruncated;
        if (actions < 1 || actions > kMaxActions)
            return StorageStatus::kBadValue;
        rows.resize(size_t(actions) * combos_);
        if (!in.GetBytes(rows.data(), rows.size() * sizeof(float)))
            return StorageStatus::kTruncated;
        for (float f : rows)
            if (!std::isfinite(f))
                return StorageStatus::kBadValue;
        WriteStrategy(int(s), actions, rows.data(), combos_);
        if (!fresh)
            flags_[s] &= ~kFreshFlag;
    }
    return StorageStatus::kOk;
}
