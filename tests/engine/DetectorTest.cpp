// K-weighting filter and loudness detector.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

namespace {

// Magnitude in dB of both stages, from the stored single-precision
// coefficients, with the signs the filter folds into them.
double kWeightingDb(LevelerCore& e, double hz, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * testsig::kPi * hz / rate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> highPass = (1.0 - 2.0 * z1 + z2) /
                                          (1.0 - double(P::detector(e).settings.highPassA1) * z1 + double(P::detector(e).settings.highPassA2) * z2);
    const std::complex<double> shelf =
        (double(P::detector(e).settings.shelfB0) - double(P::detector(e).settings.shelfB1) * z1 + double(P::detector(e).settings.shelfB2) * z2) /
        (1.0 - double(P::detector(e).settings.shelfA1) * z1 + double(P::detector(e).settings.shelfA2) * z2);
    return 20.0 * std::log10(std::abs(highPass * shelf));
}

// Loudness of a mono engine's programme power, in LUFS.
double monoLoudness(float channelPower) {
    return 10.0 * std::log10(2.0 * channelPower) - 0.691;
}

}  // namespace

TEST(Detector, KWeightingCoefficientsAt48k) {
    LevelerCore e;
    EXPECT_EQ(P::detector(e).settings.shelfA1, 1.6906654834747314f);
    EXPECT_EQ(P::detector(e).settings.shelfA2, 0.7324792742729187f);
    EXPECT_EQ(P::detector(e).settings.shelfB0, 1.5290254354476929f);
    EXPECT_EQ(P::detector(e).settings.shelfB1, 2.6801681518554688f);
    EXPECT_EQ(P::detector(e).settings.shelfB2, 1.1929566860198975f);
    EXPECT_EQ(P::detector(e).settings.highPassA1, 1.9892948865890503f);
    EXPECT_EQ(P::detector(e).settings.highPassA2, 0.9893235564231873f);
}

TEST(Detector, KWeightingMagnitudes) {
    LevelerCore e;
    const struct { double hz, db; } points[] = {
        {20, -14.28}, {50, -4.42}, {100, -1.30}, {1000, 0.69}, {10000, 4.01}};
    for (const auto& point : points) {
        SCOPED_TRACE(point.hz);
        EXPECT_NEAR(kWeightingDb(e, point.hz, 48000.0), point.db, 0.01);
    }
    // The design follows the rate: the same curve at 96 kHz within 0.1 dB below 10 kHz.
    e.setSampleRate(96000.0f);
    EXPECT_NEAR(kWeightingDb(e, 1000.0, 96000.0), 0.69, 0.02);
    EXPECT_NEAR(kWeightingDb(e, 50.0, 96000.0), -4.42, 0.05);
}

TEST(Detector, DigitalSilenceStaysFiniteAndNormal) {
    LevelerCore e;
    const float start = P::channel(e).fastPower;
    for (int i = 0; i < 96000; ++i) P::detect(e, 0, 0.0f), P::detector(e).state.antiDenormal = -P::detector(e).state.antiDenormal;
    EXPECT_EQ(P::channel(e).fastPower, start);
    for (float v : {P::channel(e).highPassState1, P::channel(e).highPassState2, P::channel(e).shelfState1,
                    P::channel(e).shelfState2, P::channel(e).slowPower, P::channel(e).heldPower}) {
        EXPECT_TRUE(std::isfinite(v));
        EXPECT_NE(std::fpclassify(v), FP_SUBNORMAL);
    }
}

TEST(Detector, StartLevelsOnlyWhileFresh) {
    LevelerCore e;
    // Defaults: the start level makes the programme power equal the target's,
    // so the first gain is 1.0.
    const float start = P::channel(e).fastPower;
    EXPECT_NEAR(monoLoudness(start), -20.0, 1e-4);
    EXPECT_EQ(P::channel(e).startupCount, 48000);

    e.setTargetLevel(-14.0f);  // still fresh: every start level moves
    const float moved = P::channel(e).fastPower;
    EXPECT_NE(moved, start);
    for (int d = 0; d < 5; ++d) EXPECT_EQ(P::channel(e, d).heldPower, moved);

    float x = 0.0f, y;
    e.processMono(&x, &y, 1);  // no longer fresh
    const float running = P::channel(e).heldPower;
    e.setTargetLevel(-24.0f);
    e.setMaxGain(12.0f);
    EXPECT_EQ(P::channel(e).heldPower, running);

    e.reset();  // fresh again: the next change re-initialises
    e.setTargetLevel(-20.0f);
    EXPECT_NE(P::channel(e).heldPower, running);
}

