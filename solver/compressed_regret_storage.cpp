#include "solver/compressed_regret_storage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "solver/adaptive_precision.h"
#include "solver/combo_quantizer.h"
#include "solver/regret_storage.h"
#include "solver/span_rows.h"
#include "solver/terminal_scratch.h"

namespace {

int KeptBits(int mode) { return mode == 1 ? kRegretBitsMode1 : kRegretBitsMode2; }

SlotShape ShapeOf(const RunoutLayout& layout) {
    return {layout.actions, layout.RowCombos(), layout.StoredStride()};
}

}  // namespace

CompressedRegretStorage::CompressedRegretStorage(const RunoutLayout& layout, int mode)
    : layout_(layout), mode_(mode), 
      slots_(std::make_unique<PackedSlots>(ShapeOf(layout), layout.slots)) {
    assert(layout.Valid() && (mode == 1 || mode == 2));
    factors_.Reset(layout.slots);
    locks_.Reset(layout);
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
    // One action needs no regrets: skip the unpacking.
    const uint16_t* rows = layout_.actions == 1 ? nullptr : LoadSlot(slot);
    MatchRegrets(kernels, rows, layout_.StoredStride(), layout_, layout_.Span(slot), strategy,
                 stride);
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
    // Rounded first, so that the early grouping's shared regrets stay shared.
    QuantizeCombos(rows, layout_.actions, layout_.StoredStride(), layout_.Span(slot).count,
                   KeptBits(mode_), QuantizeSeed(slot, update.iteration));
    if (!update.early_groups.empty())
        AverageEarlyGroups(rows, layout_.StoredStride(), layout_.actions, layout_.Span(slot),
                           update.early_groups);
    if (update.adaptive && update.iteration % 10 == 0)
        ReadjustPrecision(rows, layout_.actions, layout_.StoredStride(), layout_.Span(slot).count,
                          factors_[slot], update.precision);
    if (!std::equal(rows, rows + layout_.SlotElements(), before))
        slots_->Store(slot, rows);
}

void CompressedRegretStorage::UpdateRegrets(int slot, const SolverKernels& kernels,
                                            const float* const* action_values,
                                            const float* node_values, const RegretUpdate& update) {
    // One action is played whatever its regrets: they are not kept (and read as 0).
    if (locks_.Locked(slot) || layout_.actions == 1)
        return;
    locks_.ForgetWritten(slot);
    uint16_t*        rows   = LoadSlot(slot);
    const uint16_t*  before = KeepLoaded(rows);
    const RegretStep step   = MakeRegretStep(update.scale * factors_[slot]);
    const ComboSpan  span   = layout_.Span(slot);
    const float*     values[kMaxActions];
    ShiftRows(action_values, layout_.actions, span.first, values);
    kernels.UpdateRegrets(rows, layout_.StoredStride(), layout_.actions, span.count, values,
                          node_values + span.first, step, locks_.RowSkipBits(slot));
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
        FusedRegretUpdate(kernels, rows, layout_.StoredStride(), layout_, layout_.Span(slot),
                          action_values, node_values,
                          MakeRegretStep(update.scale * factors_[slot]), locks_.RowSkipBits(slot));
        AfterUpdate(rows, before, slot, update);
        return;
    }
    const size_t stride   = layout_.RowStride();
    float*       strategy = ThreadTerminalScratch().strategy_rows();
    PlayedStrategy(slot, kernels, strategy, stride);
    kernels.WeightedValueSum(strategy, stride, action_values, actions, layout_.combos, node_values);
    UpdateRegrets(slot, kernels, action_values, node_values, update);
}

uint64_t CompressedRegretStorage::ChildReach(int slot, const SolverKernels& kernels,
                                             const float* reach, int n, float* const* out) const {
    if (layout_.actions == 1 || locks_.HasWrittenStrategy(slot))
        return StrategyStore::ChildReach(slot, kernels, reach, n, out);
    return RegretChildReach(kernels, LoadSlot(slot), layout_.StoredStride(), layout_,
                            layout_.Span(slot), reach, n, out);
}

// As RunoutRegretStorage::SeedStrategy, on the unpacked slot.
void CompressedRegretStorage::SeedStrategy(int slot, const float* rows, size_t stride) {
    if (layout_.actions == 1)
        return;
    uint16_t* regrets = LoadSlot(slot);
    SeedRegrets(regrets, layout_.StoredStride(), layout_, layout_.Span(slot), rows, stride);
    QuantizeCombos(regrets, layout_.actions, layout_.StoredStride(), layout_.Span(slot).count,
                   KeptBits(mode_), QuantizeSeed(slot, ~0ull));
    slots_->Store(slot, regrets);
}

uint64_t CompressedRegretStorage::ByteSize() const {
    return slots_->ByteSize() + factors_.size() * sizeof(float) + locks_.ByteSize();
}

// The plain regret form (regret_storage.h).
void CompressedRegretStorage::Write(StorageWriter& out) const {
    WriteStoreHeader(out, StoreKind::kRunoutRegrets, RunoutRegretStorage::kFormatVersion, layout_);
    out.PutBytes(factors_.data(), factors_.size() * sizeof(float));
    for (int s = 0; s < layout_.slots; ++s)
        WriteSlotRows(out, layout_, s, LoadSlot(s), layout_.StoredStride());
    locks_.Write(out);
}

StorageStatus CompressedRegretStorage::Read(StorageReader& in) {
    if (const StorageStatus status = ReadStoreHeader(in, StoreKind::kRunoutRegrets,
                                                     RunoutRegretStorage::kFormatVersion, layout_);
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
        if (!ReadSlotRows(in, layout_, s, rows, layout_.StoredStride()))
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
