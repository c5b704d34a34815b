// The polymorphic face of a decision node's strategy storage.
//
// Per-combo vectors are over the slot's whole combo list; a store keeps numbers for its
// span of the list only (runout_layout.h) and gives strategy 0, child reach 0 and node
// value 0 outside it.
//
// A node holds up to two stores: its regrets (RunoutRegretStorage) and its averages
// (RunoutAverageStorage); compressed layouts for large trees implement the same
// interface. Every operation works on one runout slot (runout_layout.h) and is virtual
// per node and slot, never per combo: the per-combo loops run inside the kernel table
// that the caller passes in. Operations a layout has no use for are empty (updating
// regrets of an average store does nothing).
//
// Threads: a store is written only by the task that owns its node's subtree; reads during
// a pass see that task's writes. Not thread-safe otherwise.
#pragma once

#include <cstdint>
#include <span>

#include "solver/lock_table.h"
#include "solver/runout_layout.h"
#include "solver/solver_kernels.h"
#include "solver/storage_stream.h"

enum class StoreKind : uint32_t {
    kRunoutRegrets  = 0x53475251,  // "QRGS"
    kRunoutAverages = 0x53564151,  // "QAVS"
    // Compressed river layouts (compressed_regret_storage.h, compressed_average_storage.h,
    // fast_average_storage.h); they save themselves in the plain forms above.
    kCompressedRegrets1  = 0x31435251,  // "QRC1"
    kCompressedRegrets2  = 0x32435251,  // "QRC2"
    kCompressedAverages1 = 0x31434151,  // "QAC1"
    kCompressedAverages2 = 0x32434151,  // "QAC2"
    kFastAverages        = 0x38464151,  // "QAF8"
};

// Early grouping of a river slot's regrets: consecutive groups of 'sizes' over the combos
// taken in 'order' (position -> combo index; empty = the combo order itself).
struct EarlyGroups {
    std::span<const uint16_t> sizes;
    std::span<const uint16_t> order;

    bool empty() const { return sizes.empty(); }
};

// What one regret update of a slot needs besides the values.
struct RegretUpdate {
    double scale     = 1.0;    // s on flop and turn nodes, s / N on river nodes
    int    iteration = 0;      // completed iterations t (before this iteration's increment)
    bool   adaptive  = true;   // adaptive precision (`enable_adaptive_precision`)
    double precision = 0.0;    // p (`set_precision`, -2 .. 2)
    // Early grouping: groups of combos whose regrets are replaced by their integer mean,
    // per action, after the update; empty when grouping is off.
    EarlyGroups early_groups;
};

// The header every store's saved form starts with: u32 kind, u16 version, u16 actions,
// u16 combos, u32 slots, u16 numbers per stored row (RowCombos). ReadStoreHeader checks it
// against the expected kind, version and layout and returns kOk, kTruncated, kWrongKind,
// kWrongVersion or kLayoutMismatch.
void WriteStoreHeader(StorageWriter& out, StoreKind kind, uint16_t version,
                      const RunoutLayout& layout);
[[nodiscard]] StorageStatus ReadStoreHeader(StorageReader& in, StoreKind kind, uint16_t version,
                                            const RunoutLayout& layout);

// One slot's u16 rows in action order, each cut to the slot's span count (no padding):
// 'rows' points at the slot's first row, the others follow 'stride' apart.
// ReadSlotRows zeros the rest of each row and is false when the input ends early.
void WriteSlotRows(StorageWriter& out, const RunoutLayout& layout, int slot, const uint16_t* rows,
                   size_t stride);
[[nodiscard]] bool ReadSlotRows(StorageReader& in, const RunoutLayout& layout, int slot,
                                uint16_t* rows, size_t stride);

class StrategyStore {
public:
    StrategyStore() = default;
    virtual ~StrategyStore() = default;
    // A store owns megabytes and nodes hold it by pointer: copies would be accidents.
    StrategyStore(const StrategyStore&)            = delete;
    StrategyStore& operator=(const StrategyStore&) = delete;

    virtual StoreKind           Kind() const   = 0;
    virtual const RunoutLayout& Layout() const = 0;

    // Frees the per-combo data (locks stay); Allocate creates it zeroed. Allocation
    // failure ends the program.
    virtual void Release()           = 0;
    virtual void Allocate()          = 0;
    virtual bool IsAllocated() const = 0;

    // The strategy the store holds for a slot: 'strategy' gets actions rows of combos
    // floats, row a at strategy + a * stride. Regret stores give regret matching, average
    // stores the normalised averages; uniform where the numbers of a combo sum to 0, and
    // 0 outside the slot's span.
    virtual void CurrentStrategy(int slot, const SolverKernels& kernels, float* strategy,
                                 size_t stride) const = 0;

    // The strategy the node plays in a slot: CurrentStrategy with the slot's written
    // strategy applied where it holds (lock_table.h). Every pass and query reads this.
    void PlayedStrategy(int slot, const SolverKernels& kernels, float* strategy,
                        size_t stride) const;

    // Sets the slot's numbers so that its own strategy becomes 'rows' (actions rows of
    // combos frequencies at 'stride'): regret stores make each combo's regrets
    // proportional to its frequencies; stores without such numbers keep theirs (averages
    // keep their history). The written strategy itself lives in Locks().
    virtual void SeedStrategy(int slot, const float* rows, size_t stride);

    // The children's reach at a node of the opponent: out[a] = reach x the strategy of
    // PlayedStrategy, for the first n combos; bit a of the result is set when out[a] has
    // a positive entry. The default computes the strategy into the thread's scratch;
    // regret stores do it in one pass without storing the strategy.
    virtual uint64_t ChildReach(int slot, const SolverKernels& kernels, const float* reach, int n,
                                float* const* out) const;

    // Regret update of a slot from the action values and the node value (regret stores).
    // Skipped when the slot is LOCKED; combo-locked combos keep their regrets.
    virtual void UpdateRegrets(int slot, const SolverKernels& kernels,
                               const float* const* action_values, const float* node_values,
                               const RegretUpdate& update);

    // Regret matching, node value (written to node_values) and regret update in one go
    // (regret stores); a LOCKED slot only computes the node value. The default does the
    // three steps one after the other.
    virtual void FusedUpdate(int slot, const SolverKernels& kernels,
                             const float* const* action_values, float* node_values,
                             const RegretUpdate& update);

    // Adds weight * child_reach[a] to the slot's averages (average stores); null rows
    // (no reach) are skipped; nothing happens when the slot is LOCKED.
    virtual void AccumulateAverage(int slot, const SolverKernels& kernels,
                                   const float* const* child_reach, double weight);

    // Software prefetch of a slot's numbers ahead of their use (set_prefetch_mode): mode 1
    // the first cache lines of every action row, mode 2 the whole slot. Only a hint.
    virtual void Prefetch(int slot, int mode) const;

    // Housekeeping between passes, with no other thread using the store: packed stores
    // compact their memory. The default does nothing.
    virtual void Tidy() {}

    virtual LockTable&       Locks()       = 0;
    virtual const LockTable& Locks() const = 0;

    // Bytes held now: data, per-slot records and locks.
    virtual uint64_t ByteSize() const = 0;

    // Saves the store; Read restores one saved with the same kind and layout, checking
    // every field, and leaves the store unchanged unless it returns kOk.
    virtual void                        Write(StorageWriter& out) const = 0;
    [[nodiscard]] virtual StorageStatus Read(StorageReader& in)         = 0;
};
