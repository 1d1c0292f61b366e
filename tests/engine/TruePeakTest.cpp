// True-peak estimator: known responses, the centre tap and the overflow
// recovery.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

TEST(TruePeak, KnownSignalsAndTheCentreTap) {
    const float a = 0.70710677f;  // a quarter-rate sine +a, +a, -a, -a has a true peak of 1.0
    struct Case {
        const char* name;
        std::vector<float> input;
        std::vector<float> lastPeaks;  // of the last samples, in order unless `anyOrder`
        bool anyOrder;
    };
    std::vector<Case> cases = {
        {"unit impulse", {1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0.0321273804f, 0.0604727268f, 0.10719502f, 0.165168524f, 0.256623149f, 0.953251123f, 1.0f, 0.256623149f,
          0.165168524f, 0.10719502f, 0.0604727268f, 0.0321273804f, 0.0f},
         false},
        {"constant 0.5", std::vector<float>(12, 0.5f), {0.50000006f}, false},
        {"quarter-rate sine", {}, {1.03415608f, 0.707106769f}, true},
        {"+1, -1, ...", {}, {1.0f}, false},
    };
    for (int i = 0; i < 24; ++i) {
        cases[2].input.push_back((i % 4) < 2 ? a : -a);
        cases[3].input.push_back(i % 2 ? -1.0f : 1.0f);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LevelerCore e;
        std::vector<float> peaks;
        for (size_t i = 0; i < c.input.size(); ++i) {
            float centre;
            peaks.push_back(P::truePeak(e, c.input[i], &centre));
            // The centre sample is the one written 6 samples earlier, in the
            // slot 6 behind the newest.
            EXPECT_EQ(centre, i >= 6 ? c.input[i - 6] : 0.0f) << i;
            EXPECT_EQ(P::estimator(e).centre, (i + 6) % 12) << i;
        }
        std::vector<float> last(peaks.end() - c.lastPeaks.size(), peaks.end()), expected = c.lastPeaks;
        if (c.anyOrder) {
            std::sort(last.begin(), last.end());
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(last, expected);
    }
    // The limiter's scaled domain: 0.50000006 x (32 - 2^-18) is 16.
    EXPECT_EQ(0.50000006f * orvanta::kScaledFullScale, 16.0f);
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
    const int lookahead = P::lookahead(e).length;
    std::vector<float> in = testsig::sine(500.0, 0.1, 6000);
    const int badAt = 3000;
    RecoveryCount result;
    result.output.resize(in.size());
    for (int i = 0; i < static_cast<int>(in.size()); ++i) {
        const uint32_t before = e.overflowRecoveryCount();
        const int slot = P::lookahead(e).index;
        e.processMono(&in[i], &result.output[i], 1);
        // Every input path admits only measurable samples, so the bad value
        // is planted in the look-ahead delay, on its way to the estimator.
        if (i == badAt) P::lookahead(e).line[0][slot] = bad;
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
