// The detector pass for processors with AVX2, chosen at run time: up to eight
// channels per pass. The headers are read for the baseline; only the kernels
// below are built for AVX2, and without FMA, so every operation stays the
// baseline's IEEE operation.
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <type_traits>

#include "DetectorConstants.h"
#include "LevelerCore.h"
#include "Numerics.h"

#define ORVANTA_AVX2_KERNELS 1
#pragma GCC target("avx2")
#include "DetectorPass.inc"
