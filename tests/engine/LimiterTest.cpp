// True-peak limiter: the ceiling guarantee, the rest level, and the attack,
// hold and release behaviour on tones and bursts.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"

using P = LevelerCoreProbe;

namespace {

constexpr int kRate = 48000;

std::vector<float> run(LevelerCore& e, const std::vector<float>& in) {
    std::vector<float> out(in.size());
    e.processMono(in.data(), out.data(), static_cast<int32_t>(in.size()));
    return out;
}

// The largest true-peak estimate of a signal, by the engine's own estimator.
float estimatedPeak(const std::vector<float>& signal) {
    LevelerCore meter;
    float peak = 0.0f, centre;
    for (float x : signal) peak = std::max(peak, P::truePeak(meter, x, &centre));
    return peak;
}

}  // namespace

TEST(Limiter, NoSampleAboveTheCeilingForAnyDrive) {
    for (float dbtp : {-1.0f, 0.0f, -5.0f}) {
        SCOPED_TRACE(dbtp);
        std::vector<std::vector<float>> programmes = {
            testsig::sine(997.0, 2.0, kRate), testsig::sine(11000.0, 8.0, kRate),
            testsig::noise(4.0, kRate, 1), testsig::noise(250.0, kRate, 2)};
        std::vector<float> clicks(kRate, 0.0f);
        for (int i = 0; i < kRate; i += 777) clicks[i] = (i / 777) % 2 ? 30.0f : -30.0f;
        programmes.push_back(clicks);
        for (const auto& programme : programmes) {
            LevelerCore e;
            testsig::makeLimiterOnly(e, dbtp);
            const float limit = e.getOutScale() / 31.999996185302734f;
            for (float y : run(e, programme)) ASSERT_LE(std::fabs(y), limit * (1.0f + 0x1p-22f));
        }
    }
}

TEST(Limiter, EstimatedPeakOfTheOutputStaysUnderTheLimitAtNormalDrive) {
    // Programme-like material a few dB over the ceiling: tones and noise with
    // the top octaves rolled off (white noise to Nyquist moves the envelope
    // every sample and reads up to 0.025 dB over on the output).
    std::vector<float> rolledOff = testsig::noise(3.0, kRate, 7);
    float state = 0.0f;
    for (float& x : rolledOff) x = state = state + 0.35f * (x - state);
    // Tones: within rounding. Rolled-off noise: the envelope still moves
    // between neighbouring samples, which the interpolator sees as at most
    // 0.001 dB.
    const struct { std::vector<float> signal; float tolerance; } cases[] = {
        {testsig::sine(997.0, 2.0, kRate), 1e-5f},
        {testsig::sine(5000.0, 1.5, kRate), 1e-5f},
        {rolledOff, 1.2e-4f}};
    for (const auto& c : cases) {
        LevelerCore e;
        testsig::makeLimiterOnly(e, -1.0f);
        const float limit = e.getOutScale() / 31.999996185302734f;
        EXPECT_LE(estimatedPeak(run(e, c.signal)), limit * (1.0f + c.tolerance));
        EXPECT_LT(limit, 0.891252f);
    }
}

TEST(Limiter, SilenceSettlesJustAboveTheCeiling) {
    LevelerCore e;
    std::vector<float> silence(kRate, 0.0f);
    for (float y : run(e, silence)) ASSERT_EQ(y, 0.0f);
    EXPECT_EQ(e.getEnvelope(), 32.0f * 1.0009765625f);

    e.setTruePeak(-1.0f);
    e.reset();
    run(e, silence);
    EXPECT_EQ(e.getEnvelope(), 28.547870635986328f);
    // A quiet signal then passes with the rest gain, -0.0085 dB at -1 dBTP.
    EXPECT_NEAR(testsig::db(e.getOutScale() / e.getEnvelope()), -0.0085, 0.0005);
}

