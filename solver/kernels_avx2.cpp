// The avx2 table: the generic kernel bodies compiled for Avx2Lanes (8 lanes).
// Contraction is off as in the scalar reference: the bodies fuse only where they call Fma.
#pragma GCC optimize("fp-contract=off")

#include "solver/simd_avx2.h"
#include "solver/chance_kernels_generic.h"
#include "solver/regret_kernels_generic.h"
#include "solver/terminal_batch_generic.h"
#include "solver/terminal_kernels_generic.h"
#include "solver/vector_kernels_generic.h"

constinit const SolverKernels kAvx2Kernels = {
    .path                = SimdPath::kAvx2,
    .RegretMatch2        = regret_generic::RegretMatchFixed<Avx2Lanes, 2>,
    .RegretMatch3        = regret_generic::RegretMatchFixed<Avx2Lanes, 3>,
    .RegretMatch4        = regret_generic::RegretMatchFixed<Avx2Lanes, 4>,
    .RegretMatchN        = regret_generic::RegretMatchN<Avx2Lanes>,
    .RegretReach         = regret_generic::RegretReach<Avx2Lanes>,
    .NormalizeAverages   = regret_generic::NormalizeAverages<Avx2Lanes>,
    .UpdateRegrets       = regret_generic::UpdateRegrets<Avx2Lanes>,
    .FusedUpdate2        = regret_generic::FusedUpdate<Avx2Lanes, 2>,
    .FusedUpdate3        = regret_generic::FusedUpdate<Avx2Lanes, 3>,
    .FusedUpdate4        = regret_generic::FusedUpdate<Avx2Lanes, 4>,
    .ReachProduct        = vector_generic::ReachProduct<Avx2Lanes>,
    .WeightedValueSum    = vector_generic::WeightedValueSum<Avx2Lanes>,
    .ValueSum            = vector_generic::ValueSum<Avx2Lanes>,
    .ValueMax            = vector_generic::ValueMax<Avx2Lanes>,
    .AveragePeak         = vector_generic::AveragePeak<Avx2Lanes>,
    .AverageAdd          = vector_generic::AverageAdd<Avx2Lanes>,
    .AverageAddInRange   = vector_generic::AverageAddInRange<Avx2Lanes>,
    .FoldOutput          = terminal_generic::FoldOutput<Avx2Lanes>,
    .ShowdownOutput      = terminal_generic::ShowdownOutput<Avx2Lanes, false>,
    .ShowdownOutputRaked = terminal_generic::ShowdownOutput<Avx2Lanes, true>,
    .GatherKept          = chance_generic::GatherKept<Avx2Lanes>,
    .ScatterKeptAdd      = chance_generic::ScatterKeptAdd<Avx2Lanes>,
    .ShowdownBatch       = batch_generic::ShowdownBatchEither<Avx2Lanes>,
    .FoldBatch           = batch_generic::FoldBatch<Avx2Lanes>,
};
