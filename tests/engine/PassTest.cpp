// The staged passes against the frame-by-frame path: every layout, law and
// rate, any block size, unmeasurable input samples, and overflow recoveries
// at the first, a middle and the last frame of a block must give the same
// bits, meters and recovery counts.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "Probe.h"
#include "Signals.h"
#include "Surround51.h"

using P = LevelerCoreProbe;

namespace {

enum class Layout { Mono, Stereo, Surround };

int channelsOf(Layout layout) { return layout == Layout::Mono ? 1 : layout == Layout::Stereo ? 2 : 6; }

// Noise and tones with level steps, digital silence, a stretch under the
// freeze level, bursts over the ceiling and a few unmeasurable samples.
std::vector<float> programme(int samples, unsigned seed, float rate) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<float> out(samples);
    const double levels[] = {0.3, 0.05, 0.0, 0.8, 0.002, 0.15};
    for (int i = 0; i < samples; ++i) {
        const double level = levels[(i / static_cast<int>(rate * 0.2f)) % 6];
        double x = level * (0.5 * gauss(rng) + std::sin(0.031 * (seed + 1) * i));
        if (i % 7001 < 40) x += (i & 1) ? 1.9 : -1.9;
        out[i] = static_cast<float>(x);
    }
    for (int at : {1111, 5003, 9999}) out[(at * (seed + 3)) % samples] = NAN;
    out[(7777 * (seed + 1)) % samples] = INFINITY;
    out[(3333 * (seed + 2)) % samples] = -3e30f;
    return out;
}

struct Outcome {
    std::vector<std::vector<float>> out;
    uint32_t recoveries = 0;
    float gain = 0, envelope = 0, deepest = 0;
};

// Runs `in` through one group in blocks of `block` samples; `beforeBlock`
// may plant values in the main engine before block b.
enum class Path { FrameByFrame, Staged, StagedBaseline };

Outcome run(Layout layout, const std::function<void(LevelerCore&)>& configure, float rate,
        const std::vector<std::vector<float>>& in, int block, Path path,
        const std::function<void(LevelerCore&, int)>& beforeBlock = nullptr) {
    Surround51 unit;
    LevelerCore& engine = unit.main;
    if (layout == Layout::Surround) engine.setChannelShare(0.2f);
    configure(engine);
    if (layout == Layout::Surround) unit.lfe.setTruePeak(-1.0f);
    unit.setSampleRate(rate);
    P::sampleBySampleOnly(engine) = path == Path::FrameByFrame;
    // The baseline kernels, also where the processor would take wider ones.
    if (path == Path::StagedBaseline) P::useAvx2(engine) = false;

    const int n = static_cast<int>(in[0].size());
    Outcome r;
    r.out.assign(in.size(), std::vector<float>(n));
    for (int done = 0, b = 0; done < n; done += block, ++b) {
        const int count = std::min(block, n - done);
        if (beforeBlock) beforeBlock(engine, b);
        if (layout == Layout::Mono) {
            engine.processMono(&in[0][done], &r.out[0][done], count);
        } else if (layout == Layout::Stereo) {
            engine.processStereo(&in[0][done], &in[1][done], &r.out[0][done], &r.out[1][done], count);
        } else {
            const float* ip[6];
            float* op[6];
            for (int c = 0; c < 6; ++c) {
                ip[c] = &in[c][done];
                op[c] = &r.out[c][done];
            }
            unit.process(ip, op, count);
        }
    }
    r.recoveries = engine.overflowRecoveryCount() + unit.lfe.overflowRecoveryCount();
    r.gain = engine.getLevelerGain();
    r.envelope = engine.getEnvelope();
    r.deepest = engine.getDeepestEnvelope();
    return r;
}

void expectSame(const Outcome& staged, const Outcome& frames) {
    ASSERT_EQ(staged.recoveries, frames.recoveries);
    EXPECT_TRUE(testsig::sameBits(staged.gain, frames.gain));
    EXPECT_TRUE(testsig::sameBits(staged.envelope, frames.envelope));
    EXPECT_TRUE(testsig::sameBits(staged.deepest, frames.deepest));
    for (size_t c = 0; c < staged.out.size(); ++c)
        for (size_t i = 0; i < staged.out[c].size(); ++i)
            ASSERT_TRUE(testsig::sameBits(staged.out[c][i], frames.out[c][i]))
                << "channel " << c << " sample " << i << ": " << staged.out[c][i] << " vs " << frames.out[c][i];
}

