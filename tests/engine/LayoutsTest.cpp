// Linked stereo and 5.1 groups, the LFE hand-over between the two engines of
// a 5.1 unit, and in-place processing.
#include <gtest/gtest.h>

#include <cmath>

#include "Probe.h"
#include "Signals.h"
#include "Surround51.h"

using P = LevelerCoreProbe;

namespace {

constexpr int kRate = 48000;

// Six channels of samples, processed in place.
struct SixChannels {
    std::vector<float> ch[6];
    explicit SixChannels(int samples) {
        for (auto& c : ch) c.assign(samples, 0.0f);
    }
    // Through a 5.1 unit, or the first `channels` through one engine.
    void process(Surround51& unit, int channels = 6) {
        float* io[6];
        for (int c = 0; c < 6; ++c) io[c] = ch[c].data();
        const int n = static_cast<int>(ch[0].size());
        if (channels == 1) unit.main.processMono(io[0], io[0], n);
        if (channels == 2) unit.main.processStereo(io[0], io[1], io[0], io[1], n);
        if (channels == 6) unit.process(io, io, n);
    }
};

void setUp51(Surround51& unit) {
    unit.main.setChannelShare(0.2f);
}

}  // namespace

TEST(Layouts, StereoWithIdenticalChannelsEqualsMono) {
    LevelerCore mono, stereo;
    const std::vector<float> in = testsig::noise(0.2, 3 * kRate, 1);
    std::vector<float> outMono(in.size()), outL(in.size()), outR(in.size());
    mono.processMono(in.data(), outMono.data(), static_cast<int32_t>(in.size()));
    stereo.processStereo(in.data(), in.data(), outL.data(), outR.data(), static_cast<int32_t>(in.size()));
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_TRUE(testsig::sameBits(outMono[i], outL[i])) << i;
        ASSERT_TRUE(testsig::sameBits(outMono[i], outR[i])) << i;
    }
}

TEST(Layouts, BackChannelsWeighMoreThanFrontChannels) {
    // Full linear correction: gain = T / sqrt(P), so 1/gain^2 is proportional to P.
    auto inverseSquareGain = [](int left, int right) {
        Surround51 unit;
        setUp51(unit);
        unit.main.setMaxGain(30.0f);
        SixChannels io(kRate);
        io.ch[left] = testsig::noise(0.3, kRate, 3);
        io.ch[right] = testsig::noise(0.3, kRate, 4);
        io.process(unit);
        const double g = unit.main.getLevelerGain();
        return 1.0 / (g * g);
    };
    const double front = inverseSquareGain(Surround51::FrontLeft, Surround51::FrontRight);
    const double back = inverseSquareGain(Surround51::BackLeft, Surround51::BackRight);
    EXPECT_NEAR(back / front, 1.4140625, 1e-4);
}

TEST(Layouts, LfeOnlyInputLeavesTheMainChannelsAlone) {
    Surround51 unit, silent;
    setUp51(unit);
    setUp51(silent);
    unit.main.setLfeGain(6.0f);
    const int latency = static_cast<int>(unit.latency());
    SixChannels io(kRate), quiet(kRate);
    const std::vector<float> lfe = testsig::sine(60.0, 0.2, kRate);
    io.ch[Surround51::Lfe] = lfe;
    io.process(unit);
    quiet.process(silent);
    EXPECT_EQ(unit.main.getLevelerGain(), silent.main.getLevelerGain());
    for (int c : {0, 1, 2, 4, 5})
        for (float y : io.ch[c]) ASSERT_EQ(y, 0.0f);
    // x LFE Gain (6 dB), delayed by the full latency, at the limiter's rest gain.
    const double gain = std::pow(10.0, 6.0 / 20.0);
    for (int i = latency + 2000; i < kRate; i += 997)
        EXPECT_NEAR(io.ch[Surround51::Lfe][i], lfe[i - latency] * gain, 0.002) << i;
}

