// The pass kernels built for the baseline instruction set (SSE2): the
// detector two channels at a time, the gain law two frames, the estimator
// four frames.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <type_traits>

#include "DetectorConstants.h"
#include "PassKernels.h"
#include "TruePeakTable.h"

// The kernels' bodies: after every header (see LanesSse.inc).
#include "LanesSse.inc"
#include "MathLanes.inc"
#include "DetectorKernel.inc"
#include "GainLawKernel.inc"
#include "TruePeakKernel.inc"

namespace orvanta {

namespace {
constexpr PassKernels kBaseline = {
    "sse2", TwoChannels::kWidth, detectChannels<TwoChannels>, lawGains<TwoDoubles>, interpolateFrames<FourFrames>,
};
}  // namespace

const PassKernels& baselineKernels() { return kBaseline; }

}  // namespace orvanta
