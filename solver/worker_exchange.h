// The blocks a master and its workers exchange during a distributed solve. Encoding and
// decoding of all three live in worker_exchange.cpp and nowhere else.
//
// A pass of a flop tree deals turn cards at the ends of the flop; each dealt turn below
// a flop line is one subgame task (its root node, its turn slot and the opponent's reach
// entering it). Tasks are grouped by root node: a group is a whole subtree with all its
// turn slots, so every regret and average store below the flop belongs to exactly one
// group. The groups are split over the workers by weight (worker_share.h), the same way
// for the life of the connections, so a worker always works on the same stores. Every
// worker and the master hold the same tree (the master forwards its commands).
//
// In a pass the master sends every worker the same request; each worker runs the tasks
// it owns on its own stores and returns their values. The master keeps a full copy of
// the solution: it keeps the update requests it sent, and from time to time (after a
// number of passes, and before it runs a command while no run is going on) it fetches
// each worker's stores (get_worker_data) and installs them, which empties the kept
// requests. When a worker is lost, the master replays the kept requests of that worker's
// share on its own copy of the stores (the same arithmetic on the same numbers gives the
// same stores the worker had), and from then on solves that share itself. Nothing solved
// is lost, and every figure equals that of a solve without workers.
//
// All integers and floats are little-endian, unaligned; floats are IEEE 32-bit. Lengths
// are checked against the block before anything is read; a block that does not parse
// completely, or has bytes left over, is refused as a whole.
//
// Request (master -> every worker, the block of "traverse_subgames <traverser> <update>"):
//   u32  magic "QWRQ"       u16 version (1)     u8 traverser (0 OOP, 1 IP)   u8 update (1/0)
//   i32  iteration count    i32 averaging delay
//   u32  node count of the tree    u32 root combo count    i32 storage level
//   u32  task count, then per task in the pass's task order:
//     u32 root node   i16 turn slot   i16 river slot   u8 street   i8 owner (-1 master)
//     u8 reachable    u8 0   u32 n   n x f32 entering reach
//   (n is 0 unless a worker owns the task and it is reachable)
//
// Reply (the output block of traverse_subgames):
//   u32  magic "QWRP"   u16 version (1)   u8 traverser   u8 update   i32 worker index
//   u64  check sum of every other byte of the reply (ExchangeChecksum of the bytes before
//        this field, as the seed of the one of the bytes after it)
//   u32  task count, then per task the worker ran, in request order:
//     u32 task index   u32 n   n x f32 values   (result passes: n x f32 best-response values)
//
// Worker data (the output block of get_worker_data):
//   u32  magic "QWDT"   u16 version (1)   u16 0   i32 worker index
//   u64  update passes   u64 tasks run   u64 data blocks sent   u64 bytes sent
//   u64  check sum of every other byte, as in the reply
//   u32  store count, then per store (every store of the worker's groups, by root, by
//        node, regrets before averages):
//     u32 node   u8 kind (0 regrets, 1 averages)   u64 length   the store's saved form
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr uint16_t kExchangeVersion = 1;

struct RequestHeader {
    int      traverser       = 0;
    bool     update          = true;
    int32_t  iteration       = 0;
    int32_t  averaging_delay = 0;
    uint32_t node_count      = 0;
    uint32_t root_combos     = 0;
    int32_t  storage_level   = 0;
};

struct RequestTask {
    uint32_t       node       = 0;
    int16_t        turn_slot  = -1;
    int16_t        river_slot = -1;
    uint8_t        street     = 2;
    int8_t         owner      = -1;
    bool           reachable  = false;
    uint32_t       count      = 0;        // entries of 'reach'
    const uint8_t* reach      = nullptr;  // count floats, unaligned (decoded: inside the block)
};

struct StoreEntry {
    uint32_t       node   = 0;
    uint8_t        kind   = 0;  // 0 regrets, 1 averages
    uint64_t       length = 0;
    const uint8_t* bytes  = nullptr;  // decoded: inside the block
};

struct ReplyTask {
    uint32_t       task   = 0;
    uint32_t       count  = 0;
    const uint8_t* values = nullptr;  // count floats
    const uint8_t* best   = nullptr;  // count floats in result passes, else null
};

struct ReplyHeader {
    int     traverser = 0;
    bool    update    = true;
    int32_t worker    = 0;
};

struct DecodedRequest {
    RequestHeader            header;
    std::vector<RequestTask> tasks;
};

struct DecodedReply {
    ReplyHeader            header;
    std::vector<ReplyTask> tasks;
};

struct WorkerCounters {
    int32_t  worker       = 0;
    uint64_t passes       = 0;
    uint64_t tasks        = 0;
    uint64_t data_blocks  = 0;
    uint64_t bytes_sent   = 0;
};

struct DecodedWorkerData {
    WorkerCounters          counters;
    std::vector<StoreEntry> stores;
};

std::vector<uint8_t> EncodeRequest(const RequestHeader& header, std::span<const RequestTask> tasks);
std::optional<DecodedRequest> DecodeRequest(std::span<const uint8_t> block);

// Builds a reply piece by piece: the header, then the tasks. The reply is
// written into 'buffer' (emptied first; a previous block lends its memory), with room for
// 'expected_size' bytes reserved at once.
class ReplyWriter {
public:
    ReplyWriter(const ReplyHeader& header, uint32_t task_count, std::vector<uint8_t> buffer = {},
                size_t expected_size = 0);
    void AddTask(uint32_t task, const float* values, const float* best, uint32_t count);
    // Seals the check sum and hands the block over.
    std::vector<uint8_t> Finish();

private:
    std::vector<uint8_t> bytes_;
};

std::optional<DecodedReply> DecodeReply(std::span<const uint8_t> block);

std::vector<uint8_t> EncodeWorkerData(const WorkerCounters& counters,
                                      std::span<const StoreEntry> stores);
std::optional<DecodedWorkerData> DecodeWorkerData(std::span<const uint8_t> block);

// The check sum of replies and worker data: 64 bits over every byte, 8 at a time, starting from 'seed'.
uint64_t ExchangeChecksum(std::span<const uint8_t> bytes, uint64_t seed);

// Copies 'count' floats from an unaligned position of a block.
void LoadFloats(const uint8_t* from, uint32_t count, float* to);
