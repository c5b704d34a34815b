#include "tree/line_editing.h"

#include <cmath>

namespace {

// What the walk knows about the betting so far.
struct WalkState {
    double highest       = 0;
    int    street_offset = 0;
    int    open_bets     = 0;
    int    player        = 0;
    bool   check_pending = false;

    // Applies one action of 'amount' (already known to be >= highest).
    void Apply(double amount) {
        if (amount > highest) {
            highest = amount;
            ++open_bets;
            player ^= 1;
            check_pending = false;
        } else if (open_bets == 0 && !check_pending) {
            check_pending = true;
            player ^= 1;
        } else {  // check behind or call: the street closes
            ++street_offset;
            player        = 0;
            open_bets     = 0;
            check_pending = false;
        }
    }
};

void ResetRoot(SchematicNode& root) {
    root.player        = 0;
    root.street_offset = 0;
    root.bet_count     = 0;
    root.amount        = 0;
    root.committed[0]  = 0;
    root.committed[1]  = 0;
}

void RemoveOtherChildren(SchematicNode& node, double key) {
    std::erase_if(node.children, [key](const auto& entry) { return entry.first != key; });
}

void WriteReachedNode(SchematicNode& node, const WalkState& walk, double amount) {
    const SchematicNode& parent   = *node.parent;
    int                  actor    = parent.player;
    node.street_offset            = walk.street_offset;
    node.player                   = walk.player;
    node.bet_count                = walk.open_bets;
    node.amount                   = amount;
    node.committed[actor]         = amount;
    node.committed[actor ^ 1]     = parent.committed[actor ^ 1];
}

// The call or check answer (and the fold answer to an open bet) of a node a line created.
void AddAutomaticAnswers(SchematicNode& node, const WalkState& walk) {
    double amount = node.amount;
    if (!node.Child(amount)) {
        SchematicNode& answer = *node.AddChild(amount);
        answer.amount         = amount;
        answer.committed[0]   = amount;
        answer.committed[1]   = amount;
        answer.street_offset  = walk.street_offset;
        answer.player         = 0;
        answer.bet_count      = 0;
    }
    if (walk.open_bets > 0 && !node.Child(kFoldKey)) {
        double         before          = node.parent->amount;
        SchematicNode& fold            = *node.AddChild(kFoldKey);
        fold.amount                    = before;
        fold.committed[walk.player]    = before;
        fold.committed[walk.player ^ 1] = amount;
        fold.street_offset             = walk.street_offset;
    }
}

}  // namespace

LineStatus AddLine(SchematicNode& root, const std::vector<double>& amounts, bool force) {
    ResetRoot(root);
    SchematicNode* node = &root;
    WalkState      walk;
    for (double raw : amounts) {
        double amount = std::floor(raw);
        if (amount < walk.highest)
            return LineStatus::kDecreasingAmount;
        if (force)
            RemoveOtherChildren(*node, amount);
        SchematicNode* child   = node->Child(amount);
        bool           created = child == nullptr;
        if (created)
            child = node->AddChild(amount);
        node = child;
        walk.Apply(amount);
        WriteReachedNode(*node, walk, amount);
        if (created && (walk.open_bets > 0 || walk.check_pending))
            AddAutomaticAnswers(*node, walk);
    }
    return LineStatus::kOk;
}

void RemoveLine(SchematicNode& root, const std::vector<double>& amounts) {
    SchematicNode* node     = &root;
    double         previous = 0;
    for (size_t i = 0; i < amounts.size(); ++i) {
        double key = std::floor(amounts[i]);
        if (key == 0 && previous > 0)
            key = kFoldKey;
        previous = key;
        SchematicNode* child = node->Child(key);
        if (!child)
            return;
        if (i + 1 == amounts.size())
            node->children.erase(key);
        else
            node = child;
    }
}
