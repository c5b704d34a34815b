// NUMA topology through libnuma: how many memory nodes the machine has, and binding the
// calling thread to one of them.
#pragma once

// Number of NUMA nodes (highest node number + 1); 1 when NUMA is not available.
int NumaNodeCount();

// The node of the processor the calling thread runs on (0 when unknown).
int CurrentNumaNode();

// Restricts the calling thread to the processors of 'node' (ignored when NUMA is not
// available or the node does not exist).
void RunOnNumaNode(int node);
