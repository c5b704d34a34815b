// Moving between per-combo vectors over a whole combo list and a store's span of it
// (runout_layout.h): the kernels run on the span, starting at its first position, and the
// entries outside it are filled with 0.
#pragma once

#include <algorithm>
#include <cstddef>

#include "solver/runout_layout.h"

// The span cut to the first 'n' positions of a list.
inline ComboSpan SpanWithin(ComboSpan span, int n) {
    const int first = std::min(span.first, n);
    return {first, std::max(0, std::min(span.End(), n) - first)};
}

// Row pointers moved to the span's first position; null rows stay null.
template <class T>
void ShiftRows(T* const* rows, int count, int first, T** shifted) {
    for (int a = 0; a < count; ++a)
        shifted[a] = rows[a] ? rows[a] + first : nullptr;
}

// Zeros the entries 0 .. first - 1 and End() .. width - 1 of a row.
inline void ZeroOutside(float* row, ComboSpan span, int width) {
    std::fill(row, row + std::min(span.first, width), 0.0f);
    if (span.End() < width)
        std::fill(row + span.End(), row + width, 0.0f);
}

// The same for 'actions' rows 'stride' apart.
inline void ZeroOutsideRows(float* rows, size_t stride, int actions, ComboSpan span, int width) {
    for (int a = 0; a < actions; ++a)
        ZeroOutside(rows + a * stride, span, width);
}
