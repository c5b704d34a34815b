#include "solver/solver_kernels.h"

#include <cmath>

SimdPath SimdPathFor(bool avx512_enabled) {
    return avx512_enabled ? SimdPath::kAvx512 : SimdPath::kAvx2;
}

const char* SimdPathName(SimdPath path) {
    switch (path) {
    case SimdPath::kScalar: return "scalar";
    case SimdPath::kAvx2: return "avx2";
    case SimdPath::kAvx512: return "avx512";
    }
    return "?";
}

RegretStep MakeRegretStep(double scale) {
    RegretStep step;
    step.threshold = static_cast<float>(1.0 / scale);
    step.scale_3_4 = static_cast<float>(std::pow(scale, 0.75));
    return step;
}

const SolverKernels& KernelsFor(SimdPath path) {
    switch (path) {
    case SimdPath::kScalar: return kScalarKernels;
    case SimdPath::kAvx2: return kAvx2Kernels;
    case SimdPath::kAvx512: return kAvx512Kernels;
    }
    return kScalarKernels;
}
