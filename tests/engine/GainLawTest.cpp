// Gain law: both laws' numbers, the branch choice and the fixed-gain mode.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

namespace {

// Programme power of a loudness in LUFS.
double powerOf(double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); }

double gainDbAt(LevelerCore& e, double lufs) {
    P::gainFor(e, powerOf(lufs));
    return testsig::db(e.getLevelerGain());
}

LevelerCore* halfCorrection(int mode) {
    auto* e = new LevelerCore;
    e->setMaxGain(30.0f);
    e->setCorrectionHigh(50.0f);
    e->setCorrectionLow(50.0f);
    e->setMixMode(mode);
    return e;
}

}  // namespace

TEST(GainLaw, LogAndLinearLawsAtHalfCorrection) {
    std::unique_ptr<LevelerCore> log(halfCorrection(3)), lin(halfCorrection(0));
    EXPECT_TRUE(P::law(*log).highUsesLogLaw && P::law(*log).lowUsesLogLaw);
    EXPECT_NEAR(gainDbAt(*log, -10.0), -5.0, 1e-4);
    EXPECT_NEAR(gainDbAt(*lin, -10.0), -3.634, 1e-3);
    EXPECT_NEAR(gainDbAt(*log, -30.0), 5.0, 1e-4);
    EXPECT_NEAR(gainDbAt(*lin, -30.0), 6.366, 1e-3);
    EXPECT_NEAR(gainDbAt(*log, -50.0), 15.0, 1e-4);
    EXPECT_NEAR(gainDbAt(*lin, -50.0), 24.25, 1e-2);
}

TEST(GainLaw, FullCorrectionIsTargetMinusLoudnessInBothLaws) {
    std::unique_ptr<LevelerCore> e(halfCorrection(3));
    e->setCorrectionHigh(100.0f);
    e->setCorrectionLow(100.0f);
    EXPECT_FALSE(P::law(*e).highUsesLogLaw || P::law(*e).lowUsesLogLaw);  // 100 % keeps the linear law
    for (double lufs : {-45.0, -30.0, -20.0, -12.0}) EXPECT_NEAR(gainDbAt(*e, lufs), -20.0 - lufs, 1e-4);
}

TEST(GainLaw, MaxGainLimitsFromAbove) {
    LevelerCore e;  // max gain 0 dB: the leveler only attenuates
    EXPECT_EQ((P::gainFor(e, powerOf(-40.0)), e.getLevelerGain()), 1.0f);
    EXPECT_LT((P::gainFor(e, powerOf(-10.0)), e.getLevelerGain()), 1.0f);
}

TEST(GainLaw, PowerEqualToInputPowerUsesTheLowBranch) {
    LevelerCore e;
    e.setMaxGain(30.0f);
    // The branches meet at the input level by design; mark the high branch
    // so that the branch taken shows in the gain.
    P::law(e).highLinearOffset = 5.0;
    const double atInput = P::inputPower(e);
    P::gainFor(e, atInput);
    EXPECT_LT(e.getLevelerGain(), 2.0f);
    P::gainFor(e, std::nextafter(atInput, 1.0));
    EXPECT_GT(e.getLevelerGain(), 5.0f);
}

TEST(GainLaw, BothCorrectionsZeroGiveAFixedGainAndFreezeTheDetector) {
    LevelerCore e;
    e.setMaxGain(30.0f);
    e.setTargetLevel(-14.0f);
    e.setInputLevel(-20.0f);
    e.setCorrectionHigh(0.0f);
    e.setCorrectionLow(0.0f);
    EXPECT_TRUE(P::staticGainMode(e));
    const float antiDenormal = P::detector(e).state.antiDenormal;
    const float held = P::channel(e).heldPower;
    std::vector<float> in = testsig::sine(440.0, 0.3, 4800), out(4800);
    e.processMono(in.data(), out.data(), 4800);
    EXPECT_NEAR(testsig::db(e.getLevelerGain()), 6.0, 1e-5);
    EXPECT_EQ(P::detector(e).state.antiDenormal, antiDenormal);
    EXPECT_EQ(P::channel(e).heldPower, held);
    EXPECT_EQ(P::channel(e).highPassState1, 0.0f);
}

TEST(GainLaw, MixModeSelectsTheLogLawOnlyBelowFullCorrection) {
    LevelerCore e;
    e.setMixMode(2);
    EXPECT_FALSE(P::law(e).highUsesLogLaw || P::law(e).lowUsesLogLaw);
    e.setCorrectionHigh(99.0f);
    EXPECT_TRUE(P::law(e).highUsesLogLaw);
    EXPECT_FALSE(P::law(e).lowUsesLogLaw);
    e.setMixMode(7);  // unknown: the laws stay as they were
    EXPECT_TRUE(P::law(e).highUsesLogLaw);
}

TEST(GainLaw, LookaheadDelayIsExactlyItsLength) {
    for (float rate : {48000.0f, 44100.0f}) {
        LevelerCore e;
        e.setSampleRate(rate);
        e.setCorrectionHigh(0.0f);
        e.setCorrectionLow(0.0f);
        const int length = P::lookahead(e).length;
        std::vector<float> in(length + 20, 0.0f), out(in.size());
        in[3] = 0.5f;
        // Watch the gained sample entering the true-peak ring.
        int seenAt = -1;
        for (int i = 0; i < static_cast<int>(in.size()); ++i) {
            e.processMono(&in[i], &out[i], 1);
            const int slot = (P::estimator(e).write + 11) % 12;
            if (P::estimator(e).ring[0][slot] != 0.0f && seenAt < 0) seenAt = i;
        }
        EXPECT_EQ(seenAt - 3, length) << rate;
        EXPECT_EQ(length, rate == 48000.0f ? 1632 : 1499);
    }
}