std::vector<std::vector<float>> inputs(Layout layout, int samples, float rate) {
    std::vector<std::vector<float>> in;
    for (int c = 0; c < channelsOf(layout); ++c) in.push_back(programme(samples, 10u + c, rate));
    return in;
}

struct Setting {
    const char* name;
    float rate;
    std::function<void(LevelerCore&)> apply;
};

const Setting kSettings[] = {
    {"defaults", 48000.0f, [](LevelerCore&) {}},
    {"log law low, 44.1 kHz", 44100.0f,
     [](LevelerCore& e) {
         e.setTruePeak(-1.0f);
         e.setMaxGain(12.0f);
         e.setCorrectionLow(70.0f);
         e.setMixMode(3);
     }},
    {"log law both, freeze -30, 8 kHz", 8000.0f,
     [](LevelerCore& e) {
         e.setCorrectionHigh(40.0f);
         e.setCorrectionLow(60.0f);
         e.setMixMode(3);
         e.setFreezeLevel(-30.0f);
         e.setMaxGain(20.0f);
     }},
    {"log law high, input -30", 96000.0f,
     [](LevelerCore& e) {
         e.setInputLevel(-30.0f);
         e.setCorrectionHigh(25.0f);
         e.setMixMode(2);
         e.setTruePeak(-3.0f);
     }},
    {"linear law 50/30", 48000.0f,
     [](LevelerCore& e) {
         e.setCorrectionHigh(50.0f);
         e.setCorrectionLow(30.0f);
         e.setTargetLevel(-16.0f);
         e.setMaxGain(9.0f);
     }},
    {"fixed gain", 48000.0f,
     [](LevelerCore& e) {
         e.setCorrectionHigh(0.0f);
         e.setCorrectionLow(0.0f);
         e.setTargetLevel(-10.0f);
         e.setMaxGain(6.0f);
     }},
};

}  // namespace

TEST(Passes, EveryLayoutLawAndRateGivesTheFrameByFrameBits) {
    for (const Setting& s : kSettings) {
        for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround}) {
            SCOPED_TRACE(std::string(s.name) + ", channels " + std::to_string(channelsOf(layout)));
            const auto in = inputs(layout, static_cast<int>(s.rate * 1.5f), s.rate);
            const Outcome frames = run(layout, s.apply, s.rate, in, 512, Path::FrameByFrame);
            for (int block : {512, 64, 1000, 1}) {
                SCOPED_TRACE(block);
                expectSame(run(layout, s.apply, s.rate, in, block, Path::Staged), frames);
            }
            expectSame(run(layout, s.apply, s.rate, in, 300, Path::StagedBaseline), frames);
        }
    }
}

// The overflow recovery clears the delay lines and filters in the middle of
// the walk: a block that meets it must take the frame-by-frame path, so the
// recovery lands on exactly the frame it lands on there.
TEST(Passes, RecoveryAtFirstMiddleAndLastFrameOfABlock) {
    const float rate = 48000.0f;
    const auto apply = kSettings[1].apply;
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround}) {
        const auto in = inputs(layout, 40000, rate);
        for (int block : {64, 512}) {
            for (int frame : {0, block / 2 - 1, block - 1, 255}) {
                for (float bad : {NAN, INFINITY}) {
                    SCOPED_TRACE(std::to_string(channelsOf(layout)) + " channels, block " + std::to_string(block) +
                                 ", frame " + std::to_string(frame) + ", " + std::to_string(bad));
                    // A NaN starts the recovery when it is the centre sample,
                    // 6 frames after it leaves the delay line; an infinity at once.
                    const int target = 40 * block + frame;  // frame of the first recovery
                    const int leaves = std::isnan(bad) ? target - 6 : target;
                    const int plantBlock = leaves / block - 1;
                    auto plant = [&](LevelerCore& e, int b) {
                        if (b != plantBlock) return;
                        const int len = P::lookaheadLength(e);
                        const int slot = (P::lookaheadIndex(e) + leaves - b * block) % len;
                        P::lookaheadDelay(e)[layout == Layout::Surround ? 4 : channelsOf(layout) - 1][slot] = bad;
                    };
                    const Outcome frames = run(layout, apply, rate, in, block, Path::FrameByFrame, plant);
                    const Outcome staged = run(layout, apply, rate, in, block, Path::Staged, plant);
                    // The programme's own unmeasurable samples never reach the
                    // estimator; the planted one does.
                    EXPECT_EQ(frames.recoveries, std::isnan(bad) ? 1u : 12u);
                    expectSame(staged, frames);
                }
            }
        }
    }
}

