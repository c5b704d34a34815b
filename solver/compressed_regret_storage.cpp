#include "solver/compressed_regret_storage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/adaptive_precision.h"
#include "solver/regret_storage.h"
#include "solver/terminal_scratch.h"

namespace {

SlotCodec CodecOfMode(int mode) { return mode == 1 ? SlotCodec::kBytes : SlotCodec::kEntropy; }

SlotShape ShapeOf(const RunoutLayout& layout) {
    return {layout.actions, layout.combos, layout.RowStride()};
}

}  // namespace

CompressedRegretStorage::CompressedRegretStorage(const RunoutLayout& layout, int mode)
    : layout_(layout), mode_(mode), 
      slots_(std::make_unique<PackedSlots>(CodecOfMode(mode), ShapeOf(layout), layout.slots)) {
    assert(layout.Valid() && (mode == 1 || mode == 2));
    factors_.Reset(layout.slots);
    locks_.Reset(layout.slots, layout.combos);
    Allocate();
}

StoreKind CompressedRegretStorage::Kind() const {
    return mode_ == 1 ? StoreKind::kCompressedRegrets1 : StoreKind::kCompressedRegrets2;
}

void CompressedRegretStorage::Release() {
    slots_->Clear();
    allocated_ = false;
}

void CompressedRegretStorage::Allocate() {
    slots_->Clear();
    std::fill_n(factors_.data(), layout_.slots, kInitialPrecisionFactor);
    allocated_ = true;
}

uint16_t* CompressedRegretStorage::LoadSlot(int slot) const {
    uint16_t* rows = ThreadSlotRows(layout_.SlotElements());
    slots_->Load(slot, rows);
    return rows;
}

std::vector<uint16_t> CompressedRegretStorage::SlotRegrets(int slot) const {
    const uint16_t* rows = LoadSlot(slot);
    return {rows, rows + layout_.SlotElements()};
}

void CompressedRegretStorage::CurrentStrategy(int slot, const SolverKernels& kernels,
                                              float* strategy, size_t stride) const {
    const size_t rs = layout_.RowStride();
    const int    n  = layout_.combos;
    if (layout_.actions == 1) {
        std::fill_n(strategy, n, 1.0f);
        return;
    }
    const uint16_t* rows = LoadSlot(slot);
    switch (layout_.actions) {
    case 2: kernels.RegretMatch2(rows, rs, n, strategy, stride); return;
    case 3: kernels.RegretMatch3(rows, rs, n, strategy, stride); return;
    case 4: kernels.RegretMatch4(rows, rs, n, strategy, stride); return;
    default: kernels.RegretMatchN(rows, rs, layout_.actions, n, strategy, stride);
    }
}

// The slot's regrets as loaded, kept to tell whether an update changed them.
uint16_t* CompressedRegretStorage::KeepLoaded(const uint16_t* rows) const {
    thread_local AlignedArray<uint16_t> before;
    if (before.size() < layout_.SlotElements())
        before.Reset(layout_.SlotElements());
    std::copy_n(rows, layout_.SlotElements(), before.data());
    return before.data();
}

// Packs the slot back unless nothing changed (no reach from the opponent leaves every
// regret as it was, and packing is the expensive part).
void CompressedRegretStorage::AfterUpdate(uint16_t* rows, const uint16_t* before, int slot,
                                          const RegretUpdate& update) {
    if (!update.early_groups.empty())
        AverageEarlyGroups(rows, layout_.RowStride(), layout_.actions, layout_.combos,
                           update.early_groups);
    if (update.adaptive && update.iteration % 10 == 0)
        ReadjustPrecision(rows, layout_.actions, layout_.RowStride(), layout_.combos,
                          factors_[slot], update.precision);
    if (!std::equal(rows, rows + layout_.SlotElements(), before))
        slots_->Store(slot, rows);
}

void CompressedRegretStorage::UpdateRegrets(int slot, const SolverKernels& kernels,
                                            const float* const* action_values,
                                            const float* node_values, const RegretUpdate& update) {
    if (locks_.Locked(slot))
        return;
    locks_.ForgetWritten(slot);
    uint16_t*        rows   = LoadSlot(slot);
    const uint16_t*  before = KeepLoaded(rows);
    const RegretStep step   = MakeRegretStep(update.scale * factors_[slot]);
    kernels.UpdateRegrets(rows, layout_.RowStride(), layout_.actions, layout_.combos,
                          action_values, node_values, step, locks_.SkipBits(slot));
    AfterUpdate(rows, before, slot, update);
}

