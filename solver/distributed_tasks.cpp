// The subgame phase of a pass spread over worker processes, both sides of it: the
// master's request and the installing of the replies, and the worker's share of a
// request. The blocks are described in worker_exchange.h.
#include <xmmintrin.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "cli/command.h"
#include "cli/solver_state.h"
#include "net/worker_pool.h"
#include "net/workers.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/worker_exchange.h"
#include "solver/worker_share.h"
#include "tree/built_tree.h"

namespace {

constexpr uint8_t kRegretKind  = 0;
constexpr uint8_t kAverageKind = 1;

// Each subgame root's owner under the split of the given weights.
std::unordered_map<uint32_t, int> OwnerMap(const std::vector<uint32_t>& roots,
                                           const std::vector<int>&      owners) {
    std::unordered_map<uint32_t, int> map;
    for (size_t g = 0; g < roots.size(); ++g)
        map[roots[g]] = owners[g];
    return map;
}

}  // namespace

std::vector<uint32_t> CfrEngine::SubgameRoots() const {
    std::vector<uint32_t> roots;
    std::vector<uint32_t> stack{0};
    while (!stack.empty()) {
        const uint32_t   index = stack.back();
        const BuiltNode& node  = tree_.Node(index);
        stack.pop_back();
        if (node.kind == kShowdownEnd || (node.kind == kDecisionNode && node.street > 1)) {
            roots.push_back(index);
            continue;
        }
        if (node.kind != kDecisionNode)
            continue;
        const auto children = tree_.Children(index);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back(*child);
    }
    return roots;
}

std::vector<int> CfrEngine::SubgameOwners(const std::vector<uint32_t>& roots,
                                          std::span<const double> weights) const {
    std::vector<uint64_t> work;
    for (uint32_t root : roots)
        work.push_back(subtree_end_[root] - root);
    return SplitByWeight(work, weights);
}

// The stores a pass changes below the given roots, in a fixed order: the traverser's
// regrets, and the opponent's averages when the pass accumulates them.
std::vector<CfrEngine::StoreRef> CfrEngine::ChangedStores(const std::vector<uint32_t>& roots,
                                                          int traverser, bool averaging) const {
    std::vector<StoreRef> stores;
    for (uint32_t root : roots)
        for (uint32_t i = root; i < subtree_end_[root]; ++i) {
            const BuiltNode& node = tree_.Node(i);
            if (node.kind != kDecisionNode)
                continue;
            if (node.player == traverser && RegretStore(i))
                stores.push_back({i, kRegretKind});
            else if (node.player != traverser && averaging && AverageStore(i))
                stores.push_back({i, kAverageKind});
        }
    return stores;
}

// The roots of the tasks 'owner' runs (reachable ones), in order of first appearance.
static std::vector<uint32_t> RootsRun(const std::vector<RequestTask>& tasks, int owner) {
    std::vector<uint32_t> roots;
    for (const RequestTask& task : tasks)
        if (task.owner == owner && task.reachable &&
            std::find(roots.begin(), roots.end(), task.node) == roots.end())
            roots.push_back(task.node);
    return roots;
}

void CfrEngine::RunTasksInOrder(PassState& pass, std::vector<int> order) {
    auto work = [&](int t) {
        const Task& task = pass.tasks[t];
        return uint64_t(subtree_end_[task.node] - task.node) * uint64_t(task.runout.Size());
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return work(a) > work(b); });
    RunTaskList(pass, order);
}

