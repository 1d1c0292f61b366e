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
    int controls;
    PortLayout ports;
    std::unique_ptr<PortPlugin> plugin;
    float cells[kParamCount + 3];
    Buffers in, out;

    explicit Rig(Layout layout)
        : controls(paramCount(layout)),
          ports{layout, controls, controls + 1, controls + 2, controls + 3, controls + 3 + 2 * channelsOf(layout)},
          plugin(PortPlugin::create(ports, 48000.0f)),
          in(channelsOf(layout), kFrames),
          out(channelsOf(layout), kFrames) {
        for (int p = 0; p < controls + 3; ++p) {
            cells[p] = p < controls ? paramTable[p].engineDefault : 0.0f;
            plugin->connect(p, &cells[p]);
        }
        for (int c = 0; c < channelsOf(layout); ++c) {
            plugin->connect(audioPort(c, false), in.channel[c].data());
            plugin->connect(audioPort(c, true), out.channel[c].data());
        }
        plugin->activate();
    }
    int audioPort(int channel, bool output) const { return controls + 3 + 2 * channel + (output ? 1 : 0); }
    float plain(ParamId id) const { return plugin->core().plain(id); }
    void run(int64_t start) {
        in.fill(start, kFrames, 48000);
        plugin->run(kFrames);
    }
};

}  // namespace

// A changed finite control reaches the core by the port rules; a NaN or an
// infinity is remembered, never applied, and the next finite value is applied
// again; an unconnected control keeps its value. (The bits under hostile
// controls are the LADSPA scenario host's and the LV2 run test's.)
TEST(PortPlugin, ChangedFiniteControlsReachTheCoreByThePortRules) {
    Rig rig(Layout::Stereo);
    const struct {
        int port;
        float cell;
        float plain;
    } steps[] = {{0, -20.05f, -20.05f}, {1, 1e10f, 0.0f}, {7, 1.2f, 1.0f}, {7, 1.5f, 2.0f}, {1, -3.0f, -3.0f},
                 {1, kNaN, -3.0f},      {1, -3.0f, -3.0f}, {1, kInf, -3.0f}, {1, -kInf, -3.0f}, {1, -1.0f, -1.0f}};
    for (const auto& step : steps) {
        rig.cells[step.port] = step.cell;
        rig.plugin->run(0);
        EXPECT_EQ(rig.plain(static_cast<ParamId>(step.port)), step.plain) << step.port << " <- " << step.cell;
    }
    rig.plugin->connect(0, nullptr);
    rig.plugin->run(0);
    EXPECT_EQ(rig.plain(ParamId::TargetLevel), -20.05f);
}

TEST(PortPlugin, LatencyAndMetersAtEveryRunAudioOnlyWhenConnected) {
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround51}) {
        SCOPED_TRACE(int(layout));
        Rig rig(layout);
        float& latency = rig.cells[rig.controls];
        float& reduction = rig.cells[rig.controls + 2];
        const int last = channelsOf(layout) - 1;
        // Every port but the last output: nothing is processed, the latency
        // and the meters are written all the same.
        rig.plugin->connect(rig.audioPort(last, true), nullptr);
        for (auto& c : rig.out.channel) c[0] = -3.0f;
        latency = rig.cells[rig.controls + 1] = reduction = -1.0f;
        rig.run(0);
        EXPECT_EQ(latency, 1698.0f);
        EXPECT_EQ(rig.cells[rig.controls + 1], 0.0f);
        EXPECT_EQ(reduction, 0.0f);
        for (const auto& c : rig.out.channel) EXPECT_EQ(c[0], -3.0f);
        // Port numbers beyond the instance's are ignored.
        float stray = 0.0f;
        rig.plugin->connect(rig.ports.portSlots, &stray);
        rig.plugin->connect(~0ull, &stray);
        // Connected at last, it processes; the host's scribble on the latency
        // port is overwritten at every run.
        rig.plugin->connect(rig.audioPort(last, true), rig.out.channel[last].data());
        for (int block = 0; block < 3; ++block) {
            latency = 5.0f;
            rig.run(block * Rig::kFrames);
            EXPECT_EQ(latency, 1698.0f);
            EXPECT_EQ(rig.out.channel[last][0] == 0.0f, block == 0);  // the delayed silence, then sound
        }
        EXPECT_EQ(stray, 0.0f);
    }
    EXPECT_EQ(PortPlugin::create({Layout::Mono, 8, -1, -1, 9, 13}, std::nanf("")), nullptr);
}

// Hosts that size their compensation before the first run read the latency
// once the port is connected and again after activation.
TEST(PortPlugin, LatencyIsThereBeforeTheFirstRun) {
    Rig rig(Layout::Mono);
    float latency = -1.0f;
    rig.plugin->connect(rig.controls, &latency);
    EXPECT_EQ(latency, 1698.0f);
    latency = 0.0f;
    rig.plugin->activate();
    EXPECT_EQ(latency, 1698.0f);
}
