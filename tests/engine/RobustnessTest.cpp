// One bad sample on a running engine: NaN, infinities and finite samples
// whose square overflows must not damage the detector or silence the output.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Probe.h"
#include "Signals.h"
#include "Surround51.h"

using P = LevelerCoreProbe;

namespace {

constexpr int kRate = 48000;

// Speech-like programme: a tone whose level steps every 300 ms.
std::vector<float> programme(int samples) {
    std::vector<float> out(samples);
    const double levels[] = {0.05, 0.3, 0.1, 0.02, 0.2};
    for (int i = 0; i < samples; ++i) {
        const double amplitude = levels[(i / (kRate * 3 / 10)) % 5];
        out[i] = static_cast<float>(amplitude * (std::sin(2.0 * testsig::kPi * 310.0 * i / kRate) +
                                                 0.5 * std::sin(2.0 * testsig::kPi * 2210.0 * i / kRate)));
    }
    return out;
}

bool detectorFinite(LevelerCore& e) {
    for (int d = 0; d < 5; ++d) {
        for (float v : {P::channel(e, d).fastPower, P::channel(e, d).heldPower, P::channel(e, d).slowPower, P::channel(e, d).kPower,
                        P::channel(e, d).calibration, P::channel(e, d).calibrationTarget, P::channel(e, d).highPassState1,
                        P::channel(e, d).highPassState2, P::channel(e, d).shelfState1, P::channel(e, d).shelfState2})
            if (!std::isfinite(v)) return false;
    }
    return std::isfinite(e.getLevelerGain());
}

double rms(const std::vector<float>& x, int from, int to) {
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += double(x[i]) * x[i];
    return std::sqrt(sum / (to - from));
}

// Feeds two 5.1 units the clean programme on every channel but `channel`,
// which carries `zeroed` into the one and `poisoned` into the other. Returns
// where their outputs first differ ("channel C, sample I"), or "" when they
// are the same to the bit.
std::string firstDifference51(Surround51& expected, Surround51& actual, int channel,
                              const std::vector<float>& clean, const std::vector<float>& zeroed,
                              const std::vector<float>& poisoned) {
    const int total = static_cast<int>(clean.size());
    std::vector<std::vector<float>> out(12, std::vector<float>(total));
    const float* wantIn[6];
    const float* gotIn[6];
    float* wantOut[6];
    float* gotOut[6];
    for (int ch = 0; ch < 6; ++ch) {
        wantIn[ch] = ch == channel ? zeroed.data() : clean.data();
        gotIn[ch] = ch == channel ? poisoned.data() : clean.data();
        wantOut[ch] = out[ch].data();
        gotOut[ch] = out[6 + ch].data();
    }
    expected.process(wantIn, wantOut, total);
    actual.process(gotIn, gotOut, total);
    for (int ch = 0; ch < 6; ++ch)
        for (int i = 0; i < total; ++i)
            if (!testsig::sameBits(wantOut[ch][i], gotOut[ch][i]))
                return "channel " + std::to_string(ch) + ", sample " + std::to_string(i);
    return "";
}

}  // namespace

TEST(Robustness, OneBadSampleOnARunningEngine) {
    const int total = 8 * kRate;
    const int badAt = 3 * kRate + 1234;
    const std::vector<float> clean = programme(total);

    LevelerCore healthy;
    healthy.setMaxGain(12.0f);
    std::vector<float> reference(total);
    healthy.processMono(clean.data(), reference.data(), total);

    for (float bad : {NAN, INFINITY, -INFINITY, 1e20f, 1e30f, -3.4e38f}) {
        SCOPED_TRACE(bad);
        LevelerCore e;
        e.setMaxGain(12.0f);
        std::vector<float> in = clean, out(total);
        in[badAt] = bad;
        for (int i = 0; i < total; i += 64) {
            e.processMono(&in[i], &out[i], 64);
            ASSERT_TRUE(detectorFinite(e)) << "at sample " << i;
        }
        for (float y : out) ASSERT_TRUE(std::isfinite(y));

        // Audio is back within the latency plus 100 ms ...
        const int back = badAt + static_cast<int>(e.latency()) + kRate / 10;
        EXPECT_NEAR(testsig::db(rms(out, back, back + kRate / 10) / rms(reference, back, back + kRate / 10)), 0.0, 0.5);
        // ... and the detector keeps working: seconds later the gain is the healthy engine's.
        EXPECT_NEAR(testsig::db(e.getLevelerGain() / healthy.getLevelerGain()), 0.0, 0.05);
        EXPECT_NEAR(testsig::db(rms(out, total - kRate, total) / rms(reference, total - kRate, total)), 0.0, 0.05);
    }
}

TEST(Robustness, BadSamplesInStereoAndSurround) {
    LevelerCore stereo;
    std::vector<float> l = programme(kRate), r = programme(kRate), outL(kRate), outR(kRate);
    l[1000] = NAN;
    r[2000] = 1e30f;
    stereo.processStereo(l.data(), r.data(), outL.data(), outR.data(), kRate);
    EXPECT_TRUE(detectorFinite(stereo));
    for (int i = 0; i < kRate; ++i) ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i]));
}

