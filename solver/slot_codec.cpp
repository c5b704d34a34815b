#include "solver/slot_codec.h"

#include <algorithm>

#include "solver/slot_combo_bits.h"
#include "solver/slot_combo_form.h"

size_t PackedSlotBound(SlotCodec codec, const SlotShape& shape) {
    return codec == SlotCodec::kComboBytes ? ComboFormBound(shape) : ComboBitsBound(shape);
}

size_t PackSlot(SlotCodec codec, const SlotShape& shape, const uint16_t* rows, uint8_t* out) {
    return codec == SlotCodec::kComboBytes ? PackComboForm(shape, rows, out)
                                           : PackComboBits(shape, rows, out);
}

bool UnpackSlot(SlotCodec codec, const SlotShape& shape, const uint8_t* in, size_t size,
                uint16_t* rows) {
    for (int a = 0; a < shape.actions; ++a)
        std::fill(rows + a * shape.stride, rows + (a + 1) * shape.stride, uint16_t{0});
    if (size == 0)
        return true;
    return codec == SlotCodec::kComboBytes ? UnpackComboForm(shape, in, in + size, rows)
                                           : UnpackComboBits(shape, in, size, rows);
}
