// The pass kernels built for processors with AVX2: the detector up to eight
// channels at a time, the gain law four frames, the estimator eight frames.
// The headers are read for the baseline; only the kernels' bodies below are
// built for AVX2, and without FMA, so every operation stays the baseline's
// IEEE operation.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <type_traits>

#include "DetectorConstants.h"
#include "PassKernels.h"
#include "TruePeakTable.h"

#pragma GCC push_options
#pragma GCC target("avx2")
#include "LanesSse.inc"
#include "LanesAvx.inc"
#include "MathLanes.inc"
#include "DetectorKernel.inc"
#include "GainLawKernel.inc"
#include "TruePeakKernel.inc"

namespace orvanta {

namespace {

// The narrowest lane set that takes `lanes` channels.
void detectUpToEight(const DetectorSettings& settings, DetectorChannel* channels, int lanes, float antiDenormal,
                     const float* const* in, float* const* admitted, float* const* power, int32_t n,
                     DetectorScratch& scratch) {
    if (lanes > FourChannels::kWidth)
        detectChannels<EightChannels>(settings, channels, lanes, antiDenormal, in, admitted, power, n, scratch);
    else if (lanes > TwoChannelsBlend::kWidth)
        detectChannels<FourChannels>(settings, channels, lanes, antiDenormal, in, admitted, power, n, scratch);
    else
        detectChannels<TwoChannelsBlend>(settings, channels, lanes, antiDenormal, in, admitted, power, n, scratch);
}

constexpr PassKernels kAvx2 = {
    "avx2", EightChannels::kWidth, detectUpToEight, lawGains<FourDoubles>, interpolateFrames<EightFrames>,
};

}  // namespace
}  // namespace orvanta

// What follows runs on every processor.
#pragma GCC pop_options

namespace orvanta {

const PassKernels* avx2Kernels() {
    __builtin_cpu_init();  // engines may be built before the run-time's own initialisers
    return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

}  // namespace orvanta
