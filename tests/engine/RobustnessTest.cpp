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

// One group of 1, 2 or 6 channels, set up by `configure`, fed the clean
// programme on every channel but `channel`, which carries `odd`.
using Configure = void (*)(Surround51&);
std::vector<std::vector<float>> render(int channels, Configure configure, int channel, const std::vector<float>& clean,
                                       const std::vector<float>& odd) {
    Surround51 unit;  // mono and stereo run its main engine alone
    configure(unit);
    const int n = static_cast<int>(clean.size());
    std::vector<std::vector<float>> out(channels, std::vector<float>(n));
    const float* in[6];
    float* o[6];
    for (int ch = 0; ch < channels; ++ch) {
        in[ch] = ch == channel ? odd.data() : clean.data();
        o[ch] = out[ch].data();
    }
    if (channels == 1) unit.main.processMono(in[0], o[0], n);
    if (channels == 2) unit.main.processStereo(in[0], in[1], o[0], o[1], n);
    if (channels == 6) unit.process(in, o, n);
    return out;
}

// Where two renders first differ ("channel C, sample I"), or "" when they
// are the same to the bit.
std::string firstDifference(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
    for (size_t ch = 0; ch < a.size(); ++ch)
        for (size_t i = 0; i < a[ch].size(); ++i)
            if (!testsig::sameBits(a[ch][i], b[ch][i]))
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

// Paths that run no detector (static gain in every layout, and the 5.1 LFE
// on every path) let an unmeasurable sample in as silence: the output is, to
// the bit, that of the same programme with a zero in its place, and in 5.1
// the limiter works on the group's joint peak.
TEST(Robustness, UnmeasurableSampleIsLostAloneWithoutDetector) {
    auto staticGain = [](Surround51& u) {
        u.main.setCorrectionHigh(0.0f);
        u.main.setCorrectionLow(0.0f);
        u.main.setMaxGain(6.0f);
    };
    auto limiterOnly = [](Surround51& u) {
        testsig::makeLimiterOnly(u.main, -1.0f);
        u.lfe.setTruePeak(-1.0f);
    };
    const struct {
        const char* name;
        int channels, channel;
        Configure configure;
    } cases[] = {
        {"mono, static gain", 1, 0, staticGain},
        {"stereo, static gain, left", 2, 0, limiterOnly},
        {"5.1 LFE, levelling", 6, Surround51::Lfe, [](Surround51& u) { u.main.setLfeGain(6.0f); }},
        {"5.1 LFE, static gain", 6, Surround51::Lfe,
         [](Surround51& u) {
             u.main.setLfeGain(6.0f);
             u.main.setCorrectionHigh(0.0f);
             u.main.setCorrectionLow(0.0f);
         }},
        {"5.1 centre, static gain", 6, Surround51::Centre, limiterOnly},
        {"5.1 back right, static gain", 6, Surround51::BackRight, limiterOnly},
    };
    const int badAt = kRate / 3 + 5;
    const std::vector<float> clean = programme(kRate);
    for (float bad : {NAN, INFINITY, -INFINITY, 1e20f, 1e30f, -3.4e38f}) {
        std::vector<float> zeroed = clean, poisoned = clean;
        zeroed[badAt] = 0.0f;
        poisoned[badAt] = bad;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(bad));
            EXPECT_EQ(firstDifference(render(c.channels, c.configure, c.channel, clean, zeroed),
                                      render(c.channels, c.configure, c.channel, clean, poisoned)),
                      "");
        }
    }
}
