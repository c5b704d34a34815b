#include "tree/node_path.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "cards/card_parser.h"

namespace {

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> tokens;
    size_t                        start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            tokens.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

// The whole text after 'b' as a number, or nullopt.
std::optional<double> BetAmount(std::string_view token) {
    std::string text(token.substr(1));
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno     = 0;
    double amount = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(amount))
        return std::nullopt;
    return amount;
}

// The card id of a token that is exactly one card, else -1.
int CardOfToken(std::string_view token) {
    std::optional<CardMask> mask = token.size() == 2 ? TryParseCards(token) : std::nullopt;
    return mask && CardCountOf(*mask) == 1 ? LowestCard(*mask) : -1;
}

// Applies a dealt card at the street change into the current node.
bool DealCard(ResolvedPath& point, int card, const BuiltTree& tree) {
    const SchematicNode& node = *point.node;
    if (!node.parent || card < 0 || (tree.Board().flop >> card & 1) || RankOf(card) < tree.low_rank)
        return false;
    int street        = StreetOf(node, tree);
    int parent_street = StreetOf(*node.parent, tree);
    if (parent_street == kTurn && street == kRiver) {
        if (point.river >= 0 || card == point.turn)
            return false;
        point.river = card;
        return true;
    }
    if (parent_street != kFlop || street != kTurn || point.turn >= 0)
        return false;
    point.turn = card;
    return true;
}

bool ApplyToken(ResolvedPath& point, std::string_view token, const BuiltTree& tree) {
    SchematicNode* node = point.node;
    SchematicNode* next = nullptr;
    if (token == "f") {
        next = node->Child(kFoldKey);
    } else if (token == "c") {
        next = node->Child(node->amount);
        point.split = next && next->street_offset > node->street_offset;
    } else if (token[0] == 'b') {
        std::optional<double> amount = BetAmount(token);
        next = amount ? node->Child(*amount) : nullptr;
    } else {
        return DealCard(point, CardOfToken(token), tree);
    }
    point.node = next;
    return next != nullptr;
}

}  // namespace

PathKind ResolvedPath::Kind() const {
    if (!node)
        return PathKind::kRoot;
    if (split)
        return PathKind::kSplit;
    if (node->IsEnd())
        return PathKind::kEnd;
    return node->player == 1 ? PathKind::kIpDecision : PathKind::kOopDecision;
}

const char* PathKindText(PathKind kind) {
    switch (kind) {
        case PathKind::kRoot: return "ROOT";
        case PathKind::kSplit: return "SPLIT_NODE";
        case PathKind::kIpDecision: return "IP_DEC";
        case PathKind::kOopDecision: return "OOP_DEC";
        case PathKind::kEnd: return "END_NODE";
    }
    return "";
}

std::optional<ResolvedPath> ResolvePath(std::string_view path, SchematicNode& root,
                                        const BuiltTree& tree) {
    std::vector<std::string_view> tokens = SplitPath(path);
    ResolvedPath                  point{nullptr, tree.Board().turn, tree.Board().river, false};
    if (tokens.empty() || tokens[0] != "r")
        return std::nullopt;
    if (tokens.size() == 1)
        return point;
    if (tokens[1] != "0")
        return std::nullopt;
    point.node = &root;
    for (size_t i = 2; i < tokens.size(); ++i) {
        point.split = false;
        if (!ApplyToken(point, tokens[i], tree))
            return std::nullopt;
    }
    return point;
}

std::string ChildToken(const SchematicNode& node, double key) {
    if (key > node.amount)
        return "b" + std::to_string(static_cast<long long>(key));
    return key >= 0 ? "c" : "f";
}
