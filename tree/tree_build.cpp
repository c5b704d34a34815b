#include "tree/tree_build.h"

#include "cards/card.h"
#include "cli/solver_state.h"
#include "net/workers.h"
#include "tree/live_inputs.h"
#include "tree/tree_command_support.h"

namespace {

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

bool Verbose() { return State().interp.verbosity > 0; }

void InstallTree(LiveInputs inputs, const std::vector<NodeRecord>& records, bool choose_level) {
    TreeState& trees = Trees();
    trees.params.effective_stack = static_cast<int64_t>(LargestAmount(*trees.params.root));
    trees.params.SetRake(0, 0);
    trees.FreeTree();
    trees.built = std::make_unique<BuiltTree>(records, inputs.board, std::move(inputs.ranges));
    BuiltTree& tree = *trees.built;
    tree.low_rank   = inputs.low_rank;
    tree.flags      = kNewTree | (inputs.isomorphism ? kIsomorphismOn : 0u);
    if (Verbose())
        Print("[nodes decision %u showdown %u wwosd %u]\n", tree.DecisionCount(),
              tree.ShowdownCount(), tree.FoldCount());
    if (trees.on_tree_built)
        trees.on_tree_built(tree);
    if (choose_level) {
        StorageLevelChoice choice = trees.ApplyStorageLevel();
        if (choice.automatic && Verbose())
            Print("[uncompressed storage %lld MB]\n",
                  static_cast<long long>(choice.uncompressed_bytes / kBytesPerMiB));
    }
    trees.present = true;
}

}  // namespace

void CheckBuildInputs() {
    LiveInputs inputs = ReadLiveInputs();
    if (inputs.ranges[0].empty() || inputs.ranges[1].empty())
        CommandError("ranges not set");
    if (std::popcount(inputs.board.flop) != 3)
        CommandError("board not set");
    uint64_t board = inputs.board.Mask();
    for (int card = 0; card < 52; ++card)
        if ((board >> card & 1) && RankOf(card) < inputs.low_rank)
            CommandError("invalid card");
    if (Trees().params.root->IsEnd())
        CommandError("lines not set");
}

void MakeTreeFromLines() { MakeTreeFrom(ReadLiveInputs(), /*choose_level=*/true); }

void MakeTreeFrom(LiveInputs inputs, bool choose_level) {
    RefuseWhileSolving();
    int base = inputs.board.BaseStreet();
    if (WorkersConnected() && base != kFlop)
        CommandError("only flop trees supported");
    CheckLiveRangeConsistency(inputs);
    std::vector<NodeRecord> records;
    if (FlattenLines(*Trees().params.root, base, Trees().params.StartingPot(), records) !=
        FlattenStatus::kOk)
        CommandError("invalid line");
    InstallTree(std::move(inputs), records, choose_level);
}
