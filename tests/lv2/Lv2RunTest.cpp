// The LV2 plug-ins run through lilv: the latency they report, the two
// meters, and the audio, bit for bit the LADSPA plug-in's under the same
// control changes (hostile values among them) and block sizes (0, 1 and
// 100000 among them), also in place; null audio ports and odd sample rates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "LevelerCore.h"
#include "Lv2Host.h"
#include "ParamTable.h"
#include "PluginHost.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const char* const kUris[] = {"urn:veltrano:orvanta:mono", "urn:veltrano:orvanta:stereo",
                             "urn:veltrano:orvanta:5dot1"};
int channelsOf(int plugin) { return plugin == 0 ? 1 : plugin == 1 ? 2 : 6; }
uint32_t controlsOf(int plugin) { return plugin == 2 ? 9 : 8; }
uint32_t latencyPort(int plugin) { return controlsOf(plugin); }
uint32_t gainMeterPort(int plugin) { return controlsOf(plugin) + 1; }
uint32_t reductionMeterPort(int plugin) { return controlsOf(plugin) + 2; }
uint32_t lv2Input(int plugin, int ch) { return controlsOf(plugin) + 3 + 2 * static_cast<uint32_t>(ch); }
unsigned long ladspaInput(int plugin, int ch) { return (plugin == 2 ? 10ul : 9ul) + 2ul * static_cast<unsigned long>(ch); }

// Noise plus a tone whose level jumps every 0.4 s between `levels`, with a
// burst of `burst` amplitude every 0.7 s (none when 0).
std::vector<float> programme(size_t samples, uint32_t seed, int rateHz, std::vector<float> levels, float burst) {
    std::vector<float> out(samples);
    uint32_t state = seed * 2654435761u + 1u;
    for (size_t i = 0; i < samples; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
        const float tone = static_cast<float>(std::sin(2.0 * 3.14159265358979 * 310.0 * static_cast<double>(i) / rateHz));
        const float level = levels[(i / static_cast<size_t>(rateHz * 2 / 5)) % levels.size()];
        float x = level * (0.5f * noise + 0.5f * tone);
        if (burst != 0.0f && i % static_cast<size_t>(rateHz * 7 / 10) < 64) x += (i % 2 ? burst : -burst);
        out[i] = x;
    }
    return out;
}

class Lv2Run : public ::testing::Test {
protected:
    lv2host::World world;
    const LilvPlugin* plugin(int index) { return world.plugin(kUris[index]); }
};

// Audio buffers of one instance: one input and one output per channel.
struct Buffers {
    std::vector<std::vector<float>> in, out;
    Buffers(int channels, size_t n) : in(channels, std::vector<float>(n + 1, 0.0f)), out(channels, std::vector<float>(n + 1, 0.0f)) {}
};

}  // namespace

TEST_F(Lv2Run, ReportsTheLatencyOfItsRateAtEveryRun) {
    // Rates the engine clamps: below 10 Hz it takes 48000, beyond 384 kHz 384000.
    const std::pair<double, float> rates[] = {{44100.0, 1560.0f}, {48000.0, 1698.0f}, {8000.0, 288.0f},
                                              {96000.0, 3390.0f}, {1.0, 1698.0f},     {-5.0, 1698.0f},
                                              {1e12, 13542.0f},   {kInf, 13542.0f}};
    for (int index = 0; index < 3; ++index) {
        for (const auto& [rate, latency] : rates) {
            lv2host::Instance p(world, plugin(index), rate);
            ASSERT_TRUE(p.ok()) << kUris[index] << " at " << rate;
            Buffers b(channelsOf(index), 64);
            for (int ch = 0; ch < channelsOf(index); ++ch) {
                p.connect(lv2Input(index, ch), b.in[ch].data());
                p.connect(lv2Input(index, ch) + 1, b.out[ch].data());
            }
            p.activate();
            for (uint32_t n : {0u, 64u}) {
                p.control(latencyPort(index)) = -1.0f;  // the host scribbles on it
                p.run(n);
                EXPECT_EQ(p.control(latencyPort(index)), latency) << kUris[index] << " at " << rate;
            }
            p.deactivate();
        }
        // No rate at all: the host is refused rather than handed a broken engine.
        lv2host::Instance nan(world, plugin(index), std::nan(""));
        EXPECT_FALSE(nan.ok());
    }
}

