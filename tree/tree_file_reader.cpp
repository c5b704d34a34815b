#include "tree/tree_file_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "cards/card_parser.h"
#include "cards/combo_tables.h"
#include "cli/solver_state.h"
#include "tree/binary_reader.h"
#include "tree/tree_build.h"
#include "tree/tree_command_support.h"
#include "tree/tree_file_format.h"
#include "tree/tree_file_metadata.h"
#include "tree/tree_file_storage.h"

namespace {

constexpr int kMaxLowCard = 4;  // six

// Amounts and pots beyond this are not chip counts of any game (and would not convert to
// the 64-bit effective stack).
constexpr double kLargestAmount = 1e15;

bool IsAmount(double value) { return value >= 0 && value <= kLargestAmount; }

[[noreturn]] void Invalid(const std::string& reason) { CommandError("invalid file (" + reason + ")"); }

void Require(bool condition, const char* reason) {
    if (!condition)
        Invalid(reason);
}

// Items 1 and 2; returns the version. 'wrong_magic' is the message for another magic.
int32_t ReadMagicAndVersion(BinaryReader& in, const char* wrong_magic) {
    std::array<char, 4> magic;
    in.Read(magic.data(), magic.size());
    if (magic != kTreeFileMagic)
        CommandError(wrong_magic);
    const int32_t version = in.Get<int32_t>();
    if (version >= kFirstRefusedVersion)
        CommandError("unsupported data format, update to latest version");
    Require(version >= 0, "version");
    in.version = version;
    return version;
}

struct FileBoard {
    uint64_t flop = 0, turn = 0, river = 0;
};

FileBoard ReadBoard(BinaryReader& in) {
    FileBoard board{in.Get<uint64_t>(), in.Get<uint64_t>(), in.Get<uint64_t>()};
    const uint64_t outside = ~((uint64_t{1} << kCardCount) - 1);
    Require(((board.flop | board.turn | board.river) & outside) == 0, "board");
    Require(std::popcount(board.flop) == 3 && std::popcount(board.turn) <= 1 &&
                std::popcount(board.river) <= 1 && (board.turn != 0 || board.river == 0),
            "board");
    Require((board.flop & board.turn) == 0 && ((board.flop | board.turn) & board.river) == 0, "board");
    return board;
}

std::array<double, 3> ReadPot(BinaryReader& in) {
    std::array<double, 3> pot;
    for (double& part : pot) {
        part = in.Get<double>();
        Require(std::isfinite(part) && std::fabs(part) <= kLargestAmount, "pot");
    }
    return pot;
}

Range ReadRange(BinaryReader& in) {
    Range range(kComboCount);
    in.Read(range.data(), kComboCount * sizeof(double));
    Require(std::all_of(range.begin(), range.end(), [](double w) { return std::isfinite(w); }),
            "range");
    return range;
}

// One schematic record's fields (not its children); returns the child count.
int32_t ReadSchematicFields(BinaryReader& in, SchematicNode& node) {
    node.player        = in.Get<int32_t>();
    node.street_offset = in.Get<int32_t>();
    node.bet_count     = in.Get<int32_t>();
    node.built_index   = in.Get<int32_t>();
    node.amount        = in.Get<double>();
    node.committed[0]  = in.Get<double>();
    node.committed[1]  = in.Get<double>();
    const int32_t children = in.Get<int32_t>();
    Require((node.player == 0 || node.player == 1) && node.street_offset >= 0 &&
                node.street_offset <= 3 && node.bet_count >= 0 && children >= 0,
            "lines");
    Require(IsAmount(node.amount) && IsAmount(node.committed[0]) && IsAmount(node.committed[1]),
            "lines");
    return children;
}

// Item 13 into the (empty) root, depth first without recursion.
void ReadSchematic(BinaryReader& in, SchematicNode& root) {
    struct Frame {
        SchematicNode* node;
        int32_t        children_left;
    };
    std::vector<Frame> stack{{&root, ReadSchematicFields(in, root)}};
    uint64_t           nodes = 1;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.children_left == 0) {
            stack.pop_back();
            continue;
        }
        --top.children_left;
        const double key = in.Get<double>();
        Require((key == kFoldKey || IsAmount(key)) && !top.node->Child(key), "lines");
        SchematicNode* child = top.node->AddChild(key);
        Require(++nodes <= kMaxSchematicNodes && stack.size() < kMaxSchematicDepth, "lines");
        stack.push_back({child, ReadSchematicFields(in, *child)});
    }
    Require(!root.IsEnd(), "no lines");
}

