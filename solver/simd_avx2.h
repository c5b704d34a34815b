// 8-lane AVX2 operations for the generic kernel bodies (*_generic.h); the same operation
// set as Avx512Lanes (simd_avx512.h), which documents it.
//
// AVX2 has no lane-mask registers: a mask is a vector whose selected lanes are all ones.
// Tails use vmaskmovps for floats; 16-bit rows and scatters, which AVX2 cannot mask, go
// through a small stack buffer.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "solver/card_pair.h"

struct Avx2Lanes {
    static constexpr int kWidth = 8;
    using Floats                = __m256;
    using Ints                  = __m256i;
    using Mask                  = __m256;

    static __m256i HeadInts(int count) {
        return _mm256_cmpgt_epi32(_mm256_set1_epi32(count), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    }
    static Mask Head(int count) { return _mm256_castsi256_ps(HeadInts(count)); }

    static Floats Zero() { return _mm256_setzero_ps(); }
    static Floats Set(float x) { return _mm256_set1_ps(x); }
    static Floats Load(const float* p, int count) {
        return count >= kWidth ? _mm256_loadu_ps(p) : _mm256_maskload_ps(p, HeadInts(count));
    }
    static Floats LoadOrZero(const float* p, int count) { return p ? Load(p, count) : Zero(); }
    static void   Store(float* p, Floats v, int count) {
        if (count >= kWidth)
            _mm256_storeu_ps(p, v);
        else
            _mm256_maskstore_ps(p, HeadInts(count), v);
    }

    static Floats Add(Floats a, Floats b) { return _mm256_add_ps(a, b); }
    static Floats Sub(Floats a, Floats b) { return _mm256_sub_ps(a, b); }
    static Floats Mul(Floats a, Floats b) { return _mm256_mul_ps(a, b); }
    static Floats Fma(Floats a, Floats b, Floats c) { return _mm256_fmadd_ps(a, b, c); }
    static Floats Fms(Floats a, Floats b, Floats c) { return _mm256_fmsub_ps(a, b, c); }
    static Floats Min(Floats a, Floats b) { return _mm256_min_ps(a, b); }
    static Floats Max(Floats a, Floats b) { return _mm256_max_ps(a, b); }
    static Floats Abs(Floats a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
    static Floats Sqrt(Floats a) { return _mm256_sqrt_ps(a); }
    static Floats Floor(Floats a) { return _mm256_floor_ps(a); }

    // 1 / x: the 12-bit estimate refined by one Newton step, x0 + x0 * (1 - x * x0).
    static Floats Reciprocal(Floats x) {
        Floats x0 = _mm256_rcp_ps(x);
        Floats e  = _mm256_fnmadd_ps(x, x0, Set(1.0f));
        return _mm256_fmadd_ps(x0, e, x0);
    }

    static Mask   Greater(Floats a, Floats b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static Mask   GreaterEqual(Floats a, Floats b) { return _mm256_cmp_ps(a, b, _CMP_GE_OQ); }
    static Mask   LessEqual(Floats a, Floats b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
    static Floats Select(Mask m, Floats yes, Floats no) { return _mm256_blendv_ps(no, yes, m); }
    static Ints   Select(Mask m, Ints yes, Ints no) {
        return _mm256_blendv_epi8(no, yes, _mm256_castps_si256(m));
    }
    static bool Any(Mask m, int count) {
        return (_mm256_movemask_ps(m) & ((1 << (count >= kWidth ? kWidth : count)) - 1)) != 0;
    }
    static float ReduceMax(Floats v, int count) {
        v          = _mm256_blendv_ps(Set(-__builtin_inff()), v, Head(count));
        __m128 m   = _mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
        m          = _mm_max_ps(m, _mm_movehl_ps(m, m));
        m          = _mm_max_ss(m, _mm_movehdup_ps(m));
        return _mm_cvtss_f32(m);
    }

    // Lanes whose bit is set in the combo bitset, for lanes first .. first + 7 (first is a
    // multiple of 8).
    static Mask FromBits(const uint32_t* bits, int first) {
        const __m256i lane_bit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        __m256i byte = _mm256_set1_epi32(int((bits[first >> 5] >> (first & 31)) & 0xFF));
        return _mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_and_si256(byte, lane_bit), lane_bit));
    }

    static Ints LoadU16(const uint16_t* p, int count) {
        if (count >= kWidth)
            return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        uint16_t buffer[kWidth] = {};
        std::memcpy(buffer, p, sizeof(uint16_t) * count);
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer)));
    }
    static void StoreU16(uint16_t* p, Ints v, int count) {
        // packus saturates each signed 32-bit lane to 0..65535 inside 128-bit halves; the
        // permute brings the two halves' results together.
        __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
        __m128i low    = _mm256_castsi256_si128(packed);
        if (count >= kWidth) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), low);
            return;
        }
        uint16_t buffer[kWidth];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer), low);
        std::memcpy(p, buffer, sizeof(uint16_t) * count);
    }
    static Ints   IntAdd(Ints a, Ints b) { return _mm256_add_epi32(a, b); }
    static Ints   IntSubFloorZero(Ints a, Ints b) {
        return _mm256_max_epi32(_mm256_sub_epi32(a, b), _mm256_setzero_si256());
    }
    static Floats ToFloat(Ints a) { return _mm256_cvtepi32_ps(a); }
    static Ints   Truncate(Floats a) { return _mm256_cvttps_epi32(a); }

    static void LoadCards(const CardPair* cards, int count, Ints& first, Ints& second) {
        Ints pairs = LoadU16(reinterpret_cast<const uint16_t*>(cards), count);
        first      = _mm256_and_si256(pairs, _mm256_set1_epi32(0xFF));
        second     = _mm256_srli_epi32(pairs, 8);
    }
    static Ints   LoadIndices(const uint16_t* p, int count) { return LoadU16(p, count); }
    static Floats Gather(const float* table, Ints index, int count) {
        if (count >= kWidth)
            return _mm256_i32gather_ps(table, index, 4);
        return _mm256_mask_i32gather_ps(Zero(), table, index, Head(count), 4);
    }
    static void Scatter(float* table, Ints index, Floats v, int count) {
        alignas(32) int   where[kWidth];
        alignas(32) float what[kWidth];
        _mm256_store_si256(reinterpret_cast<__m256i*>(where), index);
        _mm256_store_ps(what, v);
        for (int i = 0; i < count && i < kWidth; ++i)
            table[where[i]] = what[i];
    }
};