bool CfrEngine::RunTasksOnWorkers(PassState& pass) {
    if (!WorkersConnected() || tree_.BaseStreet() != 1 || pass.task_street != 2)
        return false;
    WorkerPool&                 pool   = Workers();
    const int                   count  = pool.Count();
    const std::vector<uint32_t> roots  = SubgameRoots();
    std::vector<int>            owners = SubgameOwners(roots, pool.Weights());
    for (int& owner : owners)
        if (owner >= 0 && pool.Lost(owner))
            owner = -1;
    const auto owner_of = OwnerMap(roots, owners);

    std::vector<RequestTask>      request(pass.tasks.size());
    std::vector<int>              local;
    std::vector<std::vector<int>> expected(count);
    for (size_t t = 0; t < pass.tasks.size(); ++t) {
        const Task& task = pass.tasks[t];
        RequestTask& out = request[t];
        out.node         = task.node;
        out.turn_slot    = static_cast<int16_t>(task.runout.turn_slot);
        out.river_slot   = static_cast<int16_t>(task.runout.river_slot);
        out.street       = static_cast<uint8_t>(task.runout.street);
        out.owner        = static_cast<int8_t>(owner_of.at(task.node));
        out.reachable    = task.reachable;
        if (!task.reachable)
            continue;
        if (out.owner < 0) {
            local.push_back(static_cast<int>(t));
            continue;
        }
        out.count = static_cast<uint32_t>(task.runout.Size());
        out.reach = reinterpret_cast<const uint8_t*>(pass.task_data.data() + task.offset);
        expected[out.owner].push_back(static_cast<int>(t));
    }
    if (local.size() == pass.tasks.size())
        return false;

    RequestHeader header;
    header.traverser       = pass.traverser;
    header.update          = pass.update;
    header.iteration       = iteration_;
    header.averaging_delay = averaging_delay_;
    header.node_count      = tree_.Size();
    header.root_combos     = static_cast<uint32_t>(pass.width);
    header.storage_level   = State().tree.actual_level;
    const std::vector<uint8_t> block = EncodeRequest(header, request);
    char text[64];
    std::snprintf(text, sizeof text, "traverse_subgames %d %d", pass.traverser, pass.update ? 1 : 0);
    const auto tickets = pool.Send(text, block);

    RunTasksInOrder(pass, local);
    std::vector<WorkerReply> replies = pool.Collect(tickets);
    std::vector<int>               retry;
    for (int w = 0; w < count; ++w) {
        if (expected[w].empty())
            continue;
        const std::vector<StoreRef> stores =
            ChangedStores(RootsRun(request, w), pass.traverser, pass.update && pass.average_weight > 0);
        if (!InstallReply(pass, w, replies[w], expected[w], stores)) {
            pool.Drop(w);
            retry.insert(retry.end(), expected[w].begin(), expected[w].end());
        }
        pool.Recycle(w, std::move(replies[w].block));
    }
    ReportLostWorkers();
    if (!retry.empty())
        RunTasksInOrder(pass, retry);
    return true;
}

// Checks the whole reply against what was asked before it takes anything from it.
bool CfrEngine::InstallReply(PassState& pass, int worker, const WorkerReply& reply,
                             const std::vector<int>& expected, const std::vector<StoreRef>& stores) {
    if (!reply.ok)
        return false;
    if (reply.block.empty()) {
        // The worker refused the request: its error says why.
        if (reply.text.rfind("ERROR: ", 0) == 0)
            Print("worker %d: %s", worker, reply.text.c_str());
        return false;
    }
    const auto decoded = DecodeReply(reply.block);
    if (!decoded || decoded->header.worker != worker || decoded->header.traverser != pass.traverser ||
        decoded->header.update != pass.update || decoded->tasks.size() != expected.size() ||
        decoded->stores.size() != stores.size())
        return false;
    for (size_t k = 0; k < expected.size(); ++k)
        if (decoded->tasks[k].task != static_cast<uint32_t>(expected[k]) ||
            decoded->tasks[k].count != static_cast<uint32_t>(pass.tasks[expected[k]].runout.Size()))
            return false;
    for (size_t k = 0; k < stores.size(); ++k)
        if (decoded->stores[k].node != stores[k].node || decoded->stores[k].kind != stores[k].kind)
            return false;
    for (size_t k = 0; k < expected.size(); ++k) {
        const ReplyTask& in   = decoded->tasks[k];
        float*           base = pass.task_data.data() + pass.tasks[expected[k]].offset;
        LoadFloats(in.values, in.count, base + pass.width);
        if (in.best)
            LoadFloats(in.best, in.count, base + 2 * pass.width);
    }
    for (const StoreEntry& entry : decoded->stores) {
        StrategyStore* store =
            entry.kind == kRegretKind ? RegretStore(entry.node) : AverageStore(entry.node);
        StorageReader in({entry.bytes, entry.length});
        if (store->Read(in) != StorageStatus::kOk || !in.AtEnd())
            return false;
    }
    return true;
}