TEST(Limiter, SineAtTwiceFullScale) {
    LevelerCore e;
    testsig::makeLimiterOnly(e, -1.0f);
    const int lookahead = P::lookahead(e).length;
    const std::vector<float> tone = testsig::sine(997.0, 2.0, 2 * kRate);
    int firstClimb = -1;
    float largest = 0.0f;
    for (int i = 0; i < static_cast<int>(tone.size()); ++i) {
        const float before = e.getEnvelope();
        float y;
        e.processMono(&tone[i], &y, 1);
        if (firstClimb < 0 && i >= lookahead && e.getEnvelope() > before) firstClimb = i - lookahead;
        largest = std::max(largest, std::fabs(y));
    }
    EXPECT_GE(firstClimb, 0);
    EXPECT_LE(firstClimb, 12);  // within a few samples of the first peaks entering the estimator
    EXPECT_LT(largest, 0.8913f);
    EXPECT_NEAR(testsig::db(e.getOutScale() / e.getEnvelope()), -7.09, 0.03);
}

// The limiter's reduction (dB under the rest gain) at times after an event
// in a 997 Hz tone: a 2 ms burst at amplitude 2.0 in silence is held by the
// quiet gate for about 125 ms, then released to the rest gain within about
// 75 ms; after the tone at 2.0 drops by 26 dB, the reduction follows the
// slow peak down over a second.
TEST(Limiter, ReductionAfterABurstAndAfterAToneDrop) {
    auto burst = [](int i) { return i >= 4800 && i < 4896 ? 2.0 : 0.0; };
    auto drop = [](int i) { return i < kRate ? 2.0 : 0.1; };
    const struct {
        double (*amplitude)(int);
        int event, ms;
        double least, most;
    } rows[] = {
        {burst, 4896, 100, 5.99, 60.0}, {burst, 4896, 250, -0.002, 0.002},
        {drop, kRate, 0, 7.0, 7.2},     {drop, kRate, 100, 5.7, 6.3},
        {drop, kRate, 400, 0.7, 1.3},   {drop, kRate, 1000, -0.05, 0.05},
    };
    for (const auto& row : rows) {
        LevelerCore e;
        testsig::makeLimiterOnly(e, -1.0f);
        const double rest = testsig::db(e.getOutScale() / 28.547870635986328);
        std::vector<float> in(row.event + e.latency() + row.ms * kRate / 1000);
        for (int i = 0; i < static_cast<int>(in.size()); ++i)
            in[i] = static_cast<float>(row.amplitude(i) * std::sin(2.0 * testsig::kPi * 997.0 * i / kRate));
        run(e, in);
        const double reduction = rest - testsig::db(e.getOutScale() / e.getEnvelope());
        EXPECT_GE(reduction, row.least) << row.event << " + " << row.ms << " ms";
        EXPECT_LE(reduction, row.most) << row.event << " + " << row.ms << " ms";
    }
}

// An impulse enters the estimator exactly the look-ahead delay after it
// entered, and leaves exactly the latency after it entered, at full size.
TEST(Limiter, ImpulseLeavesAfterTheDelayAndTheLatency) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        LevelerCore e;
        e.setSampleRate(rate);
        const orvanta::TruePeakEstimator& estimator = P::estimator(e);
        const int latency = static_cast<int>(e.latency());
        EXPECT_EQ(latency, P::lookahead(e).length + P::limiter(e).limLen + orvanta::TruePeakEstimator::kCentreDelay);
        std::vector<float> in(latency + 500, 0.0f), out(in.size());
        in[100] = 0.25f;
        int seenAt = -1;
        for (size_t i = 0; i < in.size(); ++i) {
            e.processMono(&in[i], &out[i], 1);
            const int newest = (estimator.write + 11) % 12;
            if (seenAt < 0 && estimator.ring[0][newest] != 0.0f) seenAt = static_cast<int>(i);
        }
        EXPECT_EQ(seenAt - 100, P::lookahead(e).length);
        for (int i = 0; i < static_cast<int>(out.size()); ++i) {
            if (i == 100 + latency)
                EXPECT_NEAR(out[i], 0.25f, 0.01f);
            else
                ASSERT_EQ(out[i], 0.0f) << i;
        }
    }
}
