// Contraction is off as in the kernel bodies: the batched sweeps give these bits.
#pragma GCC optimize("fp-contract=off")

#include "solver/showdown_values.h"

#include <algorithm>
#include <bit>

#include "solver/scalar_kernels.h"

namespace {

// Records shorter than this go through the scalar output loop: on a typical river most
// strength groups hold one to three combos, and a masked gather and scatter for so few
// lanes costs more than the plain loop. Both give the same bits.
constexpr int kShortRun = 8;

// The running state of one sweep.
struct Sweep {
    float*          sums;
    ShowdownMember* members;
    ShowdownRecord* records;
    int             member_count = 0;
    int             record_count = 0;
    float           running_sum  = 0.0f;
};

void TakeMember(Sweep& sweep, CardPair cards, float weight, float& group_sum) {
    sweep.sums[cards.first] -= weight;
    sweep.sums[cards.second] -= weight;
    group_sum += weight;
    sweep.members[sweep.member_count++] = {cards, weight};
}

void CollectGroup(Sweep& sweep, const StrengthGroups& groups, const uint16_t* masks, int g,
                  const ShowdownLane& lane) {
    const int begin = groups.group_starts[g];
    const int size  = groups.group_sizes[g];
    const int first = sweep.member_count;
    float     group_sum = 0.0f;
    auto      visit = [&](int k) {
        float reach = lane.reach[groups.order[k]];
        if (reach > 0.0f)
            TakeMember(sweep, groups.sorted_cards[k], lane.stake * reach, group_sum);
    };
    if (masks != nullptr && size <= kMaskedGroupLimit) {
        for (unsigned bits = masks[g]; bits != 0; bits &= bits - 1)
            visit(begin + std::countr_zero(bits));
    } else {
        for (int k = begin; k < begin + size; ++k)
            visit(k);
    }
    const auto end = static_cast<uint16_t>(begin + size);
    if (sweep.member_count > first) {
        sweep.records[sweep.record_count++] = {uint16_t(begin), end, uint16_t(first),
                                               uint16_t(sweep.member_count), group_sum};
        sweep.running_sum -= group_sum;
        return;
    }
    ShowdownRecord* last = sweep.record_count > 0 ? &sweep.records[sweep.record_count - 1] : nullptr;
    if (last != nullptr && last->first_member == last->end_member)
        last->end = end;
    else
        sweep.records[sweep.record_count++] = {uint16_t(begin), end, uint16_t(first),
                                               uint16_t(first), 0.0f};
}

void RaiseMembers(Sweep& sweep, const ShowdownRecord& record) {
    for (int m = record.first_member; m < record.end_member; ++m) {
        sweep.sums[sweep.members[m].cards.first] += sweep.members[m].weight;
        sweep.sums[sweep.members[m].cards.second] += sweep.members[m].weight;
    }
    sweep.running_sum += record.group_sum;
}

}  // namespace

namespace {

void Evaluate(const SolverKernels& kernels, const StrengthGroups& groups, const uint16_t* masks,
              const ShowdownLane& lane, TerminalScratch& scratch, bool narrow_only) {
    if (lane.reach == nullptr) {
        std::fill_n(lane.values, groups.combo_count, 0.0f);
        return;
    }
    Sweep sweep{scratch.card_sums(), scratch.members(), scratch.records()};
    std::fill_n(sweep.sums, kCardCount, 0.0f);
    for (int g = 0; g < groups.GroupCount(); ++g)
        CollectGroup(sweep, groups, masks, g, lane);

    const bool raked = lane.rake_rate != 0.0f;
    if (raked) {
        for (int c = 0; c < kCardCount; ++c)
            scratch.card_totals()[c] = -sweep.sums[c];
    }
    const ShowdownOutputArgs args{groups.sorted_cards.data(),
                                  groups.identity_order ? nullptr : groups.order.data(),
                                  sweep.sums,
                                  scratch.card_totals(),
                                  lane.reach,
                                  lane.values,
                                  lane.stake,
                                  lane.rake_rate,
                                  -sweep.running_sum};
    auto wide   = raked ? kernels.ShowdownOutputRaked : kernels.ShowdownOutput;
    auto narrow = raked ? scalar_kernels::ShowdownOutputRaked : scalar_kernels::ShowdownOutput;
    for (int r = 0; r < sweep.record_count; ++r) {
        const ShowdownRecord& record = sweep.records[r];
        RaiseMembers(sweep, record);
        const bool short_run = narrow_only || record.end - record.begin < kShortRun;
        (short_run ? narrow : wide)(args, record.begin, record.end, sweep.running_sum);
        RaiseMembers(sweep, record);
    }
}

}  // namespace

void ShowdownValues(const SolverKernels& kernels, const StrengthGroups& groups,
                    const uint16_t* masks, const ShowdownLane& lane, TerminalScratch& scratch) {
    Evaluate(kernels, groups, masks, lane, scratch, false);
}

void ShowdownValuesAlt1(const SolverKernels& kernels, const StrengthGroups& groups,
                        const uint16_t* masks, const ShowdownLane& lane, TerminalScratch& scratch) {
    Evaluate(kernels, groups, masks, lane, scratch, true);
}

void EvaluateShowdowns(const SolverKernels& kernels, const StrengthGroups& groups,
                       const uint16_t* masks, std::span<const ShowdownLane> lanes,
                       TerminalScratch& scratch, bool alt1) {
    if (lanes.size() <= size_t(kNarrowBatch)) {
        for (const ShowdownLane& lane : lanes)
            Evaluate(kernels, groups, masks, lane, scratch, alt1 && lane.rake_rate == 0.0f);
        return;
    }
    for (size_t first = 0; first < lanes.size(); first += kMaxBatchLanes) {
        const int    count = static_cast<int>(std::min<size_t>(kMaxBatchLanes, lanes.size() - first));
        const float* reach[kMaxBatchLanes];
        float*       out[kMaxBatchLanes];
        alignas(64) float stake[kMaxBatchLanes] = {};
        alignas(64) float rate[kMaxBatchLanes]  = {};
        bool         raked = false;
        for (int l = 0; l < count; ++l) {
            const ShowdownLane& lane = lanes[first + l];
            reach[l] = lane.reach;
            out[l]   = lane.values;
            stake[l] = lane.stake;
            rate[l]  = lane.rake_rate;
            raked |= lane.rake_rate != 0.0f;
        }
        kernels.ShowdownBatch({.lanes   = count,
                               .groups  = &groups,
                               .masks   = masks,
                               .reach   = reach,
                               .out     = out,
                               .stake   = stake,
                               .rate    = rate,
                               .raked   = raked,
                               .scratch = &scratch});
    }
}