// An infinite LFE sample planted in the main engine's LFE line reaches only
// the LFE engine's reduced recovery, 12 times.
TEST(Passes, LfeRecoveryMatchesTheFrameByFramePath) {
    const float rate = 48000.0f;
    const auto in = inputs(Layout::Surround, 20000, rate);
    auto plant = [](LevelerCore& e, int b) {
        if (b == 3) P::lookaheadDelay(e)[3][(P::lookaheadIndex(e) + 100) % P::lookaheadLength(e)] = INFINITY;
    };
    const Outcome frames = run(Layout::Surround, kSettings[0].apply, rate, in, 128, Path::FrameByFrame, plant);
    const Outcome staged = run(Layout::Surround, kSettings[0].apply, rate, in, 128, Path::Staged, plant);
    EXPECT_EQ(frames.recoveries, 12u);
    expectSame(staged, frames);
}

// Settings that change between blocks reach the next pass: law, mode, input
// level, maximum gain and ceiling, on a programme with silent stretches in
// which the detector stands still.
TEST(Passes, SettingsChangedBetweenBlocks) {
    const float rate = 48000.0f;
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround}) {
        SCOPED_TRACE(channelsOf(layout));
        const auto in = inputs(layout, 60000, rate);
        auto change = [](LevelerCore& e, int b) {
            switch (b % 40) {
                case 5: e.setMixMode(3); e.setCorrectionLow(50.0f); break;
                case 12: e.setInputLevel(-26.0f); break;
                case 19: e.setMaxGain(3.0f); break;
                case 23: e.setCorrectionHigh(0.0f); e.setCorrectionLow(0.0f); break;
                case 27: e.setCorrectionHigh(80.0f); e.setMixMode(1); break;
                case 31: e.setTruePeak(-4.0f); break;
                case 36: e.setMaxGain(15.0f); e.setMixMode(0); break;
                default: break;
            }
        };
        const Outcome frames = run(layout, kSettings[0].apply, rate, in, 160, Path::FrameByFrame, change);
        expectSame(run(layout, kSettings[0].apply, rate, in, 160, Path::Staged, change), frames);
    }
}

// In digital silence the detector stands still and the programme power
// repeats exactly; a new law must still take effect at once.
TEST(Passes, LawChangeDuringSilence) {
    const float rate = 48000.0f;
    std::vector<std::vector<float>> in{std::vector<float>(4 * 48000, 0.0f)};
    auto change = [](LevelerCore& e, int b) {
        if (b == 500) e.setTargetLevel(-14.0f);
        if (b == 600) e.setMaxGain(2.0f);
        if (b == 700) e.setInputLevel(-40.0f);
    };
    for (const Setting& s : kSettings) {
        SCOPED_TRACE(s.name);
        const Outcome frames = run(Layout::Mono, s.apply, rate, in, 256, Path::FrameByFrame, change);
        expectSame(run(Layout::Mono, s.apply, rate, in, 256, Path::Staged, change), frames);
    }
}

// The main engine driven on its own, with the LFE engine called after it on
// the same block as the hand-over interface describes, gives the bits of the
// 5.1 unit, in which the LFE engine steps along inside the main engine's pass.
TEST(Passes, SurroundEnginesCalledSeparatelyGiveTheUnitsBits) {
    const float rate = 48000.0f;
    const int n = 30000;
    const auto in = inputs(Layout::Surround, n, rate);
    const Outcome unit = run(Layout::Surround, kSettings[1].apply, rate, in, 200, Path::Staged);

    LevelerCore main, lfe;
    main.setChannelShare(0.2f);
    kSettings[1].apply(main);
    lfe.setTruePeak(-1.0f);
    std::vector<std::vector<float>> out(6, std::vector<float>(n));
    std::vector<float> centre(200), peak(200);
    for (int done = 0; done < n; done += 200) {
        const int count = std::min(200, n - done);
        const float* ip[6];
        float* op[6];
        for (int c = 0; c < 6; ++c) {
            ip[c] = &in[c][done];
            op[c] = &out[c][done];
        }
        main.processSurround(ip, op, centre.data(), peak.data(), count);
        lfe.limitLfe(centre.data(), peak.data(), op[3], count);
    }
    for (int c = 0; c < 6; ++c)
        for (int i = 0; i < n; ++i) ASSERT_TRUE(testsig::sameBits(out[c][i], unit.out[c][i])) << c << " " << i;
}
