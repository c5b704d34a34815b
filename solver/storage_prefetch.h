// Software prefetch of one runout slot of a 16-bit store (set_prefetch_mode): the sweep
// asks for the next sibling's numbers while it works on the current child, so that they
// arrive from memory in the meantime. Mode 1 fetches the first two cache lines of every
// action row (the hardware prefetcher follows the rest), mode 2 every line of the slot.
#pragma once

#include <xmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "solver/runout_layout.h"

inline void PrefetchSlotRows(const uint16_t* data, const RunoutLayout& layout, int slot, int mode) {
    if (data == nullptr || mode <= 0 || slot < 0 || slot >= layout.slots)
        return;
    constexpr size_t kLine      = 64 / sizeof(uint16_t);
    const size_t     row_length = layout.SlotStride(slot);
    const size_t     lines      = mode == 1 ? 2 : (row_length + kLine - 1) / kLine;
    for (int a = 0; a < layout.actions; ++a) {
        const uint16_t* row = data + layout.RowOffset(slot, a);
        for (size_t line = 0; line < lines && line * kLine < row_length; ++line)
            _mm_prefetch(reinterpret_cast<const char*>(row + line * kLine), _MM_HINT_T0);
    }
}
