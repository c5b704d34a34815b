#include "tree/schematic_node.h"

#include <algorithm>

double LargestAmount(const SchematicNode& node) {
    double largest = node.amount;
    for (const auto& [key, child] : node.children)
        largest = std::max(largest, LargestAmount(*child));
    return largest;
}
