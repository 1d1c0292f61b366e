// Sample-rate derivation, clamping, setters and construction defaults.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

namespace {

struct RateRow {
    float rate;
    int limLen, holdLen, longHoldLen, gapHoldLength, lookaheadLength;
    uint32_t latency;
    double coef100ms;
};

const RateRow kRateTable[] = {
    {8000, 10, 16, 96, 960, 272, 288, 0.9987508058547974},
    {44100, 55, 90, 540, 5292, 1499, 1560, 0.9997732639312744},
    {48000, 60, 98, 588, 5760, 1632, 1698, 0.9997917413711548},
    {88200, 110, 181, 1086, 10584, 2999, 3115, 0.9998866319656372},
    {96000, 120, 197, 1182, 11520, 3264, 3390, 0.9998958110809326},
    {192000, 240, 394, 2364, 23040, 6528, 6774, 0.9999479055404663},
    {384000, 480, 787, 4722, 46080, 13056, 13542, 0.9999740123748779},
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
        EXPECT_EQ(P::limLen(e), row.limLen);
        EXPECT_EQ(P::holdLen(e), row.holdLen);
        EXPECT_EQ(P::longHoldLen(e), row.longHoldLen);
        EXPECT_EQ(P::gapHoldLength(e), row.gapHoldLength);
        EXPECT_EQ(P::lookaheadLength(e), row.lookaheadLength);
        EXPECT_EQ(e.latency(), row.latency);
        EXPECT_EQ(P::coef100ms(e), row.coef100ms);
        // Every array is sized for the rate and holds zeros.
        EXPECT_EQ(P::peakRing(e).size(), static_cast<size_t>(row.limLen));
        EXPECT_EQ(P::lookaheadDelay(e)[5].size(), static_cast<size_t>(row.lookaheadLength));
        EXPECT_EQ(P::tpRing(e)[0].size(), 12u);
    }
}

TEST(EngineSetup, RateCoefficientsToTheLastBit) {
    LevelerCore e;  // 48000 Hz
    EXPECT_EQ(P::coef500ms(e), 0.9999582767486572);
    EXPECT_EQ(P::coef800ms(e), 0.9999740123748779);
    EXPECT_EQ(P::coef8s(e), 0.9999973773956299);

    struct LimiterRow { float rate; double attackDiv, releaseCoef, levelRise, levelFall; };
    const LimiterRow rows[] = {
        {44100, 0.01785719394683838, 0.9895446300506592, 0.9992637634277344, 0.9999263286590576},
        {48000, 0.016393423080444336, 0.9903900623321533, 0.9993228912353516, 0.9999322891235352},
        {96000, 0.008264422416687012, 0.9951833486557007, 0.9996623992919922, 0.9999661445617676},
    };
    for (const LimiterRow& row : rows) {
        SCOPED_TRACE(row.rate);
        e.setSampleRate(row.rate);
        EXPECT_EQ(P::attackDiv(e), row.attackDiv);
        EXPECT_EQ(P::releaseCoef(e), row.releaseCoef);
        EXPECT_EQ(P::levelRise(e), row.levelRise);
        EXPECT_EQ(P::levelFall(e), row.levelFall);
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
    const std::vector<float> delayBefore = P::lookaheadDelay(e)[0];
    const std::vector<float> peaksBefore = P::peakRing(e);
    const float fastBefore = P::fastPower(e)[0];
    e.setSampleRate(48000.0f);
    EXPECT_EQ(P::lookaheadDelay(e)[0], delayBefore);
    EXPECT_EQ(P::peakRing(e), peaksBefore);
    EXPECT_EQ(P::fastPower(e)[0], fastBefore);

    // A different rate clears the signal state but keeps a running engine's levels.
    e.setSampleRate(44100.0f);
    EXPECT_EQ(P::fastPower(e)[0], fastBefore);
    for (float v : P::lookaheadDelay(e)[0]) ASSERT_EQ(v, 0.0f);
}

TEST(EngineSetup, FreshEngineDefaults) {
    LevelerCore e;
    EXPECT_EQ(P::targetLevel(e), -19.309f);
    EXPECT_EQ(P::maxGain(e), 1.0f);
    EXPECT_EQ(P::freezeThreshold(e), static_cast<float>(0.5 * std::exp(-9.051231306380506)));  // 0.5 x 10^-3.9309
    EXPECT_EQ(static_cast<float>(P::inputPower(e)), static_cast<float>(std::pow(10.0, -1.9309)));
    EXPECT_EQ(P::lookaheadLength(e), 1632);
    EXPECT_EQ(P::targetAmplitude(e), quantize(std::exp(-2.2230307797878344), 1.0));
    EXPECT_EQ(e.getCeiling(), 32.0f);
    EXPECT_EQ(e.getEnvelope(), 32.0f);
    EXPECT_EQ(e.getLevelerGain(), 1.0f);
    EXPECT_EQ(P::channelShare(e), 0.5f);
    for (const auto& ring : P::sampleRing(e))
        for (float v : ring) ASSERT_EQ(v, 0.0f);
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
    P::fastPower(e)[0] = 0.125f;  // a marker the start-level logic would overwrite
    e.setLfeGain(6.0f);
    e.setFreezeLevel(-50.0f);
    e.setMixMode(0);  // the current mode: nothing happens
    EXPECT_EQ(P::fastPower(e)[0], 0.125f);
    e.setMixMode(1);  // a new mode re-derives the law, which sets fresh start levels
    EXPECT_NE(P::fastPower(e)[0], 0.125f);
}

TEST(EngineSetup, TruePeakCeilingAndOutScale) {
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
        EXPECT_EQ(P::peakTarget(e), c.ceiling);  // fresh: the ceiling-bound levels restart
    }
}

TEST(EngineSetup, TruePeakOnARunningEngine) {
    LevelerCore e;
    e.setTruePeak(-1.0f);
    std::vector<float> in = testsig::sine(997.0, 0.3, 2000), out(2000);
    e.processMono(in.data(), out.data(), 2000);
    const float target = P::peakTarget(e);
    const float holdMin = P::holdMin(e);
    e.setTruePeak(-1.0f);  // same value: nothing changes
    EXPECT_EQ(P::peakTarget(e), target);
    EXPECT_EQ(P::holdMin(e), holdMin);
    e.setTruePeak(-3.0f);  // running: new ceiling, running levels carry on
    EXPECT_EQ(e.getCeiling(), 22.654266357421875f);
    EXPECT_EQ(P::peakTarget(e), target);
}