TEST_F(Lv2Run, NullAudioPortsProcessNothingButStillReport) {
    for (int index = 0; index < 3; ++index) {
        lv2host::Instance p(world, plugin(index), 48000);
        ASSERT_TRUE(p.ok());
        p.activate();
        for (uint32_t n : {0u, 1u, 512u}) {
            p.control(latencyPort(index)) = -1.0f;
            p.run(n);  // no audio port connected
            EXPECT_EQ(p.control(latencyPort(index)), 1698.0f);
            EXPECT_EQ(p.control(gainMeterPort(index)), 0.0f);
            EXPECT_EQ(p.control(reductionMeterPort(index)), 0.0f);
        }
        // All but the last output connected: still nothing is written.
        Buffers b(channelsOf(index), 512);
        for (int ch = 0; ch < channelsOf(index); ++ch) {
            std::fill(b.in[ch].begin(), b.in[ch].end(), 0.5f);
            std::fill(b.out[ch].begin(), b.out[ch].end(), -3.0f);
            p.connect(lv2Input(index, ch), b.in[ch].data());
            if (ch + 1 < channelsOf(index)) p.connect(lv2Input(index, ch) + 1, b.out[ch].data());
        }
        p.run(512);
        for (int ch = 0; ch < channelsOf(index); ++ch) EXPECT_EQ(b.out[ch][0], -3.0f);
        // Port numbers beyond the plug-in's are ignored.
        float stray = 0.0f;
        p.connect(999, &stray);
        p.connect(static_cast<uint32_t>(lv2Input(index, channelsOf(index) - 1) + 2), &stray);
        p.run(16);
        EXPECT_EQ(stray, 0.0f);
        // Connected at last, it processes.
        p.connect(lv2Input(index, channelsOf(index) - 1) + 1, b.out[channelsOf(index) - 1].data());
        p.run(512);
        EXPECT_EQ(b.out[0][0], 0.0f);  // the delayed silence of the latency
    }
}

