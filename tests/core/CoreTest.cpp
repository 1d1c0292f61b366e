// The plug-in core against the engines driven directly: every front end's
// start-up gives the same bits, parameter changes land at the frame they are
// set before, by the port and the host rules; resets, rate changes, null
// buffers, the meters, the latency, and nothing on the audio path allocates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "AllocationCounter.h"
#include "CoreRig.h"
#include "PortPlugin.h"

using namespace coretest;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A change at a frame of the programme: a plain value (the port-based
// formats and the offline tool) or a host's normalised one (VST), which the
// reference applies as the engine value the table maps it to.
struct Change {
    int64_t frame;
    ParamId id;
    float value;
    bool normalised;
};

float engineValueOf(const Change& c) {
    if (!c.normalised) return plainFromPort(c.id, c.value);
    const float v = std::fmin(std::fmax(c.value, 0.0f), 1.0f);
    return toEngineValue(c.id, v);
}

// Runs the programme through `core` and `reference` in blocks of `block`
// frames, split wherever a change falls inside one; the core in place on
// request. Answers whether every output bit agrees.
bool sameAudio(PluginCore& core, LegacyEngines& reference, int rateHz, int64_t frames, int64_t block,
               const std::vector<Change>& changes, bool inPlace) {
    const int channels = core.channels();
    Buffers in(channels, frames), out(channels, frames), refIn(channels, frames), refOut(channels, frames);
    in.fill(0, frames, rateHz);
    refIn.fill(0, frames, rateHz);
    float** coreOut = inPlace ? in.data() : out.data();
    size_t next = 0;
    for (int64_t start = 0; start < frames;) {
        while (next < changes.size() && changes[next].frame <= start) {
            const Change& c = changes[next++];
            if (c.normalised)
                core.setNormalised(c.id, c.value);
            else
                core.setPlain(c.id, c.value);
            const bool taken = c.normalised ? !std::isnan(c.value) : std::isfinite(c.value);
            if (taken && core.isParameter(c.id)) reference.apply(c.id, engineValueOf(c));
        }
        int64_t end = std::min(frames, (start / block + 1) * block);
        if (next < changes.size()) end = std::min(end, changes[next].frame);
        const auto n = static_cast<int32_t>(end - start);
        core.process(at(in.data(), channels, start).data(), at(coreOut, channels, start).data(),
                     static_cast<uint64_t>(n));
        reference.process(refIn.data(), refOut.data(), start, n);
        start = end;
    }
    return (inPlace ? in : out).sameAs(refOut, frames);
}

const Layout kLayouts[] = {Layout::Mono, Layout::Stereo, Layout::Surround51};

std::vector<Change> automation(int64_t frames) {
    return {{frames / 7, ParamId::TargetLevel, -14.0f, false},
            {frames / 7 + 333, ParamId::MaxGain, 0.9f, true},
            {frames / 5, ParamId::TruePeak, -3.5f, false},  // both 5.1 limiters
            {frames / 4, ParamId::CorrMixMode, 0.6f, true},
            {frames / 3, ParamId::CorrectionLow, 40.0f, false},
            {frames / 3 + 1, ParamId::TruePeak, 0.3f, true},
            {frames / 2, ParamId::FreezeLevel, -55.5f, false},
            {frames / 2 + 17, ParamId::InputLevel, 0.2f, true},
            {frames * 2 / 3, ParamId::CorrectionHigh, 0.25f, true},
            {frames * 3 / 4, ParamId::LfeGain, 12.0f, false},  // 5.1 only: the others refuse it
            {frames * 4 / 5, ParamId::TruePeak, kNaN, false}};
}

}  // namespace

