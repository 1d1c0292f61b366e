// True-peak estimator: impulse response, unit gain, the centre tap and the
// overflow recovery.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

TEST(TruePeak, ImpulseResponseAndCentreDelay) {
    LevelerCore e;
    const float expected[] = {0.0321273804f, 0.0604727268f, 0.10719502f, 0.165168524f,
                              0.256623149f, 0.953251123f, 1.0f,          0.256623149f,
                              0.165168524f, 0.10719502f,  0.0604727268f, 0.0321273804f, 0.0f};
    for (int i = 0; i < 13; ++i) {
        float centre;
        const float peak = P::truePeak(e, i == 0 ? 1.0f : 0.0f, &centre);
        EXPECT_EQ(peak, expected[i]) << i;
        EXPECT_EQ(centre, i == 6 ? 1.0f : 0.0f) << i;  // the estimator delays by exactly 6
    }
}

TEST(TruePeak, CentreSlotSequence) {
    LevelerCore e;
    const int expected[] = {6, 7, 8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 13; ++i) {
        float centre;
        P::truePeak(e, 0.0f, &centre);
        EXPECT_EQ(P::tpCentre(e), expected[i]);
    }
}

TEST(TruePeak, KnownSignals) {
    {
        LevelerCore e;
        float centre, peak = 0.0f;
        for (int i = 0; i < 12; ++i) peak = P::truePeak(e, 0.5f, &centre);
        EXPECT_EQ(peak, 0.50000006f);
        EXPECT_EQ(peak * 31.999996185302734f, 16.0f);
    }
    {
        // Quarter-rate sine +a, +a, -a, -a with a true peak of 1.0.
        LevelerCore e;
        const float a = 0.70710677f;
        const float pattern[4] = {a, a, -a, -a};
        float centre, peaks[2];
        for (int i = 0; i < 24; ++i) {
            const float peak = P::truePeak(e, pattern[i % 4], &centre);
            if (i >= 22) peaks[i - 22] = peak;
        }
        EXPECT_TRUE((peaks[0] == 1.03415608f && peaks[1] == 0.707106769f) ||
                    (peaks[1] == 1.03415608f && peaks[0] == 0.707106769f));
    }
    {
        LevelerCore e;
        float centre, peak = 0.0f;
        for (int i = 0; i < 24; ++i) peak = P::truePeak(e, i % 2 ? -1.0f : 1.0f, &centre);
        EXPECT_EQ(peak, 1.0f);
    }
}

namespace {
struct RecoveryCount {
    int recoveries = 0;
    int first = -1;  // samples after the bad sample reached the estimator
    std::vector<float> output;
};

RecoveryCount feedBadSample(float bad) {
    LevelerCore e;
    testsig::makeLimiterOnly(e, -5.0f);
    const int lookahead = P::lookaheadLength(e);
    std::vector<float> in = testsig::sine(500.0, 0.1, 6000);
    const int badAt = 3000;
    RecoveryCount result;
    result.output.resize(in.size());
    for (int i = 0; i < static_cast<int>(in.size()); ++i) {
        const uint32_t before = e.overflowRecoveryCount();
        const int slot = P::lookaheadIndex(e);
        e.processMono(&in[i], &result.output[i], 1);
        // Every input path admits only measurable samples, so the bad value
        // is planted in the look-ahead delay, on its way to the estimator.
        if (i == badAt) P::lookaheadDelay(e)[0][slot] = bad;
        if (e.overflowRecoveryCount() != before) {
            ++result.recoveries;
            if (result.first < 0) result.first = i - badAt - lookahead;
        }
    }
    return result;
}
}  // namespace

TEST(TruePeak, OverflowRecoveryCounts) {
    // A value beyond measure inside the engine (the last line of defence:
    // the inputs never let one in) is caught by the estimator's recovery.
    const RecoveryCount nan = feedBadSample(NAN);
    EXPECT_EQ(nan.recoveries, 1);
    EXPECT_EQ(nan.first, 6);  // once, when it is the centre sample
    const RecoveryCount inf = feedBadSample(INFINITY);
    EXPECT_EQ(inf.recoveries, 12);
    EXPECT_EQ(inf.first, 0);
    for (const RecoveryCount* r : {&nan, &inf})
        for (float y : r->output) ASSERT_TRUE(std::isfinite(y));
}
