// A worker's side of a distributed solve: its share of a master's subgame request, and its
// stores for the master's copy. The blocks are described in worker_exchange.h. The master
// replays requests with the same routines (distributed_tasks.cpp).
#include <xmmintrin.h>

#include "cli/command.h"
#include "cli/solver_state.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/worker_exchange.h"
#include "solver/worker_share.h"
#include "tree/built_tree.h"

namespace {

constexpr uint8_t kRegretKind  = 0;
constexpr uint8_t kAverageKind = 1;

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

// Every store below the subgames a worker owns, in a fixed order: by root, by node, the
// regrets before the averages.
std::vector<CfrEngine::StoreRef> CfrEngine::ShareStores(int worker,
                                                        std::span<const double> weights) const {
    std::vector<StoreRef> stores;
    if (tree_.BaseStreet() != 1)
        return stores;
    const std::vector<uint32_t> roots  = SubgameRoots();
    const std::vector<int>      owners = SubgameOwners(roots, weights);
    for (size_t g = 0; g < roots.size(); ++g) {
        if (owners[g] != worker)
            continue;
        for (uint32_t i = roots[g]; i < subtree_end_[roots[g]]; ++i) {
            if (tree_.Node(i).kind != kDecisionNode)
                continue;
            if (RegretStore(i))
                stores.push_back({i, kRegretKind});
            if (AverageStore(i))
                stores.push_back({i, kAverageKind});
        }
    }
    return stores;
}

// Fills the pass's task list from a request, with the entering reach of the tasks
// 'worker' runs; returns their indices.
std::vector<int> CfrEngine::LoadRequest(PassState& pass, const DecodedRequest& request, int worker) {
    pass.task_street = 2;
    pass.phase       = 1;
    std::vector<int> mine;
    for (const RequestTask& in : request.tasks) {
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
    return mine;
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

    iteration_              = header.iteration;
    averaging_delay_        = header.averaging_delay;
    PassState        pass   = NewPass(traverser, update);
    std::vector<int> mine   = LoadRequest(pass, *request, worker);
    RunTasksInOrder(pass, mine);

    size_t expected = 64;
    for (int t : mine)
        expected += 8 + (update ? 4 : 8) * size_t(pass.tasks[t].runout.Size());
    ReplyWriter reply({traverser, update, worker}, static_cast<uint32_t>(mine.size()),
                      std::move(buffer), expected);
    for (int t : mine) {
        reply.AddTask(static_cast<uint32_t>(t), pass.TaskValues(pass.tasks[t]),
                      pass.TaskBest(pass.tasks[t]), static_cast<uint32_t>(pass.tasks[t].runout.Size()));
    }
    return {reply.Finish(), static_cast<uint32_t>(mine.size())};
}

std::vector<uint8_t> CfrEngine::WorkerData(const WorkerCounters& counters,
                                           std::span<const double> weights) {
    std::lock_guard                   lock(tree_mutex_);
    const std::vector<StoreRef>       refs = ShareStores(counters.worker, weights);
    const int                         count = static_cast<int>(refs.size());
    std::vector<std::vector<uint8_t>> forms(count);
#pragma omp parallel for schedule(dynamic, 1)
    for (int k = 0; k < count; ++k) {
        StorageWriter out;
        (refs[k].kind == kRegretKind ? RegretStore(refs[k].node) : AverageStore(refs[k].node))
            ->Write(out);
        forms[k] = out.bytes();
    }
    std::vector<StoreEntry> entries;
    for (int k = 0; k < count; ++k)
        entries.push_back({refs[k].node, refs[k].kind, forms[k].size(), forms[k].data()});
    return EncodeWorkerData(counters, entries);
}
