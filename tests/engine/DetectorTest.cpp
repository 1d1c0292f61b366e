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
double kWeightingDb(const orvanta::DetectorSettings& s, double hz, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * testsig::kPi * hz / rate);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> highPass =
        (1.0 - 2.0 * z1 + z2) / (1.0 - double(s.highPassA1) * z1 + double(s.highPassA2) * z2);
    const std::complex<double> shelf = (double(s.shelfB0) - double(s.shelfB1) * z1 + double(s.shelfB2) * z2) /
                                       (1.0 - double(s.shelfA1) * z1 + double(s.shelfA2) * z2);
    return 20.0 * std::log10(std::abs(highPass * shelf));
}

// Loudness of a mono engine's programme power, in LUFS.
double monoLoudness(float channelPower) { return 10.0 * std::log10(2.0 * channelPower) - 0.691; }

}  // namespace

TEST(Detector, KWeightingCoefficientsAndMagnitudes) {
    LevelerCore e;
    const orvanta::DetectorSettings& s = P::detector(e).settings;
    const float coefficients[] = {s.shelfA1, s.shelfA2, s.shelfB0, s.shelfB1, s.shelfB2, s.highPassA1, s.highPassA2};
    const float at48k[] = {1.6906654834747314f, 0.7324792742729187f, 1.5290254354476929f, 2.6801681518554688f,
                           1.1929566860198975f, 1.9892948865890503f, 0.9893235564231873f};
    for (int k = 0; k < 7; ++k) EXPECT_EQ(coefficients[k], at48k[k]) << k;
    const struct { double hz, db; } points[] = {{20, -14.28}, {50, -4.42}, {100, -1.30}, {1000, 0.69}, {10000, 4.01}};
    for (const auto& point : points) EXPECT_NEAR(kWeightingDb(s, point.hz, 48000.0), point.db, 0.01) << point.hz;
    // The design follows the rate: the same curve at 96 kHz within 0.1 dB below 10 kHz.
    e.setSampleRate(96000.0f);
    EXPECT_NEAR(kWeightingDb(s, 1000.0, 96000.0), 0.69, 0.02);
    EXPECT_NEAR(kWeightingDb(s, 50.0, 96000.0), -4.42, 0.05);
}

TEST(Detector, DigitalSilenceStaysFiniteAndNormal) {
    LevelerCore e;
    const orvanta::DetectorChannel& c = P::channel(e);
    const float start = c.fastPower;
    for (int i = 0; i < 96000; ++i) P::detect(e, 0, 0.0f);
    EXPECT_EQ(c.fastPower, start);
    for (float v : {c.highPassState1, c.highPassState2, c.shelfState1, c.shelfState2, c.slowPower, c.heldPower}) {
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
        float power = 0.0f;
        for (float x : testsig::sine(1000.0, c.amplitude, 48000 * 30)) power = P::detect(e, 0, x);
        EXPECT_NEAR(monoLoudness(power), c.lufs, 0.05);
    }
}

TEST(Detector, StartupCalibrationIsCappedAndEnds) {
    LevelerCore e;
    orvanta::DetectorChannel& c = P::channel(e);
    // A held level three times the K-weighted power: the start-up ratio is 3.
    const std::vector<float> tone = testsig::sine(1000.0, 0.1, 48000);
    for (int i = 0; i < 2; ++i) P::detect(e, 0, tone[i]);
    c.heldPower = 3.0f * 0.01f;
    c.kPower = 0.01f;
    float maxCalibration = 0.0f;
    int i = 2;
    for (; i < 48000 && !(c.calibration > 1.4142135f); ++i) {
        P::detect(e, 0, tone[i]);
        maxCalibration = std::max(maxCalibration, c.calibration);
    }
    EXPECT_LT(i, 48000);               // the calibration passed sqrt(2) ...
    EXPECT_EQ(c.startupCount, 0);      // ... which ended start-up
    EXPECT_LE(maxCalibration, 2.5f);   // the ratio 3 was capped at 2.5
}

TEST(Detector, GapHoldThenRelease) {
    LevelerCore e;
    orvanta::DetectorChannel& c = P::channel(e);
    // Just after a rise: the held level sits at the programme's level, and the
    // power falls far under a quarter of its 0.5 s mean (a gap).
    c.heldPower = c.slowPower = c.fastPower = 0.1f;
    c.gapCount = 1;
    const int holdSamples = P::detector(e).settings.gapHoldLength - 1;  // gap samples still to count
    for (int i = 0; i < holdSamples; ++i) {
        P::detect(e, 0, 0.0f);
        ASSERT_EQ(c.heldPower, 0.1f) << i;
    }
    // 0.12 s worth of gap samples counted: the held level now releases.
    P::detect(e, 0, 0.0f);
    EXPECT_LT(c.heldPower, 0.1f);
    for (int i = 0; i < 48000; ++i) P::detect(e, 0, 0.0f);
    EXPECT_LT(c.heldPower, 0.1f * 0.2f);
}

TEST(Detector, FreezeThresholdChangeActsAtTheNextSample) {
    LevelerCore e;
    e.setFreezeLevel(-10.0f);  // everything below -10 LUFS is frozen
    const std::vector<float> tone = testsig::sine(1000.0, 0.1, 48000);
    for (int i = 0; i < 24000; ++i) P::detect(e, 0, tone[i]);
    const float frozenKPower = P::channel(e).kPower;
    EXPECT_EQ(P::channel(e).startupCount, 48000);  // no active sample yet
    e.setFreezeLevel(-70.0f);
    P::detect(e, 0, tone[24000]);
    EXPECT_NE(P::channel(e).kPower, frozenKPower);
}