// The audio against the LADSPA plug-in, run by run, with the same control
// port values: the hand-over, the engines and the 5.1 unit are the same, so
// every output bit must be the same. The LV2 side runs in place on every
// other layout.
TEST_F(Lv2Run, SameAudioAsTheLadspaPluginUnderHostileControls) {
    testhost::Library ladspa(ORVANTA_LADSPA_LIBRARY);
    ASSERT_TRUE(ladspa.loaded());
    struct Change {
        int run;
        uint32_t port;
        float value;
    };
    const std::vector<Change> changes = {
        {1, 0, -23.0f}, {2, 2, 12.0f},  {2, 1, -1.5f},  {3, 6, 50.0f},   {3, 7, 1.5f},
        {4, 0, -20.05f}, {5, 1, kNaN},  {6, 2, kInf},   {6, 0, -kInf},   {7, 1, 1e10f},
        {7, 2, 25.0f},  {8, 3, -90.0f}, {8, 4, 3.0f},   {9, 7, 7.0f},    {9, 5, kNaN},
        {10, 5, 0.0f},  {11, 6, 0.0f},  {12, 5, 80.0f}, {12, 7, -kInf},
    };
    const uint32_t blocks[] = {512, 1, 100, 0, 4096, 37, 100000, 512, 2048, 0, 333, 1, 8192};
    for (int rate : {48000, 44100}) {
        for (int index = 0; index < 3; ++index) {
            SCOPED_TRACE(std::string(kUris[index]) + " at " + std::to_string(rate));
            const int channels = channelsOf(index);
            const bool inPlace = (index + rate) % 2 == 0;
            testhost::Instance reference(ladspa.descriptor(static_cast<unsigned long>(index)),
                                         static_cast<unsigned long>(rate));
            lv2host::Instance p(world, plugin(index), rate);
            ASSERT_TRUE(reference.ok() && p.ok());
            reference.activate();
            p.activate();
            std::vector<Change> all = changes;
            if (index == 2) all.push_back({2, 8, 6.0f}), all.push_back({9, 8, -1e30f}), all.push_back({10, 8, kNaN});

            size_t total = 0;
            for (uint32_t n : blocks) total += n;
            std::vector<std::vector<float>> input(channels);
            for (int ch = 0; ch < channels; ++ch) {
                input[ch] = programme(total, static_cast<uint32_t>(ch + 1), rate, {0.02f, 0.5f, 0.003f, 0.2f, 0.9f}, 1.4f);
                // Hostile samples in the long block, on every channel.
                const float hostile[] = {kNaN, kInf, -kInf, 1e30f, -3e38f};
                for (size_t k = 0; k < std::size(hostile); ++k) input[ch][20000 + 7919 * k + 13 * static_cast<size_t>(ch)] = hostile[k];
            }
            size_t pos = 0;
            for (int run = 0; run < static_cast<int>(std::size(blocks)); ++run) {
                const uint32_t n = blocks[run];
                for (const Change& c : all) {
                    if (c.run != run) continue;
                    reference.control(c.port) = c.value;
                    p.control(c.port) = c.value;
                }
                Buffers expected(channels, n), actual(channels, n);
                for (int ch = 0; ch < channels; ++ch) {
                    std::copy(input[ch].begin() + static_cast<long>(pos), input[ch].begin() + static_cast<long>(pos + n),
                              expected.in[ch].begin());
                    actual.in[ch] = expected.in[ch];
                    reference.connect(ladspaInput(index, ch), expected.in[ch].data());
                    reference.connect(ladspaInput(index, ch) + 1, expected.out[ch].data());
                    p.connect(lv2Input(index, ch), actual.in[ch].data());
                    p.connect(lv2Input(index, ch) + 1, inPlace ? actual.in[ch].data() : actual.out[ch].data());
                }
                reference.run(n);
                p.run(n);
                for (int ch = 0; ch < channels; ++ch) {
                    const float* got = inPlace ? actual.in[ch].data() : actual.out[ch].data();
                    ASSERT_EQ(std::memcmp(got, expected.out[ch].data(), n * sizeof(float)), 0)
                        << "run " << run << ", channel " << ch;
                    for (uint32_t i = 0; i < n; ++i) ASSERT_TRUE(std::isfinite(got[i]));
                }
                EXPECT_EQ(p.control(latencyPort(index)), rate == 48000 ? 1698.0f : 1560.0f);
                pos += n;
            }
        }
    }
}

