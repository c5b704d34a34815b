#include "tree/node_count.h"

#include <cstdio>
#include <vector>

namespace {

constexpr int64_t kRunoutWeight[5] = {0, 1, 49, 2352, 0};

int64_t WeightOf(int street) { return street >= 1 && street <= 3 ? kRunoutWeight[street] : 0; }

int StreetIndex(int street) { return street >= 1 && street <= 3 ? street : 0; }

void CountNode(const SchematicNode& node, int base_street, NodeCounts& counts) {
    if (node.IsEnd())
        return;
    int     street = base_street + node.street_offset;
    int     index  = StreetIndex(street);
    int64_t weight = WeightOf(street);
    counts.decisions[node.player][index] += weight;
    counts.decision_total[node.player] += weight;
    counts.grand_total += weight;
    for (const auto& [key, child] : node.children) {
        if (child->street_offset > node.street_offset) {
            counts.splits[index] += weight;
            counts.split_total += weight;
            counts.grand_total += weight;
        }
        if (child->IsEnd()) {
            counts.ends[index] += weight;
            counts.end_total += weight;
            counts.grand_total += weight;
        }
    }
}

std::string Line(const char* format, long long value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Section(const char* title, int64_t total, const std::array<int64_t, 4>& streets) {
    return Line(title, total) + Line("FLOP  %lld\n", streets[1]) +
           Line("TURN  %lld\n", streets[2]) + Line("RIVER  %lld\n", streets[3]);
}

}  // namespace

NodeCounts CountNodes(const SchematicNode& root, int base_street) {
    NodeCounts                        counts;
    std::vector<const SchematicNode*> stack{&root};
    counts.base_street = base_street;
    while (!stack.empty()) {
        const SchematicNode* node = stack.back();
        stack.pop_back();
        CountNode(*node, base_street, counts);
        for (const auto& [key, child] : node->children)
            stack.push_back(child.get());
    }
    return counts;
}

std::string NodeCountReport(const NodeCounts& c) {
    std::string report = Section("H_DEC: %lld\n", c.decision_total[1], c.decisions[1]);
    report += Section("V_DEC: %lld\n", c.decision_total[0], c.decisions[0]);
    report += Section("SPLIT: %lld\n", c.split_total, c.splits);
    report += Section("END: %lld\n", c.end_total, c.ends);
    report += "ROOT: 1\n";
    report += Line("FLOP  %lld\n", c.base_street == 1);
    report += Line("TURN  %lld\n", c.base_street == 2);
    report += Line("RIVER %lld\n", c.base_street == 3);
    report += Line("TOTAL: %lld\n", c.grand_total + 1);
    return report;
}
