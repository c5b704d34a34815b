// Generic bodies of the batched terminal evaluations, compiled per lane type by
// kernels_avx512.cpp and kernels_avx2.cpp; the scalar table evaluates lane after lane with
// the single-terminal sweeps (showdown_values.h, fold_values.h).
//
// One SIMD lane per terminal: a batch keeps 16 lanes per entry (one AVX-512 vector, two
// AVX2 vectors). The lanes' reach vectors are first interleaved into a table with one
// 16-float row per combo (16 x 16 transposes on AVX-512), the sweep then works on whole
// rows: per-card sums, running sums and member weights are rows too, so every step of
// the single-terminal sweep becomes one vector operation for all lanes. The outputs are
// written as rows over the reach table (each combo's row is read for the last time just
// before its output is stored) and transposed back into the lanes' value vectors.
//
// Bits: every lane does exactly the operations of its single-terminal sweep, in the same
// order; members that are reachable in another lane only add a zero weight, which leaves
// the sums unchanged. The batched output therefore equals the single evaluation.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

#include "solver/solver_kernels.h"
#include "solver/strength_groups.h"
#include "solver/terminal_scratch.h"

namespace batch_generic {

inline constexpr int kLanes = kMaxBatchLanes;

// 16 lanes as whole vectors of the lane type.
template <class V>
struct Wide {
    static constexpr int kParts = kLanes / V::kWidth;
    typename V::Floats part[kParts];

