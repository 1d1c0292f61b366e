// Bit-exactness guard: fingerprints of the engine's output for a fixed
// programme in every layout. Any change to the arithmetic (a reordered sum, a
// fused multiply-add, a float where a double belongs) changes them; a change
// that is meant to alter the output must update them deliberately.
#include <gtest/gtest.h>

#include "Fingerprints.h"

TEST(Golden, OutputFingerprints) {
    for (bool baselineKernels : {false, true}) {
        SCOPED_TRACE(baselineKernels ? "baseline kernels" : "chosen kernels");
        const EngineFingerprints prints = engineFingerprints(baselineKernels);
        EXPECT_EQ(prints.mono, 17896562616585054206ull);
        EXPECT_EQ(prints.stereo, 10455751681772903029ull);
        EXPECT_EQ(prints.surround, 5986112478684650145ull);
    }
}
