// The staged passes against the frame-by-frame path, with every kernel table
// this processor runs: every layout, law and rate, any block size, settings
// changed between blocks, unmeasurable input samples, and overflow
// recoveries (of the group and of the LFE engine) at the first, a middle and
// the last frame of a block must give the same bits, meters and recovery
// counts.
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
constexpr Layout kLayouts[] = {Layout::Mono, Layout::Stereo, Layout::Surround};

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

struct Setting {
    const char* name;
    float rate;
    std::function<void(LevelerCore&)> apply;
};

struct Outcome {
    std::vector<std::vector<float>> out;
    uint32_t recoveries = 0;
    float gain = 0, envelope = 0, deepest = 0;
};

// Runs `in` through one group in blocks of `block` frames, with the staged
// passes of `kernels`, or (null) the frame-by-frame path alone.
// `beforeBlock` may change or plant values in the main engine before block b.
// With `separateEngines`, a 5.1 block runs the main engine and then the LFE
// engine, as the hand-over interface describes, instead of the unit.
Outcome run(Layout layout, const Setting& setting, const std::vector<std::vector<float>>& in, int block, const orvanta::PassKernels* kernels,
            const std::function<void(LevelerCore&, int)>& beforeBlock = nullptr, bool separateEngines = false) {
    Surround51 unit;
    LevelerCore& engine = unit.main;
    if (layout == Layout::Surround) engine.setChannelShare(0.2f);
    setting.apply(engine);
    if (layout == Layout::Surround) unit.lfe.setTruePeak(-1.0f);
    unit.setSampleRate(setting.rate);
    if (kernels != nullptr) P::kernels(engine) = P::kernels(unit.lfe) = kernels;

    const int n = static_cast<int>(in[0].size());
    Outcome r;
    r.out.assign(in.size(), std::vector<float>(n));
    std::vector<float> lfeCentre(block), lfePeak(block);
    for (int done = 0, b = 0; done < n; done += block, ++b) {
        const int count = std::min(block, n - done);
        if (beforeBlock) beforeBlock(engine, b);
        const float* ip[6];
        float* op[6];
        for (size_t c = 0; c < in.size(); ++c) {
            ip[c] = &in[c][done];
            op[c] = &r.out[c][done];
        }
        if (kernels == nullptr) {
            if (layout == Layout::Mono) P::framesMono(engine, ip[0], op[0], count);
            if (layout == Layout::Stereo) P::framesStereo(engine, ip, op, count);
            if (layout == Layout::Surround) P::framesSurround(unit, ip, op, count);
        } else {
            if (layout == Layout::Mono) engine.processMono(ip[0], op[0], count);
            if (layout == Layout::Stereo) engine.processStereo(ip[0], ip[1], op[0], op[1], count);
            if (layout == Layout::Surround && !separateEngines) unit.process(ip, op, count);
            if (layout == Layout::Surround && separateEngines) {
                engine.processSurround(ip, op, lfeCentre.data(), lfePeak.data(), count);
                unit.lfe.limitLfe(lfeCentre.data(), lfePeak.data(), op[orvanta::kLfeChannel], count);
            }
        }
    }
    r.recoveries = engine.overflowRecoveryCount() + unit.lfe.overflowRecoveryCount();
    r.gain = engine.getLevelerGain();
    r.envelope = engine.getEnvelope();
    r.deepest = engine.getDeepestEnvelope() + unit.lfe.getDeepestEnvelope();
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

const orvanta::PassKernels* chosen() { return &orvanta::chosenKernels(); }

}  // namespace

TEST(Passes, EveryLayoutLawRateAndKernelTableGivesTheFrameByFrameBits) {
    const orvanta::KernelTables tables = orvanta::runnableKernels();
    for (const Setting& s : kSettings) {
        for (Layout layout : kLayouts) {
            const auto in = inputs(layout, static_cast<int>(s.rate * 1.5f), s.rate);
            const Outcome frames = run(layout, s, in, 512, nullptr);
            for (int t = 0; t < tables.count; ++t) {
                for (int block : {512, 64, 1000, 1}) {
                    SCOPED_TRACE(std::string(s.name) + ", channels " + std::to_string(channelsOf(layout)) + ", " +
                                 tables.table[t]->name + ", block " + std::to_string(block));
                    expectSame(run(layout, s, in, block, tables.table[t]), frames);
                }
            }
        }
    }
}

