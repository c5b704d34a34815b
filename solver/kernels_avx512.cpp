// The avx512 table: the generic kernel bodies compiled for Avx512Lanes (16 lanes, lane masks for tails).
// Contraction is off as in the scalar reference: the bodies fuse only where they call Fma.
#pragma GCC optimize("fp-contract=off")

#include "solver/simd_avx512.h"
#include "solver/chance_kernels_generic.h"
#include "solver/regret_kernels_generic.h"
#include "solver/terminal_batch_generic.h"
#include "solver/terminal_kernels_generic.h"
#include "solver/vector_kernels_generic.h"

constinit const SolverKernels kAvx512Kernels = {
    .path                = SimdPath::kAvx512,
    .RegretMatch2        = regret_generic::RegretMatchFixed<Avx512Lanes, 2>,
    .RegretMatch3        = regret_generic::RegretMatchFixed<Avx512Lanes, 3>,
    .RegretMatch4        = regret_generic::RegretMatchFixed<Avx512Lanes, 4>,
    .RegretMatchN        = regret_generic::RegretMatchN<Avx512Lanes>,
    .RegretReach         = regret_generic::RegretReach<Avx512Lanes>,
    .NormalizeAverages   = regret_generic::NormalizeAverages<Avx512Lanes>,
    .UpdateRegrets       = regret_generic::UpdateRegrets<Avx512Lanes>,
    .FusedUpdate2        = regret_generic::FusedUpdate<Avx512Lanes, 2>,
    .FusedUpdate3        = regret_generic::FusedUpdate<Avx512Lanes, 3>,
    .FusedUpdate4        = regret_generic::FusedUpdate<Avx512Lanes, 4>,
    .ReachProduct        = vector_generic::ReachProduct<Avx512Lanes>,
    .WeightedValueSum    = vector_generic::WeightedValueSum<Avx512Lanes>,
    .ValueSum            = vector_generic::ValueSum<Avx512Lanes>,
    .ValueMax            = vector_generic::ValueMax<Avx512Lanes>,
    .AveragePeak         = vector_generic::AveragePeak<Avx512Lanes>,
    .AverageAdd          = vector_generic::AverageAdd<Avx512Lanes>,
    .AverageAddInRange   = vector_generic::AverageAddInRange<Avx512Lanes>,
    .FoldOutput          = terminal_generic::FoldOutput<Avx512Lanes>,
    .ShowdownOutput      = terminal_generic::ShowdownOutput<Avx512Lanes, false>,
    .ShowdownOutputRaked = terminal_generic::ShowdownOutput<Avx512Lanes, true>,
    .GatherKept          = chance_generic::GatherKept<Avx512Lanes>,
    .ScatterKeptAdd      = chance_generic::ScatterKeptAdd<Avx512Lanes>,
    .ShowdownBatch       = batch_generic::ShowdownBatchEither<Avx512Lanes>,
    .FoldBatch           = batch_generic::FoldBatch<Avx512Lanes>,
};