// The meters on a programme that forces both: a quiet passage that the
// leveler lifts by up to 30 dB, then hot bursts that the limiter holds at
// -3 dBTP. Each meter is checked against an engine driven directly with the
// same settings, and the audio must not depend on whether a host reads them.
TEST_F(Lv2Run, MetersShowLevelerGainAndLimiterReduction) {
    const int rate = 48000;
    const uint32_t block = 4800;  // 0.1 s
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(kUris[index]);
        const int channels = channelsOf(index);
        const Layout layout = index == 0 ? Layout::Mono : index == 1 ? Layout::Stereo : Layout::Surround51;
        lv2host::Instance metered(world, plugin(index), rate), unmetered(world, plugin(index), rate);
        ASSERT_TRUE(metered.ok() && unmetered.ok());
        unmetered.connect(gainMeterPort(index), nullptr);
        unmetered.connect(reductionMeterPort(index), nullptr);
        metered.activate();
        unmetered.activate();

        // The reference engine for the main channels, set up as the plug-in.
        LevelerCore engine;
        applyInitialParameters(engine, layout);
        engine.setSampleRate(static_cast<float>(rate));
        const float settings[][2] = {{0, -10.0f}, {1, -3.0f}, {2, 30.0f}};  // target, ceiling, max gain
        for (const auto& s : settings) {
            metered.control(static_cast<uint32_t>(s[0])) = unmetered.control(static_cast<uint32_t>(s[0])) = s[1];
            applyEngineValue(engine, nullptr, static_cast<ParamId>(static_cast<int>(s[0])), s[1]);
        }

        const size_t quiet = static_cast<size_t>(rate) * 4, loud = static_cast<size_t>(rate) * 2;
        std::vector<std::vector<float>> input(channels);
        for (int ch = 0; ch < channels; ++ch) {
            input[ch] = programme(quiet, static_cast<uint32_t>(ch + 7), rate, {0.004f}, 0.0f);
            if (layout == Layout::Surround51 && ch == 3) std::fill(input[ch].begin(), input[ch].end(), 0.0f);  // LFE silent
            const std::vector<float> hot = programme(loud, static_cast<uint32_t>(ch + 9), rate, {0.3f}, 1.5f);
            input[ch].insert(input[ch].end(), hot.begin(), hot.end());
        }
        float largestGain = -100.0f, largestReduction = 0.0f, quietReduction = 0.0f;
        Buffers a(channels, block), b(channels, block), r(channels, block);
        for (size_t pos = 0; pos + block <= input[0].size(); pos += block) {
            for (int ch = 0; ch < channels; ++ch) {
                std::copy(input[ch].begin() + static_cast<long>(pos), input[ch].begin() + static_cast<long>(pos + block),
                          a.in[ch].begin());
                b.in[ch] = r.in[ch] = a.in[ch];
                metered.connect(lv2Input(index, ch), a.in[ch].data());
                metered.connect(lv2Input(index, ch) + 1, a.out[ch].data());
                unmetered.connect(lv2Input(index, ch), b.in[ch].data());
                unmetered.connect(lv2Input(index, ch) + 1, b.out[ch].data());
            }
            metered.control(reductionMeterPort(index)) = -99.0f;
            metered.run(block);
            unmetered.run(block);
            for (int ch = 0; ch < channels; ++ch)
                ASSERT_EQ(std::memcmp(a.out[ch].data(), b.out[ch].data(), block * sizeof(float)), 0);

            const float gainDb = metered.control(gainMeterPort(index));
            const float reductionDb = metered.control(reductionMeterPort(index));
            if (layout != Layout::Surround51) {
                engine.clearDeepestEnvelope();
                if (layout == Layout::Mono)
                    engine.processMono(r.in[0].data(), r.out[0].data(), static_cast<int32_t>(block));
                else
                    engine.processStereo(r.in[0].data(), r.in[1].data(), r.out[0].data(), r.out[1].data(),
                                         static_cast<int32_t>(block));
                EXPECT_NEAR(gainDb, 20.0 * std::log10(engine.getLevelerGain()), 1e-4);
                // Measured from the envelope's rest level, 2^-10 over the ceiling.
                const float rest = static_cast<float>(engine.getCeiling() * 1.0009765625);
                const double deepest = 20.0 * std::log10(engine.getDeepestEnvelope() / rest);
                EXPECT_NEAR(reductionDb, deepest > 0.0 ? deepest : 0.0, 1e-4);
            }
            EXPECT_GE(reductionDb, 0.0f);
            if (pos < quiet) {
                largestGain = std::max(largestGain, gainDb);
                // The first block still shows the limiter coming down from its
                // start at 0 dBTP to the -3 dBTP ceiling.
                if (pos > 0) quietReduction = std::max(quietReduction, reductionDb);
            } else {
                largestReduction = std::max(largestReduction, reductionDb);
            }
        }
        EXPECT_GT(largestGain, 15.0f) << "the leveler lifts the quiet passage";
        EXPECT_LE(largestGain, 30.0f);
        EXPECT_EQ(quietReduction, 0.0f) << "nothing reaches the ceiling in the quiet passage";
        EXPECT_GT(largestReduction, 3.0f) << "the limiter holds the bursts";
        // A block of 0 samples limits nothing.
        metered.run(0);
        EXPECT_EQ(metered.control(reductionMeterPort(index)), 0.0f);
    }
}
