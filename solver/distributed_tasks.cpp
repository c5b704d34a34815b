// The master's side of a distributed solve: the subgame phase of a pass handed to the
// workers, the master's copy of their stores, and the recovery of a lost worker's share.
// The blocks and the scheme are described in worker_exchange.h.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <unordered_map>

#include "cli/command.h"
#include "cli/solver_state.h"
#include "net/worker_pool.h"
#include "net/workers.h"
#include "solver/cfr_engine.h"
#include "solver/cfr_pass_state.h"
#include "solver/run_control.h"
#include "solver/worker_exchange.h"
#include "solver/worker_sync.h"
#include "tree/built_tree.h"

namespace {

constexpr uint8_t kRegretKind = 0;

// When the master copies the workers' stores during a run: after at least 64 update
// passes, once the passes since the last copy have taken nine times as long as that copy
// did (copies then cost at most a tenth of the run), and in any case once the kept
// requests reach 1 GiB (which bounds the replay of a lost worker's share).
constexpr size_t   kSyncPasses      = 64;
constexpr double   kSyncTimeFactor  = 9.0;
constexpr uint64_t kMaxKeptRequests = uint64_t{1} << 30;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// One pass's request: a task per subgame of the pass with its owner, the tasks the master
// runs itself and those each worker runs.
struct CfrEngine::PassRequest {
    std::vector<RequestTask>      tasks;
    std::vector<int>              local;
    std::vector<std::vector<int>> expected;
    bool                          any_remote = false;
};

CfrEngine::PassRequest CfrEngine::BuildRequest(const PassState& pass) {
    const int                   count  = Workers().Count();
    const std::vector<uint32_t> roots  = SubgameRoots();
    const std::vector<int>      owners = SubgameOwners(roots, Workers().Weights());
    // A share goes to the master once its worker's loss has been recovered from; a worker
    // lost since (its connection breaks at any moment) is still asked, answers empty and
    // is recovered from before its tasks of this pass run here.
    std::unordered_map<uint32_t, int> owner_of;
    for (size_t g = 0; g < roots.size(); ++g)
        owner_of[roots[g]] = owners[g] >= 0 && worker_recovered_[owners[g]] ? -1 : owners[g];

    PassRequest request;
    request.tasks.resize(pass.tasks.size());
    request.expected.resize(count);
    for (size_t t = 0; t < pass.tasks.size(); ++t) {
        Task&        task = pass.tasks[t];
        RequestTask& out  = request.tasks[t];
        // A worker's task takes its entering reach in its slot.
        if (task.reachable && task.edge >= 0 && owner_of.at(task.node) >= 0) {
            LoadTaskReach(pass, task, pass.TaskReach(task));
            task.edge = -1;
        }
        out.node          = task.node;
        out.turn_slot     = static_cast<int16_t>(task.runout.turn_slot);
        out.river_slot    = static_cast<int16_t>(task.runout.river_slot);
        out.street        = static_cast<uint8_t>(task.runout.street);
        out.owner         = static_cast<int8_t>(owner_of.at(task.node));
        out.reachable     = task.reachable;
        if (!task.reachable)
            continue;
        if (out.owner < 0) {
            request.local.push_back(static_cast<int>(t));
            continue;
        }
        out.count = static_cast<uint32_t>(task.runout.Size());
        out.reach = reinterpret_cast<const uint8_t*>(pass.TaskReach(task));
        request.expected[out.owner].push_back(static_cast<int>(t));
        request.any_remote = true;
    }
    return request;
}

std::vector<uint8_t> CfrEngine::EncodePassRequest(const PassState& pass, const PassRequest& request) {
    RequestHeader header;
    header.traverser       = pass.traverser;
    header.update          = pass.update;
    header.iteration       = iteration_;
    header.averaging_delay = averaging_delay_;
    header.node_count      = tree_.Size();
    header.root_combos     = static_cast<uint32_t>(pass.width);
    header.storage_level   = State().tree.actual_level;
    return EncodeRequest(header, request.tasks);
}

bool CfrEngine::RunTasksOnWorkers(PassState& pass) {
    if (!WorkersConnected() || tree_.BaseStreet() != 1 || pass.task_street != 2)
        return false;
    RecoverLostWorkers();
    const PassRequest request = BuildRequest(pass);
    if (!request.any_remote)
        return false;
    WorkerPool&          pool  = Workers();
    std::vector<uint8_t> block = EncodePassRequest(pass, request);
    char                 text[64];
    std::snprintf(text, sizeof text, "traverse_subgames %d %d", pass.traverser, pass.update ? 1 : 0);
    const auto tickets = pool.Send(text, block);

    RunTasksInOrder(pass, request.local);
    std::vector<WorkerReply> replies = pool.Collect(tickets);
    bool                     lost    = false;
    for (int w = 0; w < pool.Count(); ++w) {
        const std::vector<int>& expected = request.expected[w];
        if (!expected.empty() && !InstallValues(pass, w, replies[w], expected)) {
            pool.Drop(w);
            lost = true;
        }
        pool.Recycle(w, std::move(replies[w].block));
    }
    if (lost) {
        // The lost workers' earlier passes are replayed first; this pass's tasks of theirs
        // then run here like the master's own.
        RecoverLostWorkers();
        std::vector<int> retry;
        for (int w = 0; w < pool.Count(); ++w)
            if (worker_recovered_[w])
                retry.insert(retry.end(), request.expected[w].begin(), request.expected[w].end());
        RunTasksInOrder(pass, retry);
    }
    if (pass.update)
        KeepRequest(std::move(block));
    return true;
}

void CfrEngine::KeepRequest(std::vector<uint8_t> block) {
    worker_log_bytes_ += block.size();
    worker_log_.push_back(std::move(block));
    const bool due = worker_log_.size() >= kSyncPasses &&
                     SecondsSince(last_sync_end_) >= kSyncTimeFactor * last_sync_seconds_;
    if (due || worker_log_bytes_ >= kMaxKeptRequests)
        SyncLocked();
}

// Checks the whole reply against what was asked before it takes anything from it.
bool CfrEngine::InstallValues(PassState& pass, int worker, const WorkerReply& reply,
                              const std::vector<int>& expected) {
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
        decoded->header.update != pass.update || decoded->tasks.size() != expected.size())
        return false;
    for (size_t k = 0; k < expected.size(); ++k)
        if (decoded->tasks[k].task != static_cast<uint32_t>(expected[k]) ||
            decoded->tasks[k].count != static_cast<uint32_t>(pass.tasks[expected[k]].runout.Size()))
            return false;
    for (size_t k = 0; k < expected.size(); ++k) {
        const ReplyTask& in   = decoded->tasks[k];
        const Task&      task = pass.tasks[expected[k]];
        LoadFloats(in.values, in.count, pass.TaskValues(task));
        if (in.best && !pass.update)
            LoadFloats(in.best, in.count, pass.TaskBest(task));
    }
    return true;
}