// Before the core, each front end brought its engines up in its own order:
// LADSPA, LV2 and the offline tool set the main engine's rate before the LFE
// engine's ceiling, the VST effect after it and, in 5.1, set the rate a second
// time from a second host answer. The core's one sequence gives each of them
// its bits, with changes at block offsets, in place or not.
TEST(CoreBits, EveryFrontEndsStartUpAndChangesAtBlockOffsets) {
    struct Row {
        StartUp startUp;
        int rate;
        int secondRate;
        int64_t block;
        bool inPlace;
    };
    const Row rows[] = {
        {StartUp::PortPlugins, 48000, 48000, 512, false},
        {StartUp::PortPlugins, 44100, 44100, 4096, true},
        {StartUp::PortPluginsNoActivate, 48000, 48000, 64, false},
        {StartUp::Vst, 44100, 44100, 1000, true},
        {StartUp::Vst, 44100, 48000, 333, false},
    };
    for (const Row& row : rows) {
        for (Layout layout : kLayouts) {
            SCOPED_TRACE(testing::Message() << "start-up " << int(row.startUp) << ", layout " << int(layout)
                                            << ", rates " << row.rate << " " << row.secondRate);
            // Only the 5.1 effect asks the host twice; the core takes the
            // rate the engines end at.
            const int rate = layout == Layout::Surround51 ? row.secondRate : row.rate;
            std::unique_ptr<PluginCore> core = PluginCore::create(layout, float(rate));
            ASSERT_NE(core, nullptr);
            if (row.startUp != StartUp::PortPluginsNoActivate) core->reset();
            LegacyEngines reference(layout, row.startUp, float(row.rate), float(row.secondRate));
            const int64_t frames = rate * 3 / 2;
            EXPECT_TRUE(sameAudio(*core, reference, rate, frames, row.block, automation(frames), row.inPlace));
            EXPECT_EQ(core->latency(), reference.main().latency());
        }
    }
}

TEST(CoreParameters, PortRulesAndHostRules) {
    struct Row {
        Layout layout;
        ParamId id;
        float value;
        bool normalised;
        bool accepted;
        float plain;       // what is stored afterwards
        float normalisedAfter;  // NaN: toNormalised(plain)
    };
    const float twoThirds = modeToNormalised(2);
    const Row rows[] = {
        // A port value as it comes, unrounded; out of bounds clamped; the
        // mode rounded half up and clamped.
        {Layout::Stereo, ParamId::TargetLevel, -20.05f, false, true, -20.05f, kNaN},
        {Layout::Stereo, ParamId::TruePeak, 1e10f, false, true, 0.0f, 1.0f},
        {Layout::Stereo, ParamId::InputLevel, 3.0f, false, true, -0.0f, 1.0f},
        {Layout::Stereo, ParamId::CorrMixMode, 1.5f, false, true, 2.0f, twoThirds},
        {Layout::Stereo, ParamId::CorrMixMode, 7.0f, false, true, 3.0f, 1.0f},
        // Not a number, or not of this layout: nothing changes.
        {Layout::Stereo, ParamId::TruePeak, kNaN, false, false, 0.0f, 1.0f},
        {Layout::Stereo, ParamId::MaxGain, -kInf, false, false, 0.0f, 0.25f},
        {Layout::Stereo, ParamId::LfeGain, 6.0f, false, false, 0.0f, 0.0f},
        {Layout::Stereo, static_cast<ParamId>(-1), 0.5f, true, false, 0.0f, 0.0f},
        // A host's normalised value: mapped, clamped to 0..1, the mode kept as
        // mode / 3; the value the host set is what it reads back.
        {Layout::Surround51, ParamId::TruePeak, 0.25f, true, true, toEngineValue(ParamId::TruePeak, 0.25f), 0.25f},
        {Layout::Surround51, ParamId::TargetLevel, 1.5f, true, true, -10.0f, 1.0f},
        {Layout::Surround51, ParamId::TargetLevel, kInf, true, true, -10.0f, 1.0f},
        {Layout::Surround51, ParamId::TargetLevel, kNaN, true, false, -20.0f, 0.5f},
        {Layout::Surround51, ParamId::CorrMixMode, 0.6f, true, true, 2.0f, twoThirds},
        {Layout::Surround51, ParamId::CorrMixMode, -kInf, true, true, 0.0f, 0.0f},
        {Layout::Surround51, ParamId::LfeGain, 0.5f, true, true, 10.0f, 0.5f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.id) << " <- " << row.value << (row.normalised ? " (normalised)" : ""));
        std::unique_ptr<PluginCore> core = PluginCore::create(row.layout, 48000.0f);
        ASSERT_NE(core, nullptr);
        const bool accepted = row.normalised ? core->setNormalised(row.id, row.value) : core->setPlain(row.id, row.value);
        EXPECT_EQ(accepted, row.accepted);
        const float plain = core->plain(row.id);
        EXPECT_EQ(plain, row.plain);
        EXPECT_EQ(std::signbit(plain), std::signbit(row.plain));
        EXPECT_EQ(core->normalised(row.id), std::isnan(row.normalisedAfter) ? toNormalised(row.id, plain) : row.normalisedAfter);
    }
}