struct TreeHeader {
    uint32_t       flags                  = 0;
    int32_t        first_forgotten_street = -1;
    EngineSnapshot snapshot;
    float          rake_fraction = 0, rake_cap = 0;
};

TreeHeader ReadTreeHeader(BinaryReader& in) {
    TreeHeader header;
    header.flags                  = in.Get<uint32_t>();
    header.first_forgotten_street = in.Get<int32_t>();
    const uint32_t iterations     = in.Get<uint32_t>();
    ResultFigures& f              = header.snapshot.figures;
    f.ev_oop                      = in.Get<double>();
    f.ev_ip                       = in.Get<double>();
    f.mes_oop                     = in.Get<double>();
    f.mes_ip                      = in.Get<double>();
    const int64_t delay           = in.Get<int64_t>();
    const double  exploitability  = in.Get<double>();
    if (in.version >= kRakeVersion) {
        header.rake_fraction = in.Get<float>();
        header.rake_cap      = in.Get<float>();
    }
    Require(header.flags <= (kIncompleteTree | kIsomorphismOn | kNewTree), "tree flags");
    Require(header.first_forgotten_street >= -1 && header.first_forgotten_street <= kRiver + 1,
            "forgotten street");
    Require(iterations <= INT32_MAX && delay >= 0 && delay <= INT32_MAX, "solver state");
    Require(std::isfinite(header.rake_fraction) && std::isfinite(header.rake_cap), "rake");
    header.snapshot.iterations      = static_cast<int>(iterations);
    header.snapshot.averaging_delay = static_cast<int>(delay);
    header.snapshot.has_figures     = !std::isnan(exploitability);
    return header;
}

std::vector<std::string> ReadInfoLines(BinaryReader& in) {
    const uint32_t count = in.Get<uint32_t>();
    Require(count <= kMaxInfoLines, "information lines");
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = in.Get<uint32_t>();
        Require(length <= kMaxInfoLineBytes, "information lines");
        std::string line(length, '\0');
        in.Read(line.data(), length);
        lines.push_back(std::move(line));
    }
    return lines;
}

void PrintProgress(int percent, int& printed) {
    if (percent <= printed || !State().settings.ui_notifications)
        return;
    printed = percent;
    WriteDirect("#progress " + std::to_string(percent) + "\n");
}

int CardOf(uint64_t mask) { return mask ? std::countr_zero(mask) : -1; }