void CompressedRegretStorage::FusedUpdate(int slot, const SolverKernels& kernels,
                                          const float* const* action_values, float* node_values,
                                          const RegretUpdate& update) {
    const int actions = layout_.actions;
    if ((actions == 2 || actions == 3) && !locks_.Locked(slot) &&
        !locks_.HasWrittenStrategy(slot)) {
        uint16_t*        rows   = LoadSlot(slot);
        const uint16_t*  before = KeepLoaded(rows);
        const RegretStep step   = MakeRegretStep(update.scale * factors_[slot]);
        (actions == 2 ? kernels.FusedUpdate2 : kernels.FusedUpdate3)(
            rows, layout_.RowStride(), layout_.combos, action_values, node_values, step,
            locks_.SkipBits(slot));
        AfterUpdate(rows, before, slot, update);
        return;
    }
    const size_t stride   = layout_.RowStride();
    float*       strategy = ThreadVectorScratch(size_t(actions) * stride);
    PlayedStrategy(slot, kernels, strategy, stride);
    kernels.WeightedValueSum(strategy, stride, action_values, actions, layout_.combos, node_values);
    UpdateRegrets(slot, kernels, action_values, node_values, update);
}

uint64_t CompressedRegretStorage::ChildReach(int slot, const SolverKernels& kernels,
                                             const float* reach, int n, float* const* out) const {
    if (layout_.actions == 1 || locks_.HasWrittenStrategy(slot))
        return StrategyStore::ChildReach(slot, kernels, reach, n, out);
    return kernels.RegretReach(LoadSlot(slot), layout_.RowStride(), layout_.actions, n, reach, out);
}

// As RunoutRegretStorage::SeedStrategy, on the unpacked slot.
void CompressedRegretStorage::SeedStrategy(int slot, const float* rows, size_t stride) {
    uint16_t*    regrets = LoadSlot(slot);
    const size_t rs      = layout_.RowStride();
    for (int i = 0; i < layout_.combos; ++i) {
        double total = 0, frequencies = 0;
        for (int a = 0; a < layout_.actions; ++a) {
            total += regrets[a * rs + i];
            frequencies += std::max(rows[a * stride + i], 0.0f);
        }
        if (!(frequencies > 0)) {
            for (int a = 0; a < layout_.actions; ++a)
                regrets[a * rs + i] = 0;
            continue;
        }
        const double mass = std::max(total, kSeedRegretMass) / frequencies;
        for (int a = 0; a < layout_.actions; ++a) {
            const double regret = std::round(std::max(rows[a * stride + i], 0.0f) * mass);
            regrets[a * rs + i] = static_cast<uint16_t>(std::min(regret, 65535.0));
        }
    }
    slots_->Store(slot, regrets);
}

uint64_t CompressedRegretStorage::ByteSize() const {
    return slots_->ByteSize() + factors_.size() * sizeof(float) + locks_.ByteSize();
}

// The plain regret form (regret_storage.h).
void CompressedRegretStorage::Write(StorageWriter& out) const {
    constexpr uint16_t kPlainVersion = 1;
    WriteStoreHeader(out, StoreKind::kRunoutRegrets, kPlainVersion, layout_);
    out.PutBytes(factors_.data(), factors_.size() * sizeof(float));
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, LoadSlot(s));
    locks_.Write(out);
}

StorageStatus CompressedRegretStorage::Read(StorageReader& in) {
    constexpr uint16_t kPlainVersion = 1;
    if (const StorageStatus status =
            ReadStoreHeader(in, StoreKind::kRunoutRegrets, kPlainVersion, layout_);
        status != StorageStatus::kOk)
        return status;

    CompressedRegretStorage loaded(layout_, mode_);
    if (!in.GetBytes(loaded.factors_.data(), layout_.slots * sizeof(float)))
        return StorageStatus::kTruncated;
    for (int s = 0; s < layout_.slots; ++s)
        if (!(std::isfinite(loaded.factors_[s]) && loaded.factors_[s] > 0.0f))
            return StorageStatus::kBadValue;
    uint16_t* rows = ThreadSlotRows(layout_.SlotElements());
    std::fill_n(rows, layout_.SlotElements(), uint16_t{0});
    for (int s = 0; s < layout_.slots; ++s) {
        if (!ReadSlotRows(in, layout_, rows))
            return StorageStatus::kTruncated;
        loaded.slots_->Store(s, rows);
    }
    if (StorageStatus status = loaded.locks_.Read(in); status != StorageStatus::kOk)
        return status;
    slots_     = std::move(loaded.slots_);
    factors_   = std::move(loaded.factors_);
    locks_     = std::move(loaded.locks_);
    allocated_ = true;
    return StorageStatus::kOk;
}