// 300 changes between two blocks overflow the hand-over queue; the core then
// applies every stored value, which must land the engines where 300
// immediate calls would.
TEST(CoreHandOver, MoreChangesThanTheQueueHoldsStillEndAtTheLatestValues) {
    for (Layout layout : {Layout::Stereo, Layout::Surround51}) {
        std::unique_ptr<PluginCore> core = PluginCore::create(layout, 44100.0f);
        LegacyEngines reference(layout, StartUp::PortPlugins, 44100.0f, 44100.0f);
        core->reset();
        std::vector<Change> flood;
        for (int k = 0; k < 300; ++k) flood.push_back({10000, static_cast<ParamId>(k % 7), 0.002f * k, true});
        flood.push_back({10000, ParamId::CorrMixMode, 0.5f, true});
        flood.push_back({15000, ParamId::TargetLevel, 0.4f, true});
        EXPECT_TRUE(sameAudio(*core, reference, 44100, 20000, 5000, flood, false)) << int(layout);
    }
}

// The host switches processing on (activate, resume) or changes the rate
// right after changing parameters, or hands over no buffers: every change
// still reaches the engines; the signal state starts afresh only on reset and
// rate changes, and a rate that is no number is ignored.
TEST(CoreHandOver, ResetRateChangeAndNullBuffersKeepTheChangesMadeBefore) {
    for (Layout layout : kLayouts) {
        const int channels = channelsOf(layout);
        std::unique_ptr<PluginCore> core = PluginCore::create(layout, 48000.0f);
        LegacyEngines reference(layout, StartUp::PortPluginsNoActivate, 48000.0f, 48000.0f);
        Buffers in(channels, 512), out(channels, 512);
        std::vector<float*> partial(out.pointers);
        partial[channels - 1] = nullptr;
        core->setPlain(ParamId::TargetLevel, -12.0f);
        EXPECT_FALSE(core->process(nullptr, out.data(), 512));
        EXPECT_FALSE(core->process(in.data(), partial.data(), 512));
        EXPECT_TRUE(core->process(nullptr, nullptr, 0));
        reference.apply(ParamId::TargetLevel, -12.0f);
        EXPECT_TRUE(sameAudio(*core, reference, 48000, 20000, 1024, {}, false)) << int(layout);

        core->setPlain(ParamId::TruePeak, -4.0f);  // the limiter restarts at the new ceiling
        core->reset();
        reference.apply(ParamId::TruePeak, -4.0f);
        reference.reset();
        EXPECT_TRUE(sameAudio(*core, reference, 48000, 30000, 4096, {}, false)) << int(layout);
        core->setPlain(ParamId::CorrectionLow, 30.0f);
        core->setSampleRate(44100.0f);
        for (float hostile : {kNaN, kInf, -kInf}) core->setSampleRate(hostile);
        reference.apply(ParamId::CorrectionLow, 30.0f);
        reference.setSampleRate(44100.0f);
        EXPECT_TRUE(sameAudio(*core, reference, 44100, 30000, 4096, {}, true)) << int(layout);
    }
}

// The LV2 meters as they always read: the leveler gain in dB and the deepest
// reduction of the block, of the deeper limiter in 5.1, pinned to the meter
// ranges; published for readers on other threads.
TEST(CoreMeters, GainAndDeepestReductionOfTheBlock) {
    for (Layout layout : kLayouts) {
        SCOPED_TRACE(int(layout));
        std::unique_ptr<PluginCore> core = PluginCore::create(layout, 48000.0f);
        LegacyEngines reference(layout, StartUp::PortPlugins, 48000.0f, 48000.0f);
        core->reset();
        // Only the bursts are turned down: high-level correction off.
        core->setPlain(ParamId::CorrectionHigh, 0.0f);
        reference.apply(ParamId::CorrectionHigh, 0.0f);
        EXPECT_EQ(core->meters().limiterReductionDb, 0.0f);
        const int64_t block = 4800;
        Buffers in(channelsOf(layout), block), out(channelsOf(layout), block);
        float deepest = 0.0f;
        for (int64_t start = 0; start < 10 * block; start += block) {
            in.fill(start, block, 48000);
            core->beginMeterBlock();
            core->process(in.data(), out.data(), block);
            core->publishMeters();
            reference.main().clearDeepestEnvelope();
            if (reference.lfe()) reference.lfe()->clearDeepestEnvelope();
            reference.process(in.data(), out.data(), 0, block);
            const PluginCore::Meters meters = core->meters();
            EXPECT_EQ(meters.levelerGainDb, std::fmax(-60.0f, 20.0f * std::log10(reference.main().getLevelerGain())));
            double reduction = reference.main().deepestReductionDb();
            if (reference.lfe()) reduction = std::max(reduction, reference.lfe()->deepestReductionDb());
            EXPECT_EQ(meters.limiterReductionDb, static_cast<float>(std::min(reduction, 60.0)));
            EXPECT_EQ(core->deepestReductionDb(), reduction);
            deepest = std::max(deepest, meters.limiterReductionDb);
        }
        EXPECT_GT(deepest, 3.0f) << "the bursts drive the limiter";
        core->beginMeterBlock();  // a block of no frames limits nothing
        core->process(nullptr, nullptr, 0);
        core->publishMeters();
        EXPECT_EQ(core->meters().limiterReductionDb, 0.0f);
    }
}

