// libFuzzer harness for the decoders of the stream codec: FSE blocks, id-2 packed streams
// (any compressor id) and the compressed stores' slot packing. Every input must be refused
// or decoded without a sanitizer report; a stream that decodes is packed again and must
// give the same values.
//
//   make fuzz && build/fuzz-seeds corpus && build-fuzz/codec_fuzz -max_total_time=600 corpus/codec
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "solver/slot_codec.h"
#include "tree/codec.h"
#include "tree/fse.h"

namespace {

void FuzzFse(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    const size_t         n = 1 + (size_t(data[0]) << 8 | data[1]) % kFseMaxBlock;
    std::vector<uint8_t> out(n);
    (void)FseDecompress({data + 2, size - 2}, out);
}

void FuzzStreams(const uint8_t* data, size_t size) {
    if (size < 2)
        return;
    // Array sizes from the first two bytes: up to four arrays of up to 4095 values.
    const int            arrays = 1 + data[0] % 4;
    const size_t         unit   = 1 + data[1];
    std::vector<uint8_t> input(data + 2, data + size);
    size_t               position = 0;
    CodecSource          source   = [&](uint8_t* out, size_t count) {
        if (input.size() - position < count)
            return false;
        std::memcpy(out, input.data() + position, count);
        position += count;
        return true;
    };
    CodecStatus status;
    auto        decoder = CreateDecompressor(source, status);
    if (!decoder)
        return;
    std::vector<std::vector<uint32_t>> values;
    for (int i = 0; i < arrays && status == CodecStatus::kOk; ++i) {
        values.emplace_back((unit * (i + 1) * 7) % 4096);
        status = decoder->UnpackArray(values.back(), static_cast<uint8_t>(i + 1));
    }
    if (status != CodecStatus::kOk || decoder->Finish() != CodecStatus::kOk)
        return;
    // Decoded: packing the values again and decoding that must give them back.
    std::vector<uint8_t> packed;
    auto encoder = CreateCompressor(kStreamCoderId, [&](const uint8_t* d, size_t n) {
        packed.insert(packed.end(), d, d + n);
    });
    for (size_t i = 0; i < values.size(); ++i)
        encoder->PackArray(values[i], static_cast<uint8_t>(i + 1));
    encoder->Finish();
    input    = packed;
    position = 0;
    auto again = CreateDecompressor(source, status);
    for (size_t i = 0; i < values.size(); ++i) {
        std::vector<uint32_t> copy(values[i].size());
        if (again->UnpackArray(copy, static_cast<uint8_t>(i + 1)) != CodecStatus::kOk || copy != values[i])
            std::abort();
    }
}

void FuzzSlots(const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    const int       combos = 1 + data[1] % 200;
    const SlotShape shape{1 + data[0] % 5, combos, size_t((combos + 31) / 32 * 32)};
    std::vector<uint16_t> rows(shape.actions * shape.stride + 1, 0x5A5A);
    if (!UnpackSlot(shape, data + 3, size - 3, rows.data()))
        return;
    if (rows.back() != 0x5A5A)
        std::abort();
    std::vector<uint8_t>  packed(PackedSlotBound(shape));
    const size_t          n = PackSlot(shape, rows.data(), packed.data());
    std::vector<uint16_t> again(rows.size() - 1);
    if (!UnpackSlot(shape, packed.data(), n, again.data()) ||
        !std::equal(again.begin(), again.end(), rows.begin()))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    switch (data[0] % 3) {
    case 0: FuzzFse(data + 1, size - 1); break;
    case 1: FuzzStreams(data + 1, size - 1); break;
    default: FuzzSlots(data + 1, size - 1); break;
    }
    return 0;
}