TEST(Detector, SineCalibratesToItsMeanKWeightedSquare) {
    struct Case { double amplitude; double lufs; };
    for (const Case c : {Case{0.1, -19.90}, Case{1.0, -0.1}}) {
        SCOPED_TRACE(c.amplitude);
        LevelerCore e;
        const std::vector<float> tone = testsig::sine(1000.0, c.amplitude, 48000 * 30);
        float power = 0.0f;
        for (size_t i = 0; i < tone.size(); ++i) {
            power = P::detect(e, 0, tone[i]);
            P::detector(e).state.antiDenormal = -P::detector(e).state.antiDenormal;
        }
        EXPECT_NEAR(monoLoudness(power), c.lufs, 0.05);
    }
}

TEST(Detector, StartupCalibrationIsCappedAndEnds) {
    LevelerCore e;
    // A held level three times the K-weighted power: the start-up ratio is 3.
    const std::vector<float> tone = testsig::sine(1000.0, 0.1, 48000);
    for (int i = 0; i < 2; ++i) P::detect(e, 0, tone[i]);
    P::channel(e).heldPower = 3.0f * 0.01f;
    P::channel(e).kPower = 0.01f;
    float maxCalibration = 0.0f;
    bool ended = false;
    for (int i = 2; i < 48000 && !ended; ++i) {
        P::detect(e, 0, tone[i]);
        maxCalibration = std::max(maxCalibration, P::channel(e).calibration);
        if (P::channel(e).calibration > 1.4142135f) {
            EXPECT_EQ(P::channel(e).startupCount, 0);
            ended = true;
        }
    }
    EXPECT_TRUE(ended);
    EXPECT_LE(maxCalibration, 2.5f);
}

TEST(Detector, GapHoldThenRelease) {
    LevelerCore e;
    // Just after a rise: the held level sits at the programme's level, and the
    // power falls far under a quarter of its 0.5 s mean (a gap).
    for (int d = 0; d < 1; ++d) {
        P::channel(e, d).heldPower = P::channel(e, d).slowPower = P::channel(e, d).fastPower = 0.1f;
        P::channel(e, d).gapCount = 1;
    }
    const int holdSamples = P::detector(e).settings.gapHoldLength - 1;  // gap samples still to count
    for (int i = 0; i < holdSamples; ++i) {
        P::detect(e, 0, 0.0f);
        ASSERT_EQ(P::channel(e).heldPower, 0.1f) << i;
    }
    // 0.12 s worth of gap samples counted: the held level now releases.
    P::detect(e, 0, 0.0f);
    EXPECT_LT(P::channel(e).heldPower, 0.1f);
    for (int i = 0; i < 48000; ++i) P::detect(e, 0, 0.0f);
    EXPECT_LT(P::channel(e).heldPower, 0.1f * 0.2f);
}

TEST(Detector, FreezeThresholdChangeActsAtTheNextSample) {
    LevelerCore e;
    e.setFreezeLevel(-10.0f);  // everything below -10 LUFS is frozen
    const std::vector<float> tone = testsig::sine(1000.0, 0.1, 48000);
    for (int i = 0; i < 24000; ++i) P::detect(e, 0, tone[i]);
    const float frozenCalibration = P::channel(e).calibration;
    const float frozenKPower = P::channel(e).kPower;
    EXPECT_EQ(P::channel(e).startupCount, 48000);  // no active sample yet
    e.setFreezeLevel(-70.0f);
    P::detect(e, 0, tone[24000]);
    EXPECT_NE(P::channel(e).kPower, frozenKPower);
    (void)frozenCalibration;
}
