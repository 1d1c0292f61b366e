// The instance of the port-based formats: which control values reach the
// core, and when; the latency and meter ports; unconnected and stray ports.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CoreRig.h"
#include "PortPlugin.h"

using namespace coretest;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// An instance with the LV2 plug-ins' ports (controls, latency, the two
// meters, audio), every control cell at its default.
struct Rig {
    static constexpr int64_t kFrames = 4800;
    Layout layout;
    int controls;
    PortLayout ports;
    std::unique_ptr<PortPlugin> plugin;
    float cells[kParamCount + 3];
    Buffers in, out;

    explicit Rig(Layout layout)
        : layout(layout),
          controls(paramCount(layout)),
          ports{layout, controls, controls + 1, controls + 2, controls + 3, controls + 3 + 2 * channelsOf(layout)},
          plugin(PortPlugin::create(ports, 48000.0f)),
          in(channelsOf(layout), kFrames),
          out(channelsOf(layout), kFrames) {
        for (int p = 0; p < controls; ++p) cells[p] = paramTable[p].engineDefault;
        for (int p = 0; p < controls + 3; ++p) plugin->connect(p, &cells[p]);
        for (int c = 0; c < channelsOf(layout); ++c) {
            plugin->connect(controls + 3 + 2 * c, in.channel[c].data());
            plugin->connect(controls + 4 + 2 * c, out.channel[c].data());
        }
        plugin->activate();
    }
    float plain(ParamId id) const { return plugin->core().plain(id); }
    float& latency() { return cells[controls]; }
    float& gainMeter() { return cells[controls + 1]; }
    float& reductionMeter() { return cells[controls + 2]; }
    void run(int64_t start) {
        in.fill(start, kFrames, 48000);
        plugin->run(kFrames);
    }
};

}  // namespace

TEST(PortPlugin, ChangedFiniteControlsReachTheCoreByThePortRules) {
    Rig rig(Layout::Stereo);
    rig.cells[0] = -20.05f;  // unrounded
    rig.cells[1] = 1e10f;    // clamped
    rig.cells[7] = 1.2f;     // mode 1
    rig.plugin->run(0);
    EXPECT_EQ(rig.plain(ParamId::TargetLevel), -20.05f);
    EXPECT_EQ(rig.plain(ParamId::TruePeak), 0.0f);
    EXPECT_EQ(rig.plain(ParamId::CorrMixMode), 1.0f);

    // A NaN or an infinity is remembered, never applied: the core keeps the
    // last finite value, and the next finite one is applied again.
    for (float hostile : {kNaN, kInf, -kInf}) {
        rig.cells[1] = -3.0f;
        rig.plugin->run(0);
        rig.cells[1] = hostile;
        rig.plugin->run(0);
        EXPECT_EQ(rig.plain(ParamId::TruePeak), -3.0f);
    }
    rig.cells[1] = -1.0f;
    rig.plugin->run(0);
    EXPECT_EQ(rig.plain(ParamId::TruePeak), -1.0f);

    // An unconnected control keeps its value.
    rig.plugin->connect(0, nullptr);
    rig.plugin->run(0);
    EXPECT_EQ(rig.plain(ParamId::TargetLevel), -20.05f);
}

// The mode port moving within one mode, and hostile controls between runs,
// leave the same audio as the quiet controls.
TEST(PortPlugin, HostileAndIneffectiveControlChangesLeaveTheAudio) {
    Rig hostile(Layout::Surround51), quiet(Layout::Surround51);
    for (Rig* rig : {&hostile, &quiet}) {
        rig->cells[1] = -2.0f;
        rig->cells[7] = 1.2f;
        rig->cells[5] = 60.0f;
        rig->cells[6] = 40.0f;
    }
    for (int block = 0; block < 10; ++block) {
        hostile.cells[1] = block % 2 ? (block % 4 == 1 ? kNaN : kInf) : -2.0f;
        hostile.cells[2] = block == 3 ? -kInf : 0.0f;
        hostile.cells[7] = block % 2 ? 1.4f : 1.2f;
        hostile.cells[8] = block == 5 ? kNaN : 0.0f;
        hostile.run(block * Rig::kFrames);
        quiet.run(block * Rig::kFrames);
        ASSERT_TRUE(hostile.out.sameAs(quiet.out, Rig::kFrames)) << block;
    }
    for (float x : hostile.out.channel[3]) ASSERT_TRUE(std::isfinite(x));
}

TEST(PortPlugin, LatencyAndMetersAtEveryRunAudioOnlyWhenConnected) {
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround51}) {
        SCOPED_TRACE(int(layout));
        Rig rig(layout);
        const int last = channelsOf(layout) - 1;
        // Every port but the last output: nothing is processed, the latency
        // and the meters are written all the same.
        rig.plugin->connect(rig.controls + 4 + 2 * last, nullptr);
        rig.out.channel[last].assign(Rig::kFrames + 1, -3.0f);
        for (auto& c : rig.out.channel) c[0] = -3.0f;
        rig.latency() = rig.gainMeter() = rig.reductionMeter() = -1.0f;
        rig.run(0);
        EXPECT_EQ(rig.latency(), 1698.0f);
        EXPECT_EQ(rig.gainMeter(), 0.0f);
        EXPECT_EQ(rig.reductionMeter(), 0.0f);
        for (const auto& c : rig.out.channel) EXPECT_EQ(c[0], -3.0f);
        // Port numbers beyond the instance's are ignored.
        float stray = 0.0f;
        rig.plugin->connect(rig.ports.portSlots, &stray);
        rig.plugin->connect(~0ull, &stray);
        // Connected at last, it processes; the host's scribbles on the
        // output ports are overwritten.
        rig.plugin->connect(rig.controls + 4 + 2 * last, rig.out.channel[last].data());
        rig.cells[5] = 0.0f;  // no high-level correction: the limiter takes the bursts
        float deepest = 0.0f;
        for (int block = 0; block < 10; ++block) {
            rig.latency() = rig.reductionMeter() = 5.0f;
            rig.run(block * Rig::kFrames);
            if (block == 0) {
                EXPECT_EQ(rig.out.channel[last][0], 0.0f);  // the delayed silence of the latency
            }
            EXPECT_EQ(rig.latency(), 1698.0f);
            EXPECT_EQ(rig.reductionMeter(), rig.plugin->core().meters().limiterReductionDb);
            deepest = std::max(deepest, rig.reductionMeter());
        }
        EXPECT_GT(deepest, 3.0f);
        EXPECT_EQ(stray, 0.0f);
    }
    EXPECT_EQ(PortPlugin::create({Layout::Mono, 8, -1, -1, 9, 13}, std::nanf("")), nullptr);
}
