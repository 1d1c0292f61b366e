// The estimator's pass for processors with AVX2, chosen at run time: eight
// frames per AVX register. The headers are read for the baseline; only the
// kernel below is built for AVX2, and without FMA, so every operation stays
// the baseline's IEEE operation.
#include <cstdint>
#include <cstring>

#include "LevelerCore.h"
#include "TruePeakTable.h"

#define ORVANTA_AVX2_KERNELS 1
#pragma GCC target("avx2")
#include "TruePeakPass.inc"
