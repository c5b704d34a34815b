#include "solver/worker_exchange.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "blocks are little-endian");

namespace {

constexpr uint32_t kRequestMagic = 0x51525751;  // "QWRQ"
constexpr uint32_t kReplyMagic   = 0x50525751;  // "QWRP"
constexpr uint32_t kDataMagic    = 0x54445751;  // "QWDT"

// Offsets of the check sums in a reply and in worker data.
constexpr size_t kChecksumOffset     = 4 + 2 + 1 + 1 + 4;
constexpr size_t kDataChecksumOffset = 4 + 2 + 2 + 4 + 4 * 8;

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
    template <class T>
    void Put(T value) {
        Bytes(&value, sizeof value);
    }
    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }

private:
    std::vector<uint8_t>& out_;
};

// Reads fields from a block; every read checks the length first and a failed read makes
// the reader fail for good.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    template <class T>
    T Get() {
        T value{};
        if (const uint8_t* p = Take(sizeof value))
            std::memcpy(&value, p, sizeof value);
        return value;
    }
    // The position of 'size' bytes, skipped over; null when they are not there.
    const uint8_t* Take(uint64_t size) {
        if (failed_ || size > bytes_.size() - position_) {
            failed_ = true;
            return nullptr;
        }
        const uint8_t* p = bytes_.data() + position_;
        position_ += size;
        return p;
    }
    const uint8_t* Floats(uint32_t count) { return Take(uint64_t{count} * sizeof(float)); }
    bool           Ok() const { return !failed_; }
    bool           Complete() const { return !failed_ && position_ == bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
    size_t                   position_ = 0;
    bool                     failed_   = false;
};

void PutStore(Writer& w, uint32_t node, uint8_t kind, std::span<const uint8_t> saved_form) {
    w.Put<uint32_t>(node);
    w.Put<uint8_t>(kind);
    w.Put<uint64_t>(saved_form.size());
    w.Bytes(saved_form.data(), saved_form.size());
}

// Covers the whole block but the 8-byte check sum field at 'offset'.
uint64_t BlockChecksum(std::span<const uint8_t> block, size_t offset) {
    return ExchangeChecksum(block.subspan(offset + 8), ExchangeChecksum(block.first(offset), 0));
}

uint64_t ReplyChecksum(std::span<const uint8_t> reply) { return BlockChecksum(reply, kChecksumOffset); }

bool GetStores(Reader& r, std::vector<StoreEntry>& stores) {
    const uint32_t count = r.Get<uint32_t>();
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        StoreEntry entry;
        entry.node   = r.Get<uint32_t>();
        entry.kind   = r.Get<uint8_t>();
        entry.length = r.Get<uint64_t>();
        entry.bytes  = r.Take(entry.length);
        if (entry.kind > 1)
            return false;
        stores.push_back(entry);
    }
    return r.Ok();
}

}  // namespace

std::vector<uint8_t> EncodeRequest(const RequestHeader& header, std::span<const RequestTask> tasks) {
    std::vector<uint8_t> out;
    Writer               w(out);
    w.Put<uint32_t>(kRequestMagic);
    w.Put<uint16_t>(kExchangeVersion);
    w.Put<uint8_t>(static_cast<uint8_t>(header.traverser));
    w.Put<uint8_t>(header.update ? 1 : 0);
    w.Put<int32_t>(header.iteration);
    w.Put<int32_t>(header.averaging_delay);
    w.Put<uint32_t>(header.node_count);
    w.Put<uint32_t>(header.root_combos);
    w.Put<int32_t>(header.storage_level);
    w.Put<uint32_t>(static_cast<uint32_t>(tasks.size()));
    for (const RequestTask& task : tasks) {
        w.Put<uint32_t>(task.node);
        w.Put<int16_t>(task.turn_slot);
        w.Put<int16_t>(task.river_slot);
        w.Put<uint8_t>(task.street);
        w.Put<int8_t>(task.owner);
        w.Put<uint8_t>(task.reachable ? 1 : 0);
        w.Put<uint8_t>(0);
        w.Put<uint32_t>(task.count);
        w.Bytes(task.reach, size_t{task.count} * sizeof(float));
    }
    return out;
}

std::optional<DecodedRequest> DecodeRequest(std::span<const uint8_t> block) {
    Reader         r(block);
    DecodedRequest request;
    if (r.Get<uint32_t>() != kRequestMagic || r.Get<uint16_t>() != kExchangeVersion)
        return std::nullopt;
    RequestHeader& h  = request.header;
    h.traverser       = r.Get<uint8_t>();
    const uint8_t upd = r.Get<uint8_t>();
    h.update          = upd == 1;
    h.iteration       = r.Get<int32_t>();
    h.averaging_delay = r.Get<int32_t>();
    h.node_count      = r.Get<uint32_t>();
    h.root_combos     = r.Get<uint32_t>();
    h.storage_level   = r.Get<int32_t>();
    const uint32_t count = r.Get<uint32_t>();
    if (!r.Ok() || h.traverser > 1 || upd > 1 || h.iteration < 0)
        return std::nullopt;
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        RequestTask task;
        task.node       = r.Get<uint32_t>();
        task.turn_slot  = r.Get<int16_t>();
        task.river_slot = r.Get<int16_t>();
        task.street     = r.Get<uint8_t>();
        task.owner      = r.Get<int8_t>();
        task.reachable  = r.Get<uint8_t>() != 0;
        r.Get<uint8_t>();
        task.count = r.Get<uint32_t>();
        task.reach = r.Floats(task.count);
        request.tasks.push_back(task);
    }
    if (!r.Complete())
        return std::nullopt;
    return request;
}