// The overflow recovery clears the delay lines and filters in the middle of
// the walk: a block that meets it must take the frame-by-frame path, so the
// recovery lands on exactly the frame it lands on there. A value beyond
// measure planted in a delay line (the inputs never let one in) reaches the
// estimator on the frame chosen; in the 5.1 LFE line it reaches only the LFE
// engine's reduced recovery.
TEST(Passes, RecoveryAtFirstMiddleAndLastFrameOfABlock) {
    const Setting& setting = kSettings[1];
    for (Layout layout : kLayouts) {
        const auto in = inputs(layout, 40000, setting.rate);
        std::vector<int> lines = {channelsOf(layout) - 1};
        if (layout == Layout::Surround) lines = {4, orvanta::kLfeChannel};
        for (int line : lines) {
            for (int block : {64, 512}) {
                for (int frame : {0, block / 2 - 1, block - 1, 255}) {
                    for (float bad : {NAN, INFINITY}) {
                        SCOPED_TRACE(std::to_string(channelsOf(layout)) + " channels, line " + std::to_string(line) +
                                     ", block " + std::to_string(block) + ", frame " + std::to_string(frame) + ", " +
                                     std::to_string(bad));
                        // A NaN starts the recovery when it is the centre
                        // sample, 6 frames after it leaves the delay line; an
                        // infinity at once, and on each of the 12 frames it
                        // spends in the estimator's ring.
                        const int target = 40 * block + frame;  // frame of the first recovery
                        const int leaves = std::isnan(bad) ? target - orvanta::TruePeakEstimator::kCentreDelay : target;
                        const int plantBlock = leaves / block - 1;
                        auto plant = [&](LevelerCore& e, int b) {
                            if (b != plantBlock) return;
                            orvanta::LookaheadDelay& delay = P::lookahead(e);
                            delay.line[line][(delay.index + leaves - b * block) % delay.length] = bad;
                        };
                        const Outcome frames = run(layout, setting, in, block, nullptr, plant);
                        EXPECT_EQ(frames.recoveries, std::isnan(bad) ? 1u : 12u);
                        expectSame(run(layout, setting, in, block, chosen(), plant), frames);
                    }
                }
            }
        }
    }
}

// Settings that change between blocks reach the next pass: law, mode, input
// level, maximum gain and ceiling, on the programme and in digital silence,
// where the detector stands still, the programme power repeats exactly and a
// new law must still take effect at once.
TEST(Passes, SettingsChangedBetweenBlocks) {
    auto onProgramme = [](LevelerCore& e, int b) {
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
    for (Layout layout : kLayouts) {
        SCOPED_TRACE(channelsOf(layout));
        const auto in = inputs(layout, 60000, 48000.0f);
        const Outcome frames = run(layout, kSettings[0], in, 160, nullptr, onProgramme);
        expectSame(run(layout, kSettings[0], in, 160, chosen(), onProgramme), frames);
    }

    auto inSilence = [](LevelerCore& e, int b) {
        if (b == 500) e.setTargetLevel(-14.0f);
        if (b == 600) e.setMaxGain(2.0f);
        if (b == 700) e.setInputLevel(-40.0f);
    };
    const std::vector<std::vector<float>> silence{std::vector<float>(4 * 48000, 0.0f)};
    for (const Setting& s : kSettings) {
        SCOPED_TRACE(s.name);
        const Setting at48k = {s.name, 48000.0f, s.apply};
        const Outcome frames = run(Layout::Mono, at48k, silence, 256, nullptr, inSilence);
        expectSame(run(Layout::Mono, at48k, silence, 256, chosen(), inSilence), frames);
    }
}

// The main engine driven on its own, with the LFE engine called after it on
// the same block as the hand-over interface describes, gives the bits of the
// 5.1 unit, in which the LFE engine steps along inside the main engine's pass.
TEST(Passes, SurroundEnginesCalledSeparatelyGiveTheUnitsBits) {
    const auto in = inputs(Layout::Surround, 30000, kSettings[1].rate);
    expectSame(run(Layout::Surround, kSettings[1], in, 200, chosen(), nullptr, true),
               run(Layout::Surround, kSettings[1], in, 200, chosen()));
}
