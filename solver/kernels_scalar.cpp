#include "solver/scalar_kernels.h"

constinit const SolverKernels kScalarKernels = {
    .path                = SimdPath::kScalar,
    .RegretMatch2        = scalar_kernels::RegretMatch2,
    .RegretMatch3        = scalar_kernels::RegretMatch3,
    .RegretMatch4        = scalar_kernels::RegretMatch4,
    .RegretMatchN        = scalar_kernels::RegretMatchN,
    .NormalizeAverages   = scalar_kernels::NormalizeAverages,
    .UpdateRegrets       = scalar_kernels::UpdateRegrets,
    .FusedUpdate2        = scalar_kernels::FusedUpdate2,
    .FusedUpdate3        = scalar_kernels::FusedUpdate3,
    .ReachProduct        = scalar_kernels::ReachProduct,
    .WeightedValueSum    = scalar_kernels::WeightedValueSum,
    .ValueSum            = scalar_kernels::ValueSum,
    .ValueMax            = scalar_kernels::ValueMax,
    .AveragePeak         = scalar_kernels::AveragePeak,
    .AverageAdd          = scalar_kernels::AverageAdd,
    .FoldOutput          = scalar_kernels::FoldOutput,
    .ShowdownOutput      = scalar_kernels::ShowdownOutput,
    .ShowdownOutputRaked = scalar_kernels::ShowdownOutputRaked,
    .ShowdownBatch       = scalar_kernels::ShowdownBatch,
    .FoldBatch           = scalar_kernels::FoldBatch,
};
