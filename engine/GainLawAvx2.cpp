// The log law's pass for processors with AVX2, chosen at run time: four
// frames per vector. Built without FMA, so every operation stays the
// baseline's IEEE operation.
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>

#define ORVANTA_AVX2_KERNELS 1
#pragma GCC target("avx2")
#include "LogLawPass.h"

namespace orvanta {

void logLawGainsAvx2(const double* programme, float* gain, int32_t n, const LogLawSettings& law,
                     double& lastPower, float& lastGain) {
    logLawGains<FourLanes>(programme, gain, n, law, lastPower, lastGain);
}

}  // namespace orvanta
