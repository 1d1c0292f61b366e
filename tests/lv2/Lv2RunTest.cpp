// The LV2 plug-ins run through lilv: the audio, the latency and the two
// meters on their ports, bit for bit those of a plug-in core given the same
// control values (hostile ones among them) and block sizes (0, 1 and 100000
// among them), also in place, at the host's rate as LV2 passes it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "CoreRig.h"
#include "Lv2Host.h"

using coretest::Buffers;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const char* const kUris[] = {"urn:veltrano:orvanta:mono", "urn:veltrano:orvanta:stereo",
                             "urn:veltrano:orvanta:5dot1"};
const Layout kLayouts[] = {Layout::Mono, Layout::Stereo, Layout::Surround51};

}  // namespace

TEST(Lv2Run, SameAudioLatencyAndMetersAsTheCoreUnderHostileControls) {
    lv2host::World world;
    struct Change {
        int run;
        uint32_t port;
        float value;
    };
    const std::vector<Change> changes = {
        {1, 0, -23.0f}, {2, 2, 12.0f},  {2, 1, -1.5f},  {3, 6, 50.0f}, {3, 7, 1.5f},   {4, 0, -20.05f},
        {5, 1, kNaN},   {6, 2, kInf},   {6, 0, -kInf},  {7, 1, 1e10f}, {7, 2, 25.0f},  {8, 3, -90.0f},
        {8, 4, 3.0f},   {9, 7, 7.0f},   {9, 5, kNaN},   {10, 5, 0.0f}, {11, 6, 0.0f},  {12, 5, 80.0f},
        {12, 7, -kInf}, {2, 8, 6.0f},   {9, 8, -1e30f}, {10, 8, kNaN},
    };
    const uint32_t blocks[] = {512, 1, 100, 0, 4096, 37, 100000, 512, 2048, 0, 333, 1, 8192};
    for (int rate : {48000, 44100}) {
        for (int index = 0; index < 3; ++index) {
            SCOPED_TRACE(std::string(kUris[index]) + " at " + std::to_string(rate));
            const int channels = coretest::channelsOf(kLayouts[index]);
            const auto controls = static_cast<uint32_t>(paramCount(kLayouts[index]));  // then latency, meters, audio
            const bool inPlace = (index + rate) % 2 == 0;
            lv2host::Instance p(world, world.plugin(kUris[index]), rate);
            std::unique_ptr<PluginCore> reference = PluginCore::create(kLayouts[index], float(rate));
            ASSERT_TRUE(p.ok());
            p.activate();
            reference->reset();
            int64_t pos = 0;
            for (int run = 0; run < static_cast<int>(std::size(blocks)); ++run) {
                const uint32_t n = blocks[run];
                for (const Change& c : changes) {
                    if (c.run != run || c.port >= controls) continue;
                    p.control(c.port) = c.value;
                    reference->setPlain(static_cast<ParamId>(c.port), c.value);
                }
                Buffers in(channels, n), out(channels, n), refOut(channels, n);
                in.fill(pos, n, rate);
                for (int ch = 0; ch < channels; ++ch) {
                    if (n == 100000) in.channel[ch][20000 + 13 * ch] = ch % 2 ? kNaN : -3e38f;  // hostile samples
                    p.connect(controls + 3 + 2 * ch, in.pointers[ch]);
                    p.connect(controls + 4 + 2 * ch, inPlace ? in.pointers[ch] : out.pointers[ch]);
                }
                reference->beginMeterBlock();
                reference->process(in.data(), refOut.data(), n);
                reference->publishMeters();
                p.control(controls) = p.control(controls + 2) = -1.0f;  // the host scribbles on them
                p.run(n);
                ASSERT_TRUE((inPlace ? in : out).sameAs(refOut, n)) << "run " << run;
                EXPECT_EQ(p.control(controls), rate == 48000 ? 1698.0f : 1560.0f);
                EXPECT_EQ(p.control(controls + 1), reference->meters().levelerGainDb);
                EXPECT_EQ(p.control(controls + 2), reference->meters().limiterReductionDb);
                pos += n;
            }
        }
    }
}
