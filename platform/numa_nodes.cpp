#include "platform/numa_nodes.h"

#include <numa.h>
#include <sched.h>

int NumaNodeCount() {
    if (numa_available() < 0)
        return 1;
    return numa_max_node() + 1;
}

int CurrentNumaNode() {
    if (numa_available() < 0)
        return 0;
    const int cpu = sched_getcpu();
    return cpu < 0 ? 0 : numa_node_of_cpu(cpu);
}

void RunOnNumaNode(int node) {
    if (numa_available() < 0 || node < 0 || node > numa_max_node())
        return;
    numa_run_on_node(node);
}