CfrEngine::WorkerPass CfrEngine::TraverseForMaster(int traverser, bool update,
                                                   std::span<const uint8_t> input, int worker,
                                                   std::vector<uint8_t> buffer) {
    std::lock_guard lock(tree_mutex_);
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero, denormals-are-zero, as the master
    const auto request = DecodeRequest(input);
    if (!request || request->header.traverser != traverser || request->header.update != update)
        CommandError("bad subgame request");
    const RequestHeader& header = request->header;
    if (tree_.BaseStreet() != 1 || header.node_count != tree_.Size() ||
        header.root_combos != static_cast<uint32_t>(runouts_.Root().Size()))
        CommandError("tree differs from the master's");
    if (header.storage_level != State().tree.actual_level)
        CommandError("storage level differs from the master's");

    iteration_       = header.iteration;
    averaging_delay_ = header.averaging_delay;
    PassState pass   = NewPass(traverser, update);
    pass.task_street = 2;
    pass.phase       = 1;
    std::vector<int> mine;
    for (const RequestTask& in : request->tasks) {
        const bool turn_task = in.street == 2 && in.river_slot == -1 && in.turn_slot >= 0 &&
                               in.turn_slot < RunoutLists::kTurnSlotCount &&
                               runouts_.TurnStorageSlot(in.turn_slot) >= 0;
        if (in.node >= tree_.Size() || !turn_task)
            CommandError("bad subgame request");
        Runout runout;
        runout.street    = 2;
        runout.turn_slot = in.turn_slot;
        runout.list      = &runouts_.Turn(in.turn_slot);
        const bool owned = in.owner == worker && in.reachable;
        if (owned && in.count != static_cast<uint32_t>(runout.Size()))
            CommandError("bad subgame request");
        const size_t offset = owned ? pass.TaskOffset() : 0;
        if (owned) {
            LoadFloats(in.reach, in.count, pass.task_data.data() + offset);
            mine.push_back(static_cast<int>(pass.tasks.size()));
        }
        pass.tasks.push_back({in.node, runout, offset, owned});
    }
    RunTasksInOrder(pass, mine);

    const std::vector<StoreRef> stores =
        ChangedStores(RootsRun(request->tasks, worker), traverser, update && pass.average_weight > 0);
    size_t expected = 64;
    for (int t : mine)
        expected += 16 + (update ? 4 : 8) * size_t(pass.tasks[t].runout.Size());
    for (const StoreRef& ref : stores)
        expected += 16 + (ref.kind == kRegretKind ? RegretStore(ref.node) : AverageStore(ref.node))
                             ->Layout().Elements() * sizeof(uint16_t) + 4096;
    ReplyWriter reply({traverser, update, worker}, static_cast<uint32_t>(mine.size()),
                      std::move(buffer), expected);
    for (int t : mine) {
        const float* base = pass.task_data.data() + pass.tasks[t].offset;
        reply.AddTask(static_cast<uint32_t>(t), base + pass.width,
                      update ? nullptr : base + 2 * pass.width,
                      static_cast<uint32_t>(pass.tasks[t].runout.Size()));
    }
    reply.BeginStores(static_cast<uint32_t>(stores.size()));
    for (const StoreRef& ref : stores) {
        StorageWriter out;
        (ref.kind == kRegretKind ? RegretStore(ref.node) : AverageStore(ref.node))->Write(out);
        reply.AddStore(ref.node, ref.kind, out.bytes());
    }
    return {reply.Finish(), static_cast<uint32_t>(mine.size()), static_cast<uint32_t>(stores.size())};
}

std::vector<uint8_t> CfrEngine::WorkerData(const WorkerCounters& counters,
                                           std::span<const double> weights) {
    std::lock_guard             lock(tree_mutex_);
    const std::vector<uint32_t> roots  = SubgameRoots();
    const std::vector<int>      owners = SubgameOwners(roots, weights);
    std::vector<std::vector<uint8_t>> forms;
    std::vector<StoreEntry>           entries;
    for (size_t g = 0; g < roots.size(); ++g) {
        if (owners[g] != counters.worker || tree_.BaseStreet() != 1)
            continue;
        for (uint32_t i = roots[g]; i < subtree_end_[roots[g]]; ++i)
            for (uint8_t kind : {kRegretKind, kAverageKind}) {
                const StrategyStore* store = kind == kRegretKind ? RegretStore(i) : AverageStore(i);
                if (tree_.Node(i).kind != kDecisionNode || !store)
                    continue;
                StorageWriter out;
                store->Write(out);
                forms.push_back(out.bytes());
                entries.push_back({i, kind, forms.back().size(), nullptr});
            }
    }
    for (size_t k = 0; k < entries.size(); ++k)
        entries[k].bytes = forms[k].data();
    return EncodeWorkerData(counters, entries);
}
