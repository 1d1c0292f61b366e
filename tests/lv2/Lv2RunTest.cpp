// The LV2 plug-ins run through lilv: the audio, the latency and the two
// meters on their ports, bit for bit those of a plug-in core given the same
// control values (hostile ones among them) and block sizes (0, 1 and 100000
// among them), also in place; the host's rate as LV2 passes it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Lv2Host.h"
#include "PluginCore.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const char* const kUris[] = {"urn:veltrano:orvanta:mono", "urn:veltrano:orvanta:stereo",
                             "urn:veltrano:orvanta:5dot1"};
const Layout kLayouts[] = {Layout::Mono, Layout::Stereo, Layout::Surround51};
int channelsOf(int plugin) { return plugin == 0 ? 1 : plugin == 1 ? 2 : 6; }
uint32_t controlsOf(int plugin) { return plugin == 2 ? 9 : 8; }
uint32_t latencyPort(int plugin) { return controlsOf(plugin); }
uint32_t gainMeterPort(int plugin) { return controlsOf(plugin) + 1; }
uint32_t reductionMeterPort(int plugin) { return controlsOf(plugin) + 2; }
uint32_t lv2Input(int plugin, int ch) { return controlsOf(plugin) + 3 + 2 * static_cast<uint32_t>(ch); }

// Noise plus a tone whose level jumps every 0.4 s, with a burst every 0.7 s.
float programmeSample(int channel, size_t i, int rateHz) {
    uint32_t state = static_cast<uint32_t>(i) * 2654435761u + static_cast<uint32_t>(channel + 1) * 40503u;
    state ^= state >> 13;
    const float noise = static_cast<float>(static_cast<int32_t>(state * 1664525u)) * (1.0f / 2147483648.0f);
    const float tone = static_cast<float>(std::sin(0.0441 * static_cast<double>(i)));
    const float levels[] = {0.02f, 0.5f, 0.003f, 0.2f, 0.9f};
    float x = levels[(i / static_cast<size_t>(rateHz * 2 / 5)) % 5] * (0.5f * noise + 0.5f * tone);
    if (i % static_cast<size_t>(rateHz * 7 / 10) < 64) x += (i % 2 ? 2.4f : -2.3f);
    return x;
}

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
            const int channels = channelsOf(index);
            const bool inPlace = (index + rate) % 2 == 0;
            lv2host::Instance p(world, world.plugin(kUris[index]), rate);
            std::unique_ptr<PluginCore> reference = PluginCore::create(kLayouts[index], float(rate));
            ASSERT_TRUE(p.ok());
            p.activate();
            reference->reset();
            size_t pos = 0;
            for (int run = 0; run < static_cast<int>(std::size(blocks)); ++run) {
                const uint32_t n = blocks[run];
                for (const Change& c : changes) {
                    if (c.run != run || c.port >= controlsOf(index)) continue;
                    p.control(c.port) = c.value;
                    reference->setPlain(static_cast<ParamId>(c.port), c.value);
                }
                std::vector<std::vector<float>> in(channels, std::vector<float>(n + 1)), out = in, refOut = in;
                for (int ch = 0; ch < channels; ++ch) {
                    for (uint32_t i = 0; i < n; ++i) in[ch][i] = programmeSample(ch, pos + i, rate);
                    if (n == 100000) in[ch][20000 + 13 * ch] = ch % 2 ? kNaN : -3e38f;  // hostile samples
                    p.connect(lv2Input(index, ch), in[ch].data());
                    p.connect(lv2Input(index, ch) + 1, inPlace ? in[ch].data() : out[ch].data());
                }
                std::vector<const float*> refInPointers(channels);
                std::vector<float*> refOutPointers(channels);
                for (int ch = 0; ch < channels; ++ch) {
                    refInPointers[ch] = in[ch].data();
                    refOutPointers[ch] = refOut[ch].data();
                }
                reference->beginMeterBlock();
                reference->process(refInPointers.data(), refOutPointers.data(), n);
                reference->publishMeters();
                p.control(latencyPort(index)) = p.control(reductionMeterPort(index)) = -1.0f;  // host scribbles
                p.run(n);
                for (int ch = 0; ch < channels; ++ch) {
                    const float* got = inPlace ? in[ch].data() : out[ch].data();
                    ASSERT_EQ(std::memcmp(got, refOut[ch].data(), n * sizeof(float)), 0) << "run " << run << ", channel " << ch;
                }
                EXPECT_EQ(p.control(latencyPort(index)), rate == 48000 ? 1698.0f : 1560.0f);
                EXPECT_EQ(p.control(gainMeterPort(index)), reference->meters().levelerGainDb);
                EXPECT_EQ(p.control(reductionMeterPort(index)), reference->meters().limiterReductionDb);
                pos += n;
            }
        }
    }
}

TEST(Lv2Run, TheHostsRateAsLv2PassesIt) {
    lv2host::World world;
    const std::pair<double, float> rates[] = {{8000.0, 288.0f}, {1.0, 1698.0f}, {1e12, 13542.0f}, {kInf, 13542.0f}};
    for (int index = 0; index < 3; ++index) {
        for (const auto& [rate, latency] : rates) {
            lv2host::Instance p(world, world.plugin(kUris[index]), rate);
            ASSERT_TRUE(p.ok()) << kUris[index] << " at " << rate;
            p.activate();
            p.run(0);
            EXPECT_EQ(p.control(latencyPort(index)), latency) << kUris[index] << " at " << rate;
            p.deactivate();
        }
        // No rate at all: the host is refused rather than handed a broken engine.
        lv2host::Instance nan(world, world.plugin(kUris[index]), std::nan(""));
        EXPECT_FALSE(nan.ok());
    }
}
