// Sample-rate derivation, clamping, setters and construction defaults.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

namespace {

// Lengths and coefficients at the listed rates; the limiter's coefficients
// where listed (0: not listed).
struct RateRow {
    float rate;
    int limLen, holdLen, longHoldLen, gapHoldLength, lookaheadLength;
    uint32_t latency;
    double coef100ms;
    double attackDiv, releaseCoef, levelRise, levelFall;
};

const RateRow kRateTable[] = {
    {8000, 10, 16, 96, 960, 272, 288, 0.9987508058547974, 0, 0, 0, 0},
    {44100, 55, 90, 540, 5292, 1499, 1560, 0.9997732639312744, 0.01785719394683838, 0.9895446300506592,
     0.9992637634277344, 0.9999263286590576},
    {48000, 60, 98, 588, 5760, 1632, 1698, 0.9997917413711548, 0.016393423080444336, 0.9903900623321533,
     0.9993228912353516, 0.9999322891235352},
    {88200, 110, 181, 1086, 10584, 2999, 3115, 0.9998866319656372, 0, 0, 0, 0},
    {96000, 120, 197, 1182, 11520, 3264, 3390, 0.9998958110809326, 0.008264422416687012, 0.9951833486557007,
     0.9996623992919922, 0.9999661445617676},
    {192000, 240, 394, 2364, 23040, 6528, 6774, 0.9999479055404663, 0, 0, 0, 0},
    {384000, 480, 787, 4722, 46080, 13056, 13542, 0.9999740123748779, 0, 0, 0, 0},
};

float quantize(double x, double k) {
    return static_cast<float>(static_cast<double>(static_cast<float>(x + k)) - k);
}

}  // namespace

TEST(EngineSetup, DerivedValuesAtEveryListedRate) {
    for (const RateRow& row : kRateTable) {
        SCOPED_TRACE(row.rate);
        LevelerCore e;
        e.setSampleRate(row.rate);
        const orvanta::Limiter& limiter = P::limiter(e);
        EXPECT_EQ(limiter.limLen, row.limLen);
        EXPECT_EQ(limiter.holdLen, row.holdLen);
        EXPECT_EQ(limiter.longHoldLen, row.longHoldLen);
        EXPECT_EQ(P::detector(e).settings.gapHoldLength, row.gapHoldLength);
        EXPECT_EQ(P::lookahead(e).length, row.lookaheadLength);
        EXPECT_EQ(e.latency(), row.latency);
        EXPECT_EQ(P::detector(e).settings.coef100ms, row.coef100ms);
        if (row.attackDiv != 0) {
            EXPECT_EQ(limiter.attackDiv, row.attackDiv);
            EXPECT_EQ(limiter.releaseCoef, row.releaseCoef);
            EXPECT_EQ(limiter.levelRise, row.levelRise);
            EXPECT_EQ(limiter.levelFall, row.levelFall);
        }
        // Every array is sized for the rate and holds zeros.
        EXPECT_EQ(limiter.peakRing.size(), static_cast<size_t>(row.limLen));
        EXPECT_EQ(P::lookahead(e).line[5], std::vector<float>(row.lookaheadLength, 0.0f));
    }
}