TEST(Layouts, PeaksAreLimitedPerGroup) {
    const int n = kRate;
    SixChannels base(n);
    for (int c = 0; c < 6; ++c) base.ch[c] = testsig::noise(0.02, n, 10 + c);
    auto render = [&](int hotChannel) {
        Surround51 unit;
        setUp51(unit);
        SixChannels io = base;
        if (hotChannel >= 0)
            for (int i = 20000; i < 20480; ++i) io.ch[hotChannel][i] = (i % 2 ? 3.0f : -3.0f);
        io.process(unit);
        return io;
    };
    const SixChannels plain = render(-1);
    const int at = 20000 + static_cast<int>(Surround51().latency()) + 100;

    // A hot centre: all five main channels drop by the same gain, the LFE not at all.
    const SixChannels centre = render(Surround51::Centre);
    const double ratio = centre.ch[0][at] / plain.ch[0][at];
    EXPECT_LT(ratio, 0.5);
    for (int c : {1, 4, 5}) EXPECT_NEAR(centre.ch[c][at] / plain.ch[c][at], ratio, 1e-4) << c;
    for (int i = 0; i < n; ++i) ASSERT_TRUE(testsig::sameBits(centre.ch[3][i], plain.ch[3][i])) << i;

    // A hot LFE: only the LFE drops.
    const SixChannels lfe = render(Surround51::Lfe);
    for (int c : {0, 1, 2, 4, 5})
        for (int i = 0; i < n; ++i) ASSERT_TRUE(testsig::sameBits(lfe.ch[c][i], plain.ch[c][i])) << c;
    EXPECT_LE(std::fabs(lfe.ch[3][at]), 1.0f);
}

TEST(Layouts, ImpulseOnEveryChannelLeavesAfterTheLatency) {
    for (int channels : {1, 2, 6}) {
        for (int ch = 0; ch < channels; ++ch) {
            Surround51 unit;
            if (channels == 6) setUp51(unit);
            SixChannels io(2500);
            io.ch[ch][10] = 0.5f;
            io.process(unit, channels);
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < 2500; ++i)
                    ASSERT_EQ(io.ch[c][i] != 0.0f, c == ch && i == 10 + static_cast<int>(unit.latency()))
                        << channels << " channels, impulse on " << ch << ", channel " << c << ", sample " << i;
        }
    }
}

TEST(Layouts, InPlaceAndChunkedProcessingGiveTheSameBits) {
    const int n = 3 * kRate + 17;
    SixChannels source(n);
    for (int c = 0; c < 6; ++c) source.ch[c] = testsig::noise(c == 3 ? 0.8 : 0.3, n, 20 + c);

    // Separate buffers, one call.
    Surround51 separate;
    setUp51(separate);
    SixChannels outSeparate(n);
    const float* in[6];
    float* out[6];
    for (int c = 0; c < 6; ++c) {
        in[c] = source.ch[c].data();
        out[c] = outSeparate.ch[c].data();
    }
    separate.process(in, out, n);

    // Every input buffer is its own output buffer, odd block sizes.
    Surround51 inPlace;
    setUp51(inPlace);
    SixChannels io = source;
    for (int done = 0, block = 1; done < n; done += block, block = block * 3 % 1001 + 1) {
        const int count = std::min(block, n - done);
        const float* in[6];
        float* out[6];
        for (int c = 0; c < 6; ++c) in[c] = out[c] = io.ch[c].data() + done;
        inPlace.process(in, out, count);
    }
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < n; ++i) ASSERT_TRUE(testsig::sameBits(io.ch[c][i], outSeparate.ch[c][i])) << c << " " << i;

    // Mono and stereo in place.
    LevelerCore a, b;
    std::vector<float> l = source.ch[0], r = source.ch[1], outL(n), outR(n);
    a.processStereo(l.data(), r.data(), outL.data(), outR.data(), n);
    b.processStereo(l.data(), r.data(), l.data(), r.data(), n);
    for (int i = 0; i < n; ++i) ASSERT_TRUE(testsig::sameBits(l[i], outL[i]) && testsig::sameBits(r[i], outR[i]));
}
