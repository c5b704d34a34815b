// Generic bodies of the chance-node kernels (solver_kernels.h: GatherKept,
// ScatterKeptAdd), compiled per lane type by kernels_avx512.cpp and kernels_avx2.cpp;
// the scalar reference is in vector_kernels_scalar.cpp.
//
// A dealt card's combo list keeps the parent entries that do not hold the card, in order,
// so the map between the lists is a 16-bit mask per 16 parent entries: AVX-512 moves each
// group with one compress (parent -> child) or expand (child -> parent); the AVX2 body
// walks the mask bits.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cmath>

#include "solver/solver_kernels.h"

namespace chance_generic {

template <class V>
void GatherKept(const float* parent, const uint16_t* keep, int parent_n, float* child) {
    int j = 0;
    for (int i = 0; i < parent_n; i += 16) {
        const unsigned mask = keep[i / 16];
        if constexpr (V::kWidth == 16) {
            const __m512 group = _mm512_maskz_loadu_ps(__mmask16(mask), parent + i);
            const int    count = std::popcount(mask);
            _mm512_mask_storeu_ps(child + j, __mmask16((1u << count) - 1),
                                  _mm512_maskz_compress_ps(__mmask16(mask), group));
            j += count;
        } else {
            for (unsigned bits = mask; bits != 0; bits &= bits - 1)
                child[j++] = parent[i + std::countr_zero(bits)];
        }
    }
}

template <class V>
void ScatterKeptAdd(const float* child, const uint16_t* keep, int parent_n, float weight,
                    float* parent) {
    int j = 0;
    for (int i = 0; i < parent_n; i += 16) {
        const unsigned mask = keep[i / 16];
        if constexpr (V::kWidth == 16) {
            const int    count  = std::popcount(mask);
            const __m512 packed = _mm512_maskz_loadu_ps(__mmask16((1u << count) - 1), child + j);
            const __m512 spread = _mm512_maskz_expand_ps(__mmask16(mask), packed);
            const __m512 sum    = _mm512_fmadd_ps(_mm512_set1_ps(weight), spread,
                                                  _mm512_maskz_loadu_ps(__mmask16(mask), parent + i));
            _mm512_mask_storeu_ps(parent + i, __mmask16(mask), sum);
            j += count;
        } else {
            for (unsigned bits = mask; bits != 0; bits &= bits - 1) {
                float& target = parent[i + std::countr_zero(bits)];
                target        = std::fma(weight, child[j++], target);
            }
        }
    }
}

}  // namespace chance_generic