ReplyWriter::ReplyWriter(const ReplyHeader& header, uint32_t task_count, std::vector<uint8_t> buffer,
                         size_t expected_size)
    : bytes_(std::move(buffer)) {
    bytes_.clear();
    bytes_.reserve(expected_size);
    Writer w(bytes_);
    w.Put<uint32_t>(kReplyMagic);
    w.Put<uint16_t>(kExchangeVersion);
    w.Put<uint8_t>(static_cast<uint8_t>(header.traverser));
    w.Put<uint8_t>(header.update ? 1 : 0);
    w.Put<int32_t>(header.worker);
    w.Put<uint64_t>(0);  // the check sum, sealed by Finish
    w.Put<uint32_t>(task_count);
}

void ReplyWriter::AddTask(uint32_t task, const float* values, const float* best, uint32_t count) {
    Writer w(bytes_);
    w.Put<uint32_t>(task);
    w.Put<uint32_t>(count);
    w.Bytes(values, size_t{count} * sizeof(float));
    if (best)
        w.Bytes(best, size_t{count} * sizeof(float));
}

std::vector<uint8_t> ReplyWriter::Finish() {
    const uint64_t sum = ReplyChecksum(bytes_);
    std::memcpy(bytes_.data() + kChecksumOffset, &sum, sizeof sum);
    return std::move(bytes_);
}

std::optional<DecodedReply> DecodeReply(std::span<const uint8_t> block) {
    Reader       r(block);
    DecodedReply reply;
    if (r.Get<uint32_t>() != kReplyMagic || r.Get<uint16_t>() != kExchangeVersion)
        return std::nullopt;
    reply.header.traverser = r.Get<uint8_t>();
    const uint8_t update   = r.Get<uint8_t>();
    reply.header.update    = update == 1;
    reply.header.worker    = r.Get<int32_t>();
    const uint64_t sum     = r.Get<uint64_t>();
    if (!r.Ok() || update > 1 || reply.header.traverser > 1 || sum != ReplyChecksum(block))
        return std::nullopt;
    const uint32_t count = r.Get<uint32_t>();
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        ReplyTask task;
        task.task   = r.Get<uint32_t>();
        task.count  = r.Get<uint32_t>();
        task.values = r.Floats(task.count);
        task.best   = reply.header.update ? nullptr : r.Floats(task.count);
        reply.tasks.push_back(task);
    }
    if (!r.Complete())
        return std::nullopt;
    return reply;
}

std::vector<uint8_t> EncodeWorkerData(const WorkerCounters& counters,
                                      std::span<const StoreEntry> stores) {
    std::vector<uint8_t> out;
    Writer               w(out);
    w.Put<uint32_t>(kDataMagic);
    w.Put<uint16_t>(kExchangeVersion);
    w.Put<uint16_t>(0);
    w.Put<int32_t>(counters.worker);
    w.Put<uint64_t>(counters.passes);
    w.Put<uint64_t>(counters.tasks);
    w.Put<uint64_t>(counters.data_blocks);
    w.Put<uint64_t>(counters.bytes_sent);
    w.Put<uint64_t>(0);  // the check sum, sealed below
    w.Put<uint32_t>(static_cast<uint32_t>(stores.size()));
    for (const StoreEntry& store : stores)
        PutStore(w, store.node, store.kind, {store.bytes, store.length});
    const uint64_t sum = BlockChecksum(out, kDataChecksumOffset);
    std::memcpy(out.data() + kDataChecksumOffset, &sum, sizeof sum);
    return out;
}

std::optional<DecodedWorkerData> DecodeWorkerData(std::span<const uint8_t> block) {
    Reader            r(block);
    DecodedWorkerData data;
    if (r.Get<uint32_t>() != kDataMagic || r.Get<uint16_t>() != kExchangeVersion)
        return std::nullopt;
    r.Get<uint16_t>();
    data.counters.worker      = r.Get<int32_t>();
    data.counters.passes      = r.Get<uint64_t>();
    data.counters.tasks       = r.Get<uint64_t>();
    data.counters.data_blocks = r.Get<uint64_t>();
    data.counters.bytes_sent  = r.Get<uint64_t>();
    const uint64_t sum        = r.Get<uint64_t>();
    if (!r.Ok() || sum != BlockChecksum(block, kDataChecksumOffset))
        return std::nullopt;
    if (!GetStores(r, data.stores) || !r.Complete())
        return std::nullopt;
    return data;
}

uint64_t ExchangeChecksum(std::span<const uint8_t> bytes, uint64_t seed) {
    // Four independent lanes over 32-byte steps, so that the multiplications overlap.
    constexpr uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;
    uint64_t lanes[4] = {0x9E3779B97F4A7C15ull ^ seed, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                         0x27D4EB2F165667C5ull ^ bytes.size()};
    const size_t steps = bytes.size() / 32;
    for (size_t i = 0; i < steps; ++i)
        for (int lane = 0; lane < 4; ++lane) {
            uint64_t word;
            std::memcpy(&word, bytes.data() + 32 * i + 8 * lane, 8);
            lanes[lane] = (lanes[lane] ^ word) * kMultiplier;
            lanes[lane] ^= lanes[lane] >> 29;
        }
    uint64_t h = lanes[0] ^ (lanes[1] * 3) ^ (lanes[2] * 5) ^ (lanes[3] * 7);
    for (size_t i = 32 * steps; i < bytes.size(); ++i)
        h = (h ^ bytes[i]) * 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 32);
}

void LoadFloats(const uint8_t* from, uint32_t count, float* to) {
    std::memcpy(to, from, size_t{count} * sizeof(float));
}
