// The scalar reference bodies of the kernel table (contracts in solver_kernels.h). They
// are the readable definitions of the kernels: one combo at a time, the same operations
// in the same order as the wide bodies, std::fma exactly where those fuse.
#pragma once

#include "solver/solver_kernels.h"

namespace scalar_kernels {

void RegretMatch2(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride);
void RegretMatch3(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride);
void RegretMatch4(const uint16_t* regrets, size_t stride, int n, float* strategy,
                  size_t out_stride);
void RegretMatchN(const uint16_t* regrets, size_t stride, int actions, int n, float* strategy,
                  size_t out_stride);
uint64_t RegretReach(const uint16_t* regrets, size_t stride, int actions, int n,
                     const float* reach, float* const* out);
void NormalizeAverages(const uint16_t* sums, size_t stride, const float* row_scale, int actions,
                       int n, float* strategy, size_t out_stride);
void UpdateRegrets(uint16_t* regrets, size_t stride, int actions, int n,
                   const float* const* action_values, const float* node_values, RegretStep step,
                   const uint32_t* skip_bits);
void FusedUpdate2(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits);
void FusedUpdate3(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits);
void FusedUpdate4(uint16_t* regrets, size_t stride, int n, const float* const* action_values,
                  float* node_values, RegretStep step, const uint32_t* skip_bits);

bool  ReachProduct(const float* reach, const float* strategy, int n, float* out);
void  WeightedValueSum(const float* strategy, size_t stride, const float* const* action_values,
                       int actions, int n, float* out);
void  ValueSum(const float* const* action_values, int actions, int n, float* out);
void  ValueMax(const float* const* action_values, int actions, int n, float* out);
float AveragePeak(const uint16_t* sums, const float* reach, float multiplier, int n);
void  AverageAdd(uint16_t* sums, const float* reach, float multiplier, float shrink, int n);
int   AverageAddInRange(uint16_t* sums, const float* reach, float multiplier, int n);

void GatherKept(const float* parent, const uint16_t* keep, int parent_n, float* child);
void ScatterKeptAdd(const float* child, const uint16_t* keep, int parent_n, float weight,
                    float* parent);

void FoldOutput(const FoldOutputArgs& args, int n);
void ShowdownOutput(const ShowdownOutputArgs& args, int begin, int end, float running_sum);
void ShowdownOutputRaked(const ShowdownOutputArgs& args, int begin, int end, float running_sum);

// Batches as one single-terminal evaluation per lane, with this table.
void ShowdownBatch(const ShowdownBatchArgs& args);
void FoldBatch(const FoldBatchArgs& args);

}  // namespace scalar_kernels
