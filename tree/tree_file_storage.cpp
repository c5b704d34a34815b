#include "tree/tree_file_storage.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "cards/card.h"
#include "cli/command.h"
#include "solver/node_stores.h"
#include "solver/storage_stream.h"

namespace {

enum ArrayTag : uint8_t {
    kNodeTag       = 1,
    kSlotSizesTag  = 2,
    kSlotValuesTag = 3,
    kTurnRiverTag  = 4,
    kStoreSizeTag  = 5,
    kStoreWordsTag = 6,
};

// Presence bits of a node record.
constexpr uint32_t kHasRunouts   = 1;
constexpr uint32_t kHasTurnCards = 2;
constexpr uint32_t kHasTurnRiver = 4;
constexpr uint32_t kHasRegrets   = 8;
constexpr uint32_t kHasAverages  = 16;

uint32_t PresenceOf(const BuiltNode& node) {
    return (node.runouts ? kHasRunouts : 0) | (node.turn_cards ? kHasTurnCards : 0) |
           (node.turn_river ? kHasTurnRiver : 0) | (node.strategy ? kHasRegrets : 0) |
           (node.second ? kHasAverages : 0);
}

uint32_t SlotCountOf(const BuiltNode& node) { return node.runouts ? node.runouts->count : 0; }

[[noreturn]] void Invalid(const std::string& reason) { CommandError("invalid file (" + reason + ")"); }

[[noreturn]] void CodecFailed(CodecStatus status) {
    switch (status) {
    case CodecStatus::kFseError: CommandError("fse error");
    case CodecStatus::kWrongId: CommandError("compressor wrong id");
    case CodecStatus::kUnknownId: CommandError("invalid file");
    default: Invalid(CodecStatusText(status));
    }
}

void Check(CodecStatus status) {
    if (status != CodecStatus::kOk)
        CodecFailed(status);
}

// --- writing ---------------------------------------------------------------------------

void PackSlots(Compressor& out, std::span<const RunoutSlot> slots) {
    std::vector<uint32_t> values;
    for (const RunoutSlot& slot : slots) {
        const auto& sums = slot.range_sum;
        out.PackArray(std::vector<uint32_t>{uint32_t(sums[0].size()), uint32_t(sums[1].size())},
                      kSlotSizesTag);
        values.clear();
        for (const auto& sum : sums)
            for (float weight : sum)
                values.push_back(std::bit_cast<uint32_t>(weight));
        out.PackArray(values, kSlotValuesTag);
    }
}

void PackStore(Compressor& out, NodeStorage* storage) {
    StorageWriter saved;
    StoreOf(storage)->Write(saved);
    const std::vector<uint8_t>& bytes = saved.bytes();
    const uint64_t              size  = bytes.size();
    out.PackArray(std::vector<uint32_t>{uint32_t(size), uint32_t(size >> 32)}, kStoreSizeTag);
    std::vector<uint32_t> words((bytes.size() + 1) / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        words[i / 2] |= uint32_t(bytes[i]) << (8 * (i % 2));
    out.PackArray(words, kStoreWordsTag);
}

// --- reading ---------------------------------------------------------------------------

void UnpackSlots(Decompressor& in, std::span<RunoutSlot> slots) {
    std::vector<uint32_t> values;
    for (RunoutSlot& slot : slots) {
        uint32_t sizes[2];
        Check(in.UnpackArray(sizes, kSlotSizesTag));
        if (sizes[0] > kComboCount || sizes[1] > kComboCount)
            Invalid("runout slot size");
        values.resize(size_t(sizes[0]) + sizes[1]);
        Check(in.UnpackArray(values, kSlotValuesTag));
        for (int p = 0; p < 2; ++p) {
            const uint32_t* first = values.data() + (p ? sizes[0] : 0);
            slot.range_sum[p].resize(sizes[p]);
            for (uint32_t i = 0; i < sizes[p]; ++i)
                slot.range_sum[p][i] = std::bit_cast<float>(first[i]);
        }
    }
}

// The largest saved form a store of this layout can have: numbers, exponents or factors,
// and every slot's lock record at its largest (flags, combo-lock weights and a written
// strategy, lock_table.h).
uint64_t SavedSizeBound(const StrategyStore& store) {
    const RunoutLayout& layout  = store.Layout();
    const uint64_t      slots   = layout.slots;
    const uint64_t      combos  = layout.combos;
    const uint64_t      actions = layout.actions;
    const uint64_t      numbers = slots * (actions * (2 * combos + 1) + sizeof(float));
    const uint64_t      locks   = slots * (sizeof(uint32_t) + combos * sizeof(float) +
                                         sizeof(uint16_t) + actions * combos * sizeof(float));
    return 64 + numbers + locks;
}

void UnpackStore(Decompressor& in, NodeStorage* storage) {
    StrategyStore& store = *StoreOf(storage);
    uint32_t       size_words[2];
    Check(in.UnpackArray(size_words, kStoreSizeTag));
    const uint64_t size = size_words[0] | uint64_t(size_words[1]) << 32;
    if (size > SavedSizeBound(store))
        Invalid("storage size");
    std::vector<uint32_t> words((size + 1) / 2);
    Check(in.UnpackArray(words, kStoreWordsTag));
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] > 0xFFFF || (2 * i + 1 == size && words[i] > 0xFF))
            Invalid("storage words");
        bytes[2 * i] = static_cast<uint8_t>(words[i]);
        if (2 * i + 1 < size)
            bytes[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    StorageReader reader(bytes);
    const StorageStatus status = store.Read(reader);
    if (status != StorageStatus::kOk)
        Invalid(StorageStatusText(status));
    if (!reader.AtEnd())
        Invalid("storage data left over");
}

void ReadNode(BuiltTree& tree, uint32_t index, const CodecSource& source) {
    BuiltNode&  node = tree.Node(index);
    CodecStatus status;
    auto        in = CreateDecompressor(source, status);
    if (!in)
        CodecFailed(status);
    uint32_t record[3];
    Check(in->UnpackArray(record, kNodeTag));
    if (record[0] != index || record[1] != PresenceOf(node) || record[2] != SlotCountOf(node))
        Invalid("node storage does not match the tree");
    if (node.runouts)
        UnpackSlots(*in, {node.runouts->slots.get(), node.runouts->count});
    if (node.turn_cards)
        UnpackSlots(*in, node.turn_cards->slots);
    if (node.turn_river) {
        std::vector<uint32_t> bytes(node.turn_river->bytes.size());
        Check(in->UnpackArray(bytes, kTurnRiverTag));
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] > 0xFF)
                Invalid("turn-river block");
            node.turn_river->bytes[i] = static_cast<uint8_t>(bytes[i]);
        }
    }
    for (NodeStorage* storage : {node.strategy.get(), node.second.get()})
        if (storage)
            UnpackStore(*in, storage);
    Check(in->Finish());
}

}  // namespace