    static Wide Load(const float* p) {
        Wide w;
        for (int k = 0; k < kParts; ++k)
            w.part[k] = V::Load(p + k * V::kWidth, V::kWidth);
        return w;
    }
    static Wide Set(float x) {
        Wide w;
        for (int k = 0; k < kParts; ++k)
            w.part[k] = V::Set(x);
        return w;
    }
    void Store(float* p) const {
        for (int k = 0; k < kParts; ++k)
            V::Store(p + k * V::kWidth, part[k], V::kWidth);
    }
    bool AnyPositive() const {
        for (int k = 0; k < kParts; ++k)
            if (V::Any(V::Greater(part[k], V::Zero()), V::kWidth))
                return true;
        return false;
    }
};

#define QUILLANE_WIDE_OP(Name, Body)                                  \
    template <class V>                                                \
    inline Wide<V> Name(const Wide<V>& a, const Wide<V>& b) {        \
        Wide<V> r;                                                    \
        for (int k = 0; k < Wide<V>::kParts; ++k)                     \
            r.part[k] = V::Body(a.part[k], b.part[k]);                \
        return r;                                                     \
    }
QUILLANE_WIDE_OP(Add, Add)
QUILLANE_WIDE_OP(Sub, Sub)
QUILLANE_WIDE_OP(Mul, Mul)
#undef QUILLANE_WIDE_OP

template <class V>
inline Wide<V> Fma(const Wide<V>& a, const Wide<V>& b, const Wide<V>& c) {
    Wide<V> r;
    for (int k = 0; k < Wide<V>::kParts; ++k)
        r.part[k] = V::Fma(a.part[k], b.part[k], c.part[k]);
    return r;
}

template <class V>
inline Wide<V> Fms(const Wide<V>& a, const Wide<V>& b, const Wide<V>& c) {
    Wide<V> r;
    for (int k = 0; k < Wide<V>::kParts; ++k)
        r.part[k] = V::Fms(a.part[k], b.part[k], c.part[k]);
    return r;
}

// Transpose of a 16 x 16 block held as 16 row vectors: out[j][i] = in[i][j]. The result
// goes to a second array (copying it back would spill the block to the stack).
[[gnu::always_inline]] inline void Transpose16(const __m512 in[16], __m512 out[16]) {
    __m512 t[16], u[16];
    for (int i = 0; i < 8; ++i) {
        t[2 * i]     = _mm512_unpacklo_ps(in[2 * i], in[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_ps(in[2 * i], in[2 * i + 1]);
    }
    auto lo = [](__m512 a, __m512 b) {
        return _mm512_castpd_ps(_mm512_unpacklo_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
    };
    auto hi = [](__m512 a, __m512 b) {
        return _mm512_castpd_ps(_mm512_unpackhi_pd(_mm512_castps_pd(a), _mm512_castps_pd(b)));
    };
    // u[4i + j], 128-bit block b: rows 4i .. 4i+3 of column 4b + j.
    for (int i = 0; i < 4; ++i) {
        u[4 * i]     = lo(t[4 * i], t[4 * i + 2]);
        u[4 * i + 1] = hi(t[4 * i], t[4 * i + 2]);
        u[4 * i + 2] = lo(t[4 * i + 1], t[4 * i + 3]);
        u[4 * i + 3] = hi(t[4 * i + 1], t[4 * i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        const __m512 a = _mm512_shuffle_f32x4(u[j], u[4 + j], 0x88);
        const __m512 b = _mm512_shuffle_f32x4(u[j], u[4 + j], 0xDD);
        const __m512 c = _mm512_shuffle_f32x4(u[8 + j], u[12 + j], 0x88);
        const __m512 d = _mm512_shuffle_f32x4(u[8 + j], u[12 + j], 0xDD);
        out[j]      = _mm512_shuffle_f32x4(a, c, 0x88);
        out[8 + j]  = _mm512_shuffle_f32x4(a, c, 0xDD);
        out[4 + j]  = _mm512_shuffle_f32x4(b, d, 0x88);
        out[12 + j] = _mm512_shuffle_f32x4(b, d, 0xDD);
    }
}

// Transpose of an 8 x 8 block held as 8 row vectors: out[j][i] = in[i][j].
[[gnu::always_inline]] inline void Transpose8(const __m256 in[8], __m256 out[8]) {
    __m256 t[8], u[8];
    for (int i = 0; i < 4; ++i) {
        t[2 * i]     = _mm256_unpacklo_ps(in[2 * i], in[2 * i + 1]);
        t[2 * i + 1] = _mm256_unpackhi_ps(in[2 * i], in[2 * i + 1]);
    }
    for (int i = 0; i < 2; ++i) {
        u[4 * i]     = _mm256_shuffle_ps(t[4 * i], t[4 * i + 2], 0x44);
        u[4 * i + 1] = _mm256_shuffle_ps(t[4 * i], t[4 * i + 2], 0xEE);
        u[4 * i + 2] = _mm256_shuffle_ps(t[4 * i + 1], t[4 * i + 3], 0x44);
        u[4 * i + 3] = _mm256_shuffle_ps(t[4 * i + 1], t[4 * i + 3], 0xEE);
    }
    for (int j = 0; j < 4; ++j) {
        out[j]     = _mm256_permute2f128_ps(u[j], u[4 + j], 0x20);
        out[4 + j] = _mm256_permute2f128_ps(u[j], u[4 + j], 0x31);
    }
}

// Combos i .. i + 7 of a batch of at most 8 lanes: half a row per combo, the upper half
// of every table row zero as the idle lanes of the full transpose leave it.
inline __mmask8 HalfMask(int count) {
    return count >= 8 ? __mmask8(0xFF) : count <= 0 ? __mmask8(0) : __mmask8((1u << count) - 1);
}

inline void InterleaveEight(const float* const* rows, int lanes, int i, int count, float* table) {
    const __mmask8 head = HalfMask(count);
    __m256         r[8], c[8];
#pragma GCC unroll 8
    for (int l = 0; l < 8; ++l)
        r[l] = l < lanes && rows[l] ? _mm256_maskz_loadu_ps(head, rows[l] + i) : _mm256_setzero_ps();
    Transpose8(r, c);
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
        if (j < count)
            _mm512_store_ps(table + size_t(i + j) * 16, _mm512_zextps256_ps512(c[j]));
}

inline void DeinterleaveEight(const float* table, int i, int count, float* const* rows, int lanes) {
    __m256 r[8], c[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
        r[j] = j < count ? _mm256_load_ps(table + size_t(i + j) * 16) : _mm256_setzero_ps();
    Transpose8(r, c);
    const __mmask8 head = HalfMask(count);
#pragma GCC unroll 8
    for (int l = 0; l < 8; ++l)
        if (l < lanes)
            _mm256_mask_storeu_ps(rows[l] + i, head, c[l]);
}

inline __mmask16 HeadMask(int count) {
    return count >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << count) - 1);
}

// table[i * 16 + l] = rows[l][i] for i < n (0 for idle or null lanes).
template <class V>
void Interleave(const float* const* rows, int lanes, int n, float* table) {
    if constexpr (V::kWidth == 16) {
        if (lanes <= 8) {
            for (int i = 0; i < n; i += 8)
                InterleaveEight(rows, lanes, i, std::min(8, n - i), table);
            return;
        }
        for (int i = 0; i < n; i += 16) {
            const int       count = std::min(16, n - i);
            const __mmask16 head  = HeadMask(count);
            __m512          r[16], c[16];
#pragma GCC unroll 16
            for (int l = 0; l < 16; ++l)
                r[l] = l < lanes && rows[l] ? _mm512_maskz_loadu_ps(head, rows[l] + i)
                                            : _mm512_setzero_ps();
            Transpose16(r, c);
#pragma GCC unroll 16
            for (int j = 0; j < 16; ++j)
                if (j < count)
                    _mm512_store_ps(table + size_t(i + j) * 16, c[j]);
        }
    } else {
        for (int i = 0; i < n; ++i)
            for (int l = 0; l < kLanes; ++l)
                table[size_t(i) * kLanes + l] = l < lanes && rows[l] ? rows[l][i] : 0.0f;
    }
}

// rows[l][i] = table[i * 16 + l] for i < n and the active lanes.
template <class V>
void Deinterleave(const float* table, int n, float* const* rows, int lanes) {
    if constexpr (V::kWidth == 16) {
        if (lanes <= 8) {
            for (int i = 0; i < n; i += 8)
                DeinterleaveEight(table, i, std::min(8, n - i), rows, lanes);
            return;
        }
        for (int i = 0; i < n; i += 16) {
            const int count = std::min(16, n - i);
            __m512    r[16], c[16];
#pragma GCC unroll 16
            for (int j = 0; j < 16; ++j)
                r[j] = j < count ? _mm512_load_ps(table + size_t(i + j) * 16) : _mm512_setzero_ps();
            Transpose16(r, c);
            const __mmask16 head = HeadMask(count);
#pragma GCC unroll 16
            for (int l = 0; l < 16; ++l)
                if (l < lanes)
                    _mm512_mask_storeu_ps(rows[l] + i, head, c[l]);
        }
    } else {
        for (int l = 0; l < lanes; ++l)
            for (int i = 0; i < n; ++i)
                rows[l][i] = table[size_t(i) * kLanes + l];
    }
}

template <class V>
inline float* Row(float* table, int index) {
    return table + size_t(index) * kLanes;
}

// The showdown sweep of showdown_values.h for all lanes at once.
template <class V, bool kRake>
void ShowdownBatch(const ShowdownBatchArgs& args) {
    using W                       = Wide<V>;
    const StrengthGroups& groups  = *args.groups;
    TerminalScratch&      scratch = *args.scratch;
    float*                rows    = scratch.lane_rows();
    float*                weights = scratch.lane_weights();
    CardPair*             cards   = scratch.member_cards();
    float*                sums    = scratch.lane_card_sums();
    ShowdownRecord*       records = scratch.records();
    const int             n       = groups.combo_count;

    Interleave<V>(args.reach, args.lanes, n, rows);
    std::fill_n(sums, TerminalScratch::kCardTableSize * kLanes, 0.0f);
    const W stake   = W::Load(args.stake);
    W       running = W::Set(0.0f);
    int     members = 0, record_count = 0;

    for (int g = 0; g < groups.GroupCount(); ++g) {
        const int begin = groups.group_starts[g];
        const int size  = groups.group_sizes[g];
        const int first = members;
        W         group = W::Set(0.0f);
        auto      visit = [&](int k) {
            const W reach = W::Load(Row<V>(rows, groups.order[k]));
            if (!reach.AnyPositive())
                return;
            const W        weight = Mul(stake, reach);
            const CardPair pair   = groups.sorted_cards[k];
            Sub(W::Load(Row<V>(sums, pair.first)), weight).Store(Row<V>(sums, pair.first));
            Sub(W::Load(Row<V>(sums, pair.second)), weight).Store(Row<V>(sums, pair.second));
            group = Add(group, weight);
            weight.Store(Row<V>(weights, members));
            cards[members++] = pair;
        };
        if (args.masks != nullptr && size <= kMaskedGroupLimit) {
            for (unsigned bits = args.masks[g]; bits != 0; bits &= bits - 1)
                visit(begin + std::countr_zero(bits));
        } else {
            for (int k = begin; k < begin + size; ++k)
                visit(k);
        }
        const auto end = static_cast<uint16_t>(begin + size);
        if (members > first) {
            records[record_count++] = {uint16_t(begin), end, uint16_t(first), uint16_t(members), 0.0f};
            running = Sub(running, group);
            continue;
        }
        ShowdownRecord* last = record_count > 0 ? &records[record_count - 1] : nullptr;
        if (last != nullptr && last->first_member == last->end_member)
            last->end = end;
        else
            records[record_count++] = {uint16_t(begin), end, uint16_t(first), uint16_t(first), 0.0f};
    }

    float* totals = scratch.lane_card_totals();
    W      total_mass{};
    if constexpr (kRake) {
        for (int i = 0; i < TerminalScratch::kCardTableSize * kLanes; ++i)
            totals[i] = -sums[i];
        total_mass = Sub(W::Set(0.0f), running);
    }
    const W rate      = kRake ? W::Load(args.rate) : W::Set(0.0f);
    const W keep      = Sub(W::Set(1.0f), rate);
    // Moves a record's members one step up (stronger -> tied -> weaker); the group sum is
    // added up again in member order, which gives the bits of the first pass's sum.
    auto raise = [&](const ShowdownRecord& record) {
        W group = W::Set(0.0f);
        for (int m = record.first_member; m < record.end_member; ++m) {
            const W weight = W::Load(Row<V>(weights, m));
            Add(W::Load(Row<V>(sums, cards[m].first)), weight).Store(Row<V>(sums, cards[m].first));
            Add(W::Load(Row<V>(sums, cards[m].second)), weight).Store(Row<V>(sums, cards[m].second));
            group = Add(group, weight);
        }
        running = Add(running, group);
    };
    for (int r = 0; r < record_count; ++r) {
        const ShowdownRecord& record = records[r];
        raise(record);
        for (int k = record.begin; k < record.end; ++k) {
            const CardPair pair  = groups.sorted_cards[k];
            float*         row   = Row<V>(rows, groups.order[k]);
            W              value = Sub(Sub(running, W::Load(Row<V>(sums, pair.first))),
                                       W::Load(Row<V>(sums, pair.second)));
            if constexpr (kRake) {
                const W rest = Sub(Sub(total_mass, W::Load(Row<V>(totals, pair.first))),
                                   W::Load(Row<V>(totals, pair.second)));
                const W mass = Fma(stake, W::Load(row), rest);
                value        = Fms(keep, value, Mul(rate, mass));
            }
            value.Store(row);
        }
        raise(record);
    }
    Deinterleave<V>(rows, n, args.out, args.lanes);
}

template <class V>
void ShowdownBatchEither(const ShowdownBatchArgs& args) {
    (args.raked ? ShowdownBatch<V, true> : ShowdownBatch<V, false>)(args);
}

// The fold sweep of fold_values.h for all lanes at once.
template <class V>
void FoldBatch(const FoldBatchArgs& args) {
    using W                  = Wide<V>;
    TerminalScratch& scratch = *args.scratch;
    float*           rows    = scratch.lane_rows();
    float*           sums    = scratch.lane_card_sums();
    const int        n       = args.combo_count;

    Interleave<V>(args.reach, args.lanes, n, rows);
    std::fill_n(sums, TerminalScratch::kCardTableSize * kLanes, 0.0f);
    const W payoff = W::Load(args.payoff);
    W       total  = W::Set(0.0f);
    for (int i = 0; i < n; ++i) {
        const W reach = W::Load(Row<V>(rows, i));
        if (!reach.AnyPositive())
            continue;
        const W        weight = Mul(payoff, reach);
        const CardPair pair   = args.cards[i];
        Add(W::Load(Row<V>(sums, pair.first)), weight).Store(Row<V>(sums, pair.first));
        Add(W::Load(Row<V>(sums, pair.second)), weight).Store(Row<V>(sums, pair.second));
        total = Add(total, weight);
    }
    for (int i = 0; i < n; ++i) {
        const CardPair pair  = args.cards[i];
        float*         row   = Row<V>(rows, i);
        const W        value = Sub(Sub(Fma(payoff, W::Load(row), total), W::Load(Row<V>(sums, pair.first))),
                                   W::Load(Row<V>(sums, pair.second)));
        value.Store(row);
    }
    Deinterleave<V>(rows, n, args.out, args.lanes);
    // A lane whose opponent mass is not a normal float gives zeros.
    alignas(64) float lane_total[kLanes];
    total.Store(lane_total);
    for (int l = 0; l < args.lanes; ++l)
        if (std::fabs(lane_total[l]) <= FLT_MIN)
            std::fill_n(args.out[l], n, 0.0f);
}

}  // namespace batch_generic
