#include "tree/tree_file_writer.h"

#include <cmath>
#include <limits>

#include "cards/card_parser.h"
#include "cli/solver_state.h"
#include "tree/binary_writer.h"
#include "tree/storage_level.h"
#include "tree/tree_command_support.h"
#include "tree/tree_file_format.h"
#include "tree/tree_file_metadata.h"
#include "tree/tree_file_storage.h"

namespace {

// True when a pre-order walk of the lines meets the built nodes one by one: same
// numbering, kinds, child counts and end values. Lines added, removed or re-priced after
// the build break it (a reader rebuilds the tree from the lines).
bool LinesMatchTree(const SchematicNode& root, const BuiltTree& tree, double starting_pot) {
    struct Pending {
        const SchematicNode* node;
        bool                 is_fold;
    };
    std::vector<Pending> stack{{&root, false}};
    uint32_t             index = 0;
    while (!stack.empty()) {
        const auto [node, is_fold] = stack.back();
        stack.pop_back();
        if (index >= tree.Size() || node->built_index != static_cast<int32_t>(index))
            return false;
        const BuiltNode& built = tree.Node(index++);
        if (node->IsEnd()) {
            const uint32_t kind = is_fold ? kFoldEnd : kShowdownEnd;
            if (built.kind != kind || built.value != 0.5 * starting_pot + node->amount)
                return false;
            continue;
        }
        if (!built.IsDecision() || built.child_count != node->children.size())
            return false;
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            stack.push_back({it->second.get(), it->first == kFoldKey});
    }
    return index == tree.Size();
}

void WriteSchematic(FileWriter& out, const SchematicNode& node) {
    out.Put<int32_t>(node.player);
    out.Put<int32_t>(node.street_offset);
    out.Put<int32_t>(node.bet_count);
    out.Put<int32_t>(node.built_index);
    out.Put<double>(node.amount);
    out.Put<double>(node.committed[0]);
    out.Put<double>(node.committed[1]);
    out.Put<int32_t>(static_cast<int32_t>(node.children.size()));
    for (const auto& [key, child] : node.children) {
        out.Put<double>(key);
        WriteSchematic(out, *child);
    }
}

uint64_t MaskOf(int card) { return card >= 0 ? uint64_t{1} << card : 0; }

void WriteTreeHeader(FileWriter& out, const BuiltTree& tree, int32_t version) {
    EngineSnapshot snapshot;
    if (const auto& engine = State().solver.engine)
        snapshot = engine->Snapshot();
    const ResultFigures& f = snapshot.figures;
    out.Put<uint32_t>(tree.flags);
    out.Put<int32_t>(tree.first_forgotten_street);
    out.Put<uint32_t>(static_cast<uint32_t>(snapshot.iterations));
    for (double figure : {f.ev_oop, f.ev_ip, f.mes_oop, f.mes_ip})
        out.Put<double>(figure);
    out.Put<int64_t>(snapshot.averaging_delay);
    out.Put<double>(snapshot.has_figures ? f.Exploitability()
                                         : std::numeric_limits<double>::quiet_NaN());
    if (version >= kRakeVersion) {
        out.Put<float>(Trees().params.rake_fraction);
        out.Put<float>(Trees().params.rake_cap);
    }
}

std::vector<std::string> MetadataStrings(const BuiltTree& tree, int iterations) {
    const TreeState& trees = Trees();
    std::string      board = FormatCardMask(tree.Board().flop);
    for (int card : {tree.Board().turn, tree.Board().river})
        if (card >= 0)
            board += " " + CardText(card);
    char             pot[64];
    std::snprintf(pot, sizeof pot, "%g", trees.params.StartingPot());
    return {std::string(kTreeFileType),
            std::string(kEffectiveStacksPrefix) + std::to_string(trees.params.effective_stack),
            "#Board#" + board,
            std::string("#Pot#") + pot,
            "#Iterations#" + std::to_string(iterations),
            std::string("#Compression#") + StorageLevelName(trees.actual_level)};
}

}  // namespace

void WriteTreeFile(const std::string& name, int32_t version) {
    const BuiltTree& tree  = RequireTree();
    const TreeState& trees = Trees();
    RefuseWhileSolving();
    if (!LinesMatchTree(*trees.params.root, tree, trees.params.StartingPot()))
        CommandError("lines changed since build_tree");
    const HandRules& rules = State().cards.rules;

    FileWriter out(name);
    out.Write(kTreeFileMagic.data(), kTreeFileMagic.size());
    out.Put<int32_t>(version);
    if (version >= kValuesFlagVersion)
        out.Put<uint8_t>(trees.values_unavailable ? 1 : 0);
    if (version >= kHandRulesVersion) {
        out.Put<uint8_t>(static_cast<uint8_t>(tree.low_rank));
        out.Put<uint8_t>(static_cast<uint8_t>(rules.must_use_hole_cards));
        out.Write(rules.type_at_position.data(), kHandTypeOrderBytes);
    }
    out.Put<uint64_t>(tree.Board().flop);
    out.Put<uint64_t>(MaskOf(tree.Board().turn));
    out.Put<uint64_t>(MaskOf(tree.Board().river));
    for (double part : trees.params.pot)
        out.Put<double>(part);
    for (int player = 0; player < 2; ++player)
        out.Write(tree.Range(player).data(), kComboCount * sizeof(double));
    WriteSchematic(out, *trees.params.root);
    WriteTreeHeader(out, tree, version);
    out.Put<int32_t>(trees.actual_level);
    WriteNodeStorage(tree, [&out](const uint8_t* data, size_t size) { out.Write(data, size); });
    if (version >= kInfoLinesVersion) {
        out.Put<uint32_t>(static_cast<uint32_t>(trees.params.info_lines.size()));
        for (const std::string& line : trees.params.info_lines) {
            out.Put<uint32_t>(static_cast<uint32_t>(line.size()));
            out.Write(line.data(), line.size());
        }
    }
    if (version >= kMetadataVersion) {
        const int  iterations = State().solver.engine ? State().solver.engine->IterationCount() : 0;
        const auto block      = MetadataBlock(MetadataStrings(tree, iterations));
        out.Write(block.data(), block.size());
    }
    out.Commit();
}