void CfrEngine::SyncWorkerStores() {
    std::lock_guard lock(tree_mutex_);
    SyncLocked();
}

// Copies every live worker's stores into the master's; a worker that fails to deliver
// them is dropped and its share replayed. Afterwards no request needs keeping.
void CfrEngine::SyncLocked() {
    if (worker_log_.empty())
        return;
    const auto start = std::chrono::steady_clock::now();
    if (WorkersConnected()) {
        WorkerPool&                    pool    = Workers();
        const std::vector<WorkerReply> replies = pool.Multicast("get_worker_data");
        for (int w = 0; w < pool.Count(); ++w)
            if (!pool.Lost(w) && !InstallWorkerData(w, replies[w]))
                pool.Drop(w);
        RecoverLostWorkers();
    }
    worker_log_.clear();
    worker_log_bytes_ = 0;
    last_sync_seconds_ = SecondsSince(start);
    last_sync_end_     = std::chrono::steady_clock::now();
}

bool CfrEngine::InstallWorkerData(int worker, const WorkerReply& reply) {
    if (!reply.ok || reply.block.empty())
        return false;
    const auto data = DecodeWorkerData(reply.block);
    if (!data || data->counters.worker != worker)
        return false;
    const std::vector<StoreRef> expected = ShareStores(worker, Workers().Weights());
    if (data->stores.size() != expected.size())
        return false;
    for (size_t k = 0; k < expected.size(); ++k)
        if (data->stores[k].node != expected[k].node || data->stores[k].kind != expected[k].kind)
            return false;
    // Every store is its own: they are read in parallel.
    const int         count = static_cast<int>(data->stores.size());
    std::atomic<bool> good{true};
#pragma omp parallel for schedule(dynamic, 1)
    for (int k = 0; k < count; ++k) {
        const StoreEntry& entry = data->stores[k];
        StrategyStore*    store =
            entry.kind == kRegretKind ? RegretStore(entry.node) : AverageStore(entry.node);
        StorageReader in({entry.bytes, entry.length});
        if (store->Read(in) != StorageStatus::kOk || !in.AtEnd())
            good = false;
    }
    return good;
}

// Brings the master's copy of every newly lost worker's stores to where the worker had
// them, by replaying the kept requests of its share; prints the loss lines. The task list
// of a pass under way is kept aside meanwhile.
void CfrEngine::RecoverLostWorkers() {
    if (!WorkersConnected())
        return;
    WorkerPool& pool = Workers();
    // A new worker list starts with nobody recovered (the master copied the stores of
    // the old workers before it connected to the new ones).
    if (pool.Generation() != worker_generation_) {
        worker_generation_ = pool.Generation();
        worker_recovered_.clear();
    }
    worker_recovered_.resize(pool.Count(), false);
    for (int w = 0; w < pool.Count(); ++w) {
        if (worker_recovered_[w] || !pool.Lost(w))
            continue;
        worker_recovered_[w] = true;
        if (worker_log_.empty())
            continue;
        std::vector<Task>  tasks = task_list_;
        std::vector<float> data  = task_data_;
        for (const std::vector<uint8_t>& request : worker_log_)
            ReplayShare(w, request);
        task_list_.swap(tasks);
        task_data_.swap(data);
    }
    ReportLostWorkers();
}

void CfrEngine::ReplayShare(int worker, const std::vector<uint8_t>& block) {
    const auto request = DecodeRequest(block);
    if (!request)
        return;
    const int saved_iteration = iteration_;
    const int saved_delay     = averaging_delay_;
    iteration_                = request->header.iteration;
    averaging_delay_          = request->header.averaging_delay;
    PassState pass            = NewPass(request->header.traverser, request->header.update);
    RunTasksInOrder(pass, LoadRequest(pass, *request, worker));
    iteration_       = saved_iteration;
    averaging_delay_ = saved_delay;
}

void SyncWorkerStores() {
    SolverState& state = State();
    if (!WorkersConnected() || !state.solver.engine || SolverRunning())
        return;
    state.solver.engine->SyncWorkerStores();
}