TEST(CoreLatency, EveryRateTheEnginesTakeAndNoRateAtAll) {
    const std::pair<float, uint32_t> rates[] = {{44100.0f, 1560u}, {48000.0f, 1698u}, {8000.0f, 288u},
                                                {96000.0f, 3390u}, {1.0f, 1698u},     {-5.0f, 1698u},
                                                {1e12f, 13542u},   {kInf, 13542u}};
    for (Layout layout : kLayouts) {
        for (const auto& [rate, latency] : rates) EXPECT_EQ(PluginCore::create(layout, rate)->latency(), latency) << rate;
        EXPECT_EQ(PluginCore::create(layout, kNaN), nullptr);
    }
}

TEST(CoreRealTime, NothingOnTheAudioPathAllocates) {
    {
        AllocationCounter counter;  // the counter sees this program's allocations
        delete new std::vector<float>(3);
        ASSERT_GE(counter.allocations(), 1u);
    }
    for (Layout layout : kLayouts) {
        std::unique_ptr<PluginCore> core = PluginCore::create(layout, 48000.0f);
        const int channels = channelsOf(layout);
        Buffers in(channels, 100000);
        in.fill(0, 100000, 48000);
        in.channel[0][50] = kNaN;
        in.channel[channels - 1][70] = 1e30f;
        // The LV2 plug-ins' ports: controls, latency, the two meters, audio.
        const int n = paramCount(layout);
        const PortLayout ports{layout, n, n + 1, n + 2, n + 3, n + 3 + 2 * channels};
        std::unique_ptr<PortPlugin> plugin(PortPlugin::create(ports, 48000.0f));
        float controls[kParamCount + 3] = {};
        for (int p = 0; p < n + 3; ++p) plugin->connect(p, &controls[p]);
        for (int c = 0; c < channels; ++c) {
            plugin->connect(n + 3 + 2 * c, in.channel[c].data());
            plugin->connect(n + 4 + 2 * c, in.channel[c].data());
        }
        AllocationCounter counter;
        for (uint64_t frames : {0u, 1u, 512u, 100000u, 7u}) {
            for (int k = 0; k < 400; ++k) core->setNormalised(static_cast<ParamId>(k % 9), 0.0025f * k);  // resync
            core->setPlain(ParamId::TruePeak, -2.0f);
            core->beginMeterBlock();
            core->process(in.data(), in.data(), frames);
            core->publishMeters();
            controls[0] = controls[0] == -20.0f ? -25.0f : -20.0f;
            controls[1] = controls[1] == 0.0f ? kNaN : 0.0f;
            plugin->run(frames);
        }
        EXPECT_EQ(counter.allocations(), 0u) << int(layout);
    }
}

// Hosts are shown Input Level's upper bound as +0 (the table keeps -0): +0
// levels bit for bit as -0, with partial corrections and either law.
TEST(CoreBits, InputLevelAtPlusZeroLevelsAsAtMinusZero) {
    EXPECT_FALSE(std::signbit(shownBound(paramTable[int(ParamId::InputLevel)].upper)));
    for (Layout layout : kLayouts) {
        for (float mode : {0.0f, 3.0f}) {
            const int64_t frames = 96000;
            const int c = channelsOf(layout);
            Buffers in(c, frames), out[2] = {Buffers(c, frames), Buffers(c, frames)};
            in.fill(0, frames, 48000);
            for (int k = 0; k < 2; ++k) {
                std::unique_ptr<PluginCore> core = PluginCore::create(layout, 48000.0f);
                for (auto [id, v] : {std::pair{ParamId::CorrectionHigh, 60.0f}, {ParamId::CorrectionLow, 30.0f},
                                     {ParamId::CorrMixMode, mode}, {ParamId::InputLevel, k ? 0.0f : -0.0f}})
                    core->setPlain(id, v);
                EXPECT_EQ(std::signbit(core->plain(ParamId::InputLevel)), k == 0);
                core->process(in.data(), out[k].data(), frames);
            }
            EXPECT_TRUE(out[0].sameAs(out[1], frames)) << int(layout) << " mode " << mode;
        }
    }
}