void WriteNodeStorage(const BuiltTree& tree, const CodecSink& sink) {
    for (uint32_t index = 0; index < tree.Size(); ++index) {
        const BuiltNode& node     = tree.Node(index);
        const uint32_t   presence = PresenceOf(node);
        if (presence == 0)
            continue;
        auto out = CreateCompressor(kStreamCoderId, sink);
        out->PackArray(std::vector<uint32_t>{index, presence, SlotCountOf(node)}, kNodeTag);
        if (node.runouts)
            PackSlots(*out, {node.runouts->slots.get(), node.runouts->count});
        if (node.turn_cards)
            PackSlots(*out, node.turn_cards->slots);
        if (node.turn_river) {
            const auto& bytes = node.turn_river->bytes;
            out->PackArray(std::vector<uint32_t>(bytes.begin(), bytes.end()), kTurnRiverTag);
        }
        for (NodeStorage* storage : {node.strategy.get(), node.second.get()})
            if (storage)
                PackStore(*out, storage);
        out->Finish();
    }
}

void ReadNodeStorage(BuiltTree& tree, const CodecSource& source,
                     const std::function<void(int percent)>& progress) {
    const uint32_t count = tree.Size();
    for (uint32_t index = 0; index < count; ++index) {
        if (PresenceOf(tree.Node(index)) != 0)
            ReadNode(tree, index, source);
        progress(static_cast<int>(uint64_t(index + 1) * 100 / count));
    }
}