void LoadInto(const std::string& name) {
    TreeState&  trees = Trees();
    CardState&  cards = State().cards;
    FileReader  in(name);
    const int32_t version = ReadMagicAndVersion(in, "invalid file");

    const bool values_unavailable = version >= kValuesFlagVersion && in.Get<uint8_t>() != 0;
    int           low_rank = 0, must_use = 0;
    HandTypeOrder order    = kStandardTypeOrder;
    if (version >= kHandRulesVersion) {
        low_rank = in.Get<uint8_t>();
        must_use = in.Get<uint8_t>();
        in.Read(order.data(), kHandTypeOrderBytes);
        const bool types_known = std::all_of(order.begin(), order.end(),
                                             [](uint8_t type) { return type < kHandTypeCount; });
        Require(low_rank <= kMaxLowCard && must_use <= 2 && types_known, "rules");
    }
    const FileBoard board = ReadBoard(in);
    Require((board.flop | board.turn | board.river) == ((board.flop | board.turn | board.river) &
                                                         ~CardsBelowRank(low_rank)),
            "board");
    const std::array<double, 3> pot = ReadPot(in);
    std::array<Range, 2>        ranges;
    for (Range& range : ranges)
        range = ReadRange(in);

    cards.rules.low_card            = low_rank;
    cards.rules.must_use_hole_cards = must_use;
    // The order as set_hand_type_order takes it, applied over the standard one (a type
    // the words leave out keeps its standard position).
    cards.rules.SetTypeOrder(kStandardTypeOrder);
    cards.rules.SetTypeOrder(order);
    cards.board      = {board.flop, board.turn, board.river};
    cards.ranges     = ranges;
    trees.params.pot = pot;
    if (trees.params.pot_changed)
        trees.params.pot_changed(pot[2]);

    ReadSchematic(in, *trees.params.root);
    const TreeHeader header = ReadTreeHeader(in);
    const int32_t    level  = in.Get<int32_t>();
    Require(level >= 0 && level <= kHighestLevel, "storage level");

    LiveInputs inputs;
    inputs.board       = {board.flop, CardOf(board.turn), CardOf(board.river)};
    inputs.ranges      = {std::move(ranges[0]), std::move(ranges[1])};
    inputs.low_rank    = low_rank;
    inputs.isomorphism = (header.flags & kIsomorphismOn) != 0;
    MakeTreeFrom(std::move(inputs), /*choose_level=*/false);

    BuiltTree& tree             = *trees.built;
    tree.flags                  = header.flags;
    tree.first_forgotten_street = header.first_forgotten_street;
    trees.params.SetRake(header.rake_fraction, header.rake_cap);
    trees.ApplyLevel(level);
    if (auto& engine = State().solver.engine)
        engine->Restore(header.snapshot);

    int printed = -1;
    ReadNodeStorage(
        tree, [&in](uint8_t* data, size_t size) { in.Read(data, size); return true; },
        [&printed](int percent) { PrintProgress(percent, printed); });
    if (printed >= 0 && printed < 100)
        PrintProgress(100, printed);

    trees.params.info_lines.clear();
    if (version >= kInfoLinesVersion)
        trees.params.info_lines = ReadInfoLines(in);
    trees.values_unavailable = values_unavailable;
}

std::string RangeText(const Range& range) {
    std::array<double, kComboCount> hand;
    InternalToHandOrder(std::span<const double, kComboCount>(range.data(), kComboCount), hand);
    std::string text;
    char        number[32];
    for (int i = 0; i < kComboCount; ++i) {
        std::snprintf(number, sizeof number, i ? " %g" : "%g", hand[i]);
        text += number;
    }
    return text + " \n";
}

}  // namespace

void LoadTreeFile(const std::string& name) {
    TreeState& trees = Trees();
    trees.FreeTree();
    trees.params.ClearLines();
    try {
        LoadInto(name);
    } catch (...) {
        trees.FreeTree();
        trees.params.ClearLines();
        throw;
    }
}

std::string MetadataSummary(const std::string& name) {
    TreeState& trees = Trees();
    trees.FreeTree();
    trees.params.ClearLines();

    FileReader    in(name);
    const int32_t version = ReadMagicAndVersion(in, "invalid file (not Quillane?)");
    if (version < kMetadataVersion)
        CommandError("no metadata included, data format too old");
    uint8_t skipped[12];
    in.Read(skipped, sizeof skipped);
    const uint64_t              flop  = in.Get<uint64_t>();
    const uint64_t              turn  = in.Get<uint64_t>();
    const uint64_t              river = in.Get<uint64_t>();
    const std::array<double, 3> pot   = {in.Get<double>(), in.Get<double>(), in.Get<double>()};
    Range                       oop(kComboCount), ip(kComboCount);
    in.Read(oop.data(), kComboCount * sizeof(double));
    in.Read(ip.data(), kComboCount * sizeof(double));

    const auto strings = FindMetadata(in.ReadLast(kMetadataWindow));
    if (!strings)
        CommandError("no metadata found");
    const int   stacks   = EffectiveStacksOf(*strings);
    std::string metadata = " ";
    for (const std::string& text : *strings)
        metadata += "\n" + text;

    std::string summary = "r\nROOT\n" + FormatCardMask(flop & ((uint64_t{1} << kCardCount) - 1));
    for (uint64_t card : {turn, river})
        if (card != 0 && card < (uint64_t{1} << kCardCount))
            summary += " " + CardText(std::countr_zero(card));
    char line[128];
    std::snprintf(line, sizeof line, " \n%g %g %g \n1 children\n", pot[0], pot[1], pot[2]);
    summary += line;
    summary += "flags: INCOMPLETE_TREE ISOMORPHISM_ON \n\n";
    summary += std::to_string(stacks) + "\n";
    summary += RangeText(ip) + RangeText(oop);
    return summary + metadata + "\n";
}
