// True-peak limiter: the ceiling guarantee, the rest level, and the attack,
// hold and release behaviour on tones and bursts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

std::vector<float> noise(double amplitude, int samples, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> out(samples);
    for (float& x : out) x = static_cast<float>(amplitude * uniform(rng));
    return out;
}

}  // namespace

TEST(Limiter, NoSampleAboveTheCeilingForAnyDrive) {
    for (float dbtp : {-1.0f, 0.0f, -5.0f}) {
        SCOPED_TRACE(dbtp);
        std::vector<std::vector<float>> programmes = {
            testsig::sine(997.0, 2.0, kRate), testsig::sine(11000.0, 8.0, kRate),
            noise(4.0, kRate, 1), noise(250.0, kRate, 2)};
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
    std::vector<float> rolledOff = noise(3.0, kRate, 7);
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

TEST(Limiter, BurstHoldsTheGainThenRecovers) {
    LevelerCore e;
    testsig::makeLimiterOnly(e, -1.0f);
    const int latency = static_cast<int>(e.latency());
    std::vector<float> in(kRate, 0.0f);
    const int burstEnd = 4800 + 96;  // 2 ms at amplitude 2.0
    for (int i = 4800; i < burstEnd; ++i) in[i] = static_cast<float>(2.0 * std::sin(2.0 * testsig::kPi * 997.0 * i / kRate));
    auto gainAt = [&](int msAfterBurst) {
        LevelerCore probe;
        testsig::makeLimiterOnly(probe, -1.0f);
        const int end = burstEnd + latency + msAfterBurst * kRate / 1000;
        std::vector<float> part(in.begin(), in.begin() + end);
        run(probe, part);
        return testsig::db(probe.getOutScale() / probe.getEnvelope());
    };
    EXPECT_LT(gainAt(100), -6.0);            // held by the quiet gate for ~125 ms
    EXPECT_NEAR(gainAt(250), -0.0085, 0.002);  // back at the rest gain ~75 ms later
}

TEST(Limiter, ReleaseAfterAToneDrop) {
    LevelerCore e;
    testsig::makeLimiterOnly(e, -1.0f);
    const int latency = static_cast<int>(e.latency());
    const double rest = testsig::db(e.getOutScale() / 28.547870635986328);
    auto reductionAt = [&](int msAfterDrop, LevelerCore& engine, int& done) {
        const int end = kRate + latency + msAfterDrop * kRate / 1000;
        for (; done < end; ++done) {
            const float amplitude = done < kRate ? 2.0f : 0.1f;
            const float x = static_cast<float>(amplitude * std::sin(2.0 * testsig::kPi * 997.0 * done / kRate));
            float y;
            engine.processMono(&x, &y, 1);
        }
        return rest - testsig::db(engine.getOutScale() / engine.getEnvelope());
    };
    int done = 0;
    EXPECT_NEAR(reductionAt(0, e, done), 7.1, 0.1);
    EXPECT_NEAR(reductionAt(100, e, done), 6.0, 0.3);
    EXPECT_NEAR(reductionAt(400, e, done), 1.0, 0.3);
    EXPECT_LT(reductionAt(1000, e, done), 0.05);
}

TEST(Limiter, ImpulseLeavesAfterExactlyTheLatency) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        LevelerCore e;
        e.setSampleRate(rate);
        const int latency = static_cast<int>(e.latency());
        EXPECT_EQ(latency, static_cast<int>(P::lookahead(e).length + P::limiter(e).limLen + 6));
        std::vector<float> in(latency + 500, 0.0f);
        in[100] = 0.25f;
        const std::vector<float> out = run(e, in);
        for (int i = 0; i < static_cast<int>(out.size()); ++i) {
            if (i == 100 + latency)
                EXPECT_NEAR(out[i], 0.25f, 0.01f);
            else
                ASSERT_EQ(out[i], 0.0f) << i;
        }
    }
}