TEST(EngineSetup, RateClamping) {
    struct Case { float asked, used; };
    const Case cases[] = {
        {5.0f, 48000.0f},      {9.99f, 48000.0f},     {10.0f, 8000.0f},
        {7999.0f, 8000.0f},    {400000.0f, 384000.0f}, {-1.0f, 48000.0f},
        {NAN, 48000.0f},       {-INFINITY, 48000.0f}, {INFINITY, 384000.0f},
        {22050.0f, 22050.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        LevelerCore e;
        e.setSampleRate(44100.0f);
        e.setSampleRate(c.asked);
        EXPECT_EQ(e.getSampleRate(), c.used);
    }
}

TEST(EngineSetup, SameRateKeepsArraysAndCoefficients) {
    LevelerCore e;
    std::vector<float> in = testsig::sine(1000.0, 0.5, 4000);
    std::vector<float> out(in.size());
    e.processMono(in.data(), out.data(), static_cast<int32_t>(in.size()));
    const std::vector<float> delayBefore = P::lookahead(e).line[0];
    const std::vector<float> peaksBefore = P::limiter(e).peakRing;
    const float fastBefore = P::channel(e).fastPower;
    e.setSampleRate(48000.0f);
    EXPECT_EQ(P::lookahead(e).line[0], delayBefore);
    EXPECT_EQ(P::limiter(e).peakRing, peaksBefore);
    EXPECT_EQ(P::channel(e).fastPower, fastBefore);

    // A different rate clears the signal state but keeps a running engine's levels.
    e.setSampleRate(44100.0f);
    EXPECT_EQ(P::channel(e).fastPower, fastBefore);
    EXPECT_EQ(P::lookahead(e).line[0], std::vector<float>(1499, 0.0f));
}

TEST(EngineSetup, FreshEngineDefaults) {
    LevelerCore e;
    EXPECT_EQ(P::targetLevel(e), -19.309f);
    EXPECT_EQ(P::maxGain(e), 1.0f);
    EXPECT_EQ(P::freezeThreshold(e), static_cast<float>(0.5 * std::exp(-9.051231306380506)));  // 0.5 x 10^-3.9309
    EXPECT_EQ(static_cast<float>(P::inputPower(e)), static_cast<float>(std::pow(10.0, -1.9309)));
    EXPECT_EQ(P::lookahead(e).length, 1632);
    EXPECT_EQ(P::law(e).targetAmplitude, quantize(std::exp(-2.2230307797878344), 1.0));
    EXPECT_EQ(e.getCeiling(), 32.0f);
    EXPECT_EQ(e.getEnvelope(), 32.0f);
    EXPECT_EQ(e.getLevelerGain(), 1.0f);
    EXPECT_EQ(P::channelShare(e), 0.5f);
    const orvanta::DetectorSettings& s = P::detector(e).settings;  // at 48 kHz
    EXPECT_EQ(s.coef500ms, 0.9999582767486572);
    EXPECT_EQ(s.coef800ms, 0.9999740123748779);
    EXPECT_EQ(s.coef8s, 0.9999973773956299);
    for (const auto& ring : P::limiter(e).sampleRing) EXPECT_EQ(ring, std::vector<float>(60, 0.0f));
}

TEST(EngineSetup, SetterFormulas) {
    LevelerCore e;
    e.setCorrectionHigh(150.0f);
    EXPECT_EQ(P::correctionHigh(e), 1.0);
    e.setCorrectionHigh(-5.0f);
    EXPECT_EQ(P::correctionHigh(e), 0.0);
    e.setCorrectionHigh(33.3f);
    EXPECT_EQ(P::correctionHigh(e), quantize(static_cast<double>(33.3f * 0.01f), 16.0));

    e.setMaxGain(0.0f);
    EXPECT_EQ(P::maxGain(e), 1.0f);
    e.setMaxGain(6.0f);
    const float sixDb = P::maxGain(e);
    EXPECT_NEAR(sixDb, std::pow(10.0, 6.0 / 20.0), 0x1p-19);
    EXPECT_EQ(sixDb, std::ldexp(std::round(std::ldexp(static_cast<double>(sixDb), 19)), -19));

    e.setLfeGain(10.0f);
    EXPECT_EQ(P::lfeGain(e), quantize(std::exp(10.0 * 0.11512925464970228), 16.0));
}

TEST(EngineSetup, SettersThatMustNotReinitialiseTheDetector) {
    LevelerCore e;
    P::channel(e).fastPower = 0.125f;  // a marker the start-level logic would overwrite
    e.setLfeGain(6.0f);
    e.setFreezeLevel(-50.0f);
    e.setMixMode(0);  // the current mode: nothing happens
    EXPECT_EQ(P::channel(e).fastPower, 0.125f);
    e.setMixMode(1);  // a new mode re-derives the law, which sets fresh start levels
    EXPECT_NE(P::channel(e).fastPower, 0.125f);
}

TEST(EngineSetup, TruePeakOnAFreshAndARunningEngine) {
    struct Case { float dbtp; float ceiling; float outScale; };
    const Case cases[] = {
        {0.0f, 32.0f, 31.906253814697266f},
        {-1.0f, 28.52001953125f, 28.52002716064453f},
        {-3.0f, 22.654266357421875f, 22.65426254272461f},
        {-5.0f, 17.99493408203125f, 17.994918823242188f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dbtp);
        LevelerCore e;
        e.setTruePeak(c.dbtp);
        EXPECT_EQ(e.getCeiling(), c.ceiling);
        EXPECT_EQ(e.getOutScale(), c.outScale);
        EXPECT_EQ(P::limiter(e).peakTarget, c.ceiling);  // fresh: the ceiling-bound levels restart
    }

    LevelerCore e;
    e.setTruePeak(-1.0f);
    std::vector<float> in = testsig::sine(997.0, 0.3, 2000), out(2000);
    e.processMono(in.data(), out.data(), 2000);
    const orvanta::Limiter running = P::limiter(e);
    e.setTruePeak(-1.0f);  // same value: nothing changes
    EXPECT_EQ(P::limiter(e).peakTarget, running.peakTarget);
    EXPECT_EQ(P::limiter(e).holdMin, running.holdMin);
    e.setTruePeak(-3.0f);  // running: new ceiling, running levels carry on
    EXPECT_EQ(e.getCeiling(), 22.654266357421875f);
    EXPECT_EQ(P::limiter(e).peakTarget, running.peakTarget);
}