TEST(Robustness, BlockSizesZeroOneAndHuge) {
    LevelerCore a, b;
    const std::vector<float> in = programme(100000);
    std::vector<float> whole(100000), single(100000);
    a.processMono(in.data(), whole.data(), 0);
    a.processMono(in.data(), whole.data(), -5);
    a.processMono(in.data(), whole.data(), 100000);
    for (int i = 0; i < 100000; ++i) b.processMono(&in[i], &single[i], 1);
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(testsig::sameBits(whole[i], single[i])) << i;
}

TEST(Robustness, NonFiniteSettingsAreIgnored) {
    LevelerCore plain, poked;
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        poked.setTargetLevel(bad);
        poked.setTruePeak(bad);
        poked.setMaxGain(bad);
        poked.setFreezeLevel(bad);
        poked.setInputLevel(bad);
        poked.setLfeGain(bad);
        poked.setChannelShare(bad);
    }
    poked.setCorrectionHigh(NAN);
    poked.setCorrectionLow(NAN);
    const std::vector<float> in = programme(kRate);
    std::vector<float> a(kRate), b(kRate);
    plain.processMono(in.data(), a.data(), kRate);
    poked.processMono(in.data(), b.data(), kRate);
    for (int i = 0; i < kRate; ++i) ASSERT_TRUE(testsig::sameBits(a[i], b[i])) << i;
}

// Paths that run no detector (static gain, and the LFE on every path) let an
// unmeasurable sample in as silence: the output is, to the bit, that of the
// same programme with a zero in its place.
TEST(Robustness, UnmeasurableSampleIsLostAloneWithoutDetector) {
    const int total = 2 * kRate;
    const int badAt = kRate / 2 + 77;
    const std::vector<float> clean = programme(total);
    for (float bad : {NAN, INFINITY, -INFINITY, 1e20f, 1e30f, -3.4e38f}) {
        SCOPED_TRACE(bad);
        std::vector<float> zeroed = clean, poisoned = clean;
        zeroed[badAt] = 0.0f;
        poisoned[badAt] = bad;

        // Static gain: both corrections at 0 %.
        LevelerCore expected, actual;
        for (LevelerCore* e : {&expected, &actual}) {
            e->setCorrectionHigh(0.0f);
            e->setCorrectionLow(0.0f);
            e->setMaxGain(6.0f);
        }
        std::vector<float> want(total), got(total);
        expected.processMono(zeroed.data(), want.data(), total);
        actual.processMono(poisoned.data(), got.data(), total);
        for (int i = 0; i < total; ++i) ASSERT_TRUE(testsig::sameBits(want[i], got[i])) << "static gain, sample " << i;

        // The 5.1 unit's LFE, with the leveler running and in static gain.
        for (bool staticGain : {false, true}) {
            Surround51 expected51, actual51;
            for (Surround51* u : {&expected51, &actual51}) {
                u->main.setLfeGain(6.0f);
                if (staticGain) {
                    u->main.setCorrectionHigh(0.0f);
                    u->main.setCorrectionLow(0.0f);
                }
            }
            ASSERT_EQ(firstDifference51(expected51, actual51, Surround51::Lfe, clean, zeroed, poisoned), "")
                << "5.1 " << (staticGain ? "static gain" : "levelling");
        }
    }
}

// Static gain in the other layouts: stereo, and the five main channels of the
// 5.1 unit, where the limiter works on the group's joint peak.
TEST(Robustness, UnmeasurableSampleIsLostAloneInStaticGainStereoAndSurround) {
    const int total = kRate;
    const int badAt = kRate / 3 + 5;
    const std::vector<float> clean = programme(total);
    for (float bad : {NAN, INFINITY, -INFINITY, 1e20f, 1e30f, -3.4e38f}) {
        SCOPED_TRACE(bad);
        std::vector<float> zeroed = clean, poisoned = clean;
        zeroed[badAt] = 0.0f;
        poisoned[badAt] = bad;

        LevelerCore expected, actual;
        for (LevelerCore* e : {&expected, &actual}) testsig::makeLimiterOnly(*e, -1.0f);
        std::vector<float> wantL(total), wantR(total), gotL(total), gotR(total);
        // The bad sample on the left; the right carries the clean programme.
        expected.processStereo(zeroed.data(), clean.data(), wantL.data(), wantR.data(), total);
        actual.processStereo(poisoned.data(), clean.data(), gotL.data(), gotR.data(), total);
        for (int i = 0; i < total; ++i)
            ASSERT_TRUE(testsig::sameBits(wantL[i], gotL[i]) && testsig::sameBits(wantR[i], gotR[i]))
                << "stereo, sample " << i;

        for (int poisonedChannel : {Surround51::Centre, Surround51::BackRight}) {
            Surround51 expected51, actual51;
            for (Surround51* u : {&expected51, &actual51}) {
                testsig::makeLimiterOnly(u->main, -1.0f);
                u->lfe.setTruePeak(-1.0f);
            }
            ASSERT_EQ(firstDifference51(expected51, actual51, poisonedChannel, clean, zeroed, poisoned), "")
                << "5.1 static gain, bad sample on channel " << poisonedChannel;
        }
    }
}
