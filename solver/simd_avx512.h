// 16-lane AVX-512 operations for the generic kernel bodies (*_generic.h).
//
// The generic bodies are written once against the operation set below and compiled for
// two lane types: Avx512Lanes (here) and Avx2Lanes (simd_avx2.h). Every operation takes
// or returns whole vectors; Load/Store take a lane count so that the tail of a row
// (count < 16) uses the AVX-512 lane masks instead of a scalar loop: masked-off lanes are
// neither read nor written, so rows need no padding.
//
// Integer vectors hold one u32 per lane (regrets and sums are u16 in memory, widened on
// load; StoreU16 narrows with unsigned saturation, vpmovusdw, so a sum above 65535 is
// stored as 65535 for free).
#pragma once

// GCC 12's AVX-512 headers build their "undefined" vectors by self-initialisation, which
// -Wuninitialized reports once the intrinsics are inlined (GCC bug 105593, fixed in 13).
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <immintrin.h>

#include <cstdint>

#include "solver/card_pair.h"

struct Avx512Lanes {
    static constexpr int kWidth = 16;
    using Floats                = __m512;
    using Ints                  = __m512i;
    using Mask                  = __mmask16;

    static Mask Head(int count) {
        return count >= kWidth ? Mask(0xFFFF) : Mask((1u << count) - 1);
    }

    static Floats Zero() { return _mm512_setzero_ps(); }
    static Floats Set(float x) { return _mm512_set1_ps(x); }
    static Floats Load(const float* p, int count) { return _mm512_maskz_loadu_ps(Head(count), p); }
    static Floats LoadOrZero(const float* p, int count) { return p ? Load(p, count) : Zero(); }
    static void   Store(float* p, Floats v, int count) { _mm512_mask_storeu_ps(p, Head(count), v); }

    static Floats Add(Floats a, Floats b) { return _mm512_add_ps(a, b); }
    static Floats Sub(Floats a, Floats b) { return _mm512_sub_ps(a, b); }
    static Floats Mul(Floats a, Floats b) { return _mm512_mul_ps(a, b); }
    static Floats Fma(Floats a, Floats b, Floats c) { return _mm512_fmadd_ps(a, b, c); }
    static Floats Fms(Floats a, Floats b, Floats c) { return _mm512_fmsub_ps(a, b, c); }
    static Floats Min(Floats a, Floats b) { return _mm512_min_ps(a, b); }
    static Floats Max(Floats a, Floats b) { return _mm512_max_ps(a, b); }
    static Floats Abs(Floats a) { return _mm512_abs_ps(a); }
    static Floats Sqrt(Floats a) { return _mm512_sqrt_ps(a); }
    static Floats Floor(Floats a) { return _mm512_roundscale_ps(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }

    // 1 / x: the 14-bit estimate refined by one Newton step, x0 + x0 * (1 - x * x0).
    static Floats Reciprocal(Floats x) {
        Floats x0 = _mm512_rcp14_ps(x);
        Floats e  = _mm512_fnmadd_ps(x, x0, Set(1.0f));
        return _mm512_fmadd_ps(x0, e, x0);
    }

    static Mask   Greater(Floats a, Floats b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ); }
    static Mask   GreaterEqual(Floats a, Floats b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ); }
    static Mask   LessEqual(Floats a, Floats b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
    static Floats Select(Mask m, Floats yes, Floats no) { return _mm512_mask_blend_ps(m, no, yes); }
    static Ints   Select(Mask m, Ints yes, Ints no) { return _mm512_mask_blend_epi32(m, no, yes); }
    static bool   Any(Mask m, int count) { return (m & Head(count)) != 0; }
    static float  ReduceMax(Floats v, int count) {
        return _mm512_mask_reduce_max_ps(Head(count), v);
    }

    // Lanes whose bit is set in the combo bitset, for lanes first .. first + 15 (first is
    // a multiple of 16, so the 16 bits sit inside one 32-bit word).
    static Mask FromBits(const uint32_t* bits, int first) {
        return Mask(bits[first >> 5] >> (first & 31));
    }

    static Ints LoadU16(const uint16_t* p, int count) {
        return _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(Head(count), p));
    }
    static void StoreU16(uint16_t* p, Ints v, int count) {
        _mm512_mask_cvtusepi32_storeu_epi16(p, Head(count), v);
    }
    static Ints   IntAdd(Ints a, Ints b) { return _mm512_add_epi32(a, b); }
    static Ints   IntSubFloorZero(Ints a, Ints b) {
        return _mm512_max_epi32(_mm512_sub_epi32(a, b), _mm512_setzero_si512());
    }
    static Floats ToFloat(Ints a) { return _mm512_cvtepi32_ps(a); }
    static Ints   Truncate(Floats a) { return _mm512_cvttps_epi32(a); }  // 0 <= a < 2^31

    // Card indices of lanes first .. first + count - 1: the two bytes of each pair become
    // two u32 index vectors.
    static void LoadCards(const CardPair* cards, int count, Ints& first, Ints& second) {
        Ints pairs = LoadU16(reinterpret_cast<const uint16_t*>(cards), count);
        first      = _mm512_and_si512(pairs, _mm512_set1_epi32(0xFF));
        second     = _mm512_srli_epi32(pairs, 8);
    }
    static Ints LoadIndices(const uint16_t* p, int count) { return LoadU16(p, count); }
    static Floats Gather(const float* table, Ints index, int count) {
        return _mm512_mask_i32gather_ps(Zero(), Head(count), index, table, 4);
    }
    static void Scatter(float* table, Ints index, Floats v, int count) {
        _mm512_mask_i32scatter_ps(table, Head(count), index, v, 4);
    }
};
