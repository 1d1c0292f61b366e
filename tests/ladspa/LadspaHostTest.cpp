// The LADSPA library as a host sees it: loaded with dlopen, every descriptor
// field, port and hint, the latency port, and the edge cases of the control
// ports and of host behaviour (null ports, odd port numbers, block sizes).
// Bit identity with the engine is the scenario host's job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PluginHost.h"

namespace {

testhost::Library& library() {
    static testhost::Library lib(ORVANTA_LADSPA_LIBRARY);
    return lib;
}

struct PortRow {
    LADSPA_PortDescriptor descriptor;
    std::string name;
    LADSPA_PortRangeHintDescriptor hint;
    float lower, upper;
};

constexpr LADSPA_PortRangeHintDescriptor kBounded = LADSPA_HINT_BOUNDED_BELOW | LADSPA_HINT_BOUNDED_ABOVE;

const PortRow kControls[] = {
    {5, "Target Level (LUFS)", kBounded | LADSPA_HINT_DEFAULT_MIDDLE, -30, -10},
    {5, "True Peak (dBTP)", kBounded | LADSPA_HINT_DEFAULT_MAXIMUM, -5, 0},
    {5, "Max Gain (dB)", kBounded | LADSPA_HINT_DEFAULT_LOW, -10, 30},
    {5, "Freeze Level (LUFS)", kBounded | LADSPA_HINT_DEFAULT_MIDDLE, -70, -10},
    {5, "Input Level (LUFS)", kBounded | LADSPA_HINT_DEFAULT_MIDDLE, -40, -0.0f},
    {5, "Correction High (%)", kBounded | LADSPA_HINT_DEFAULT_MAXIMUM, 0, 100},
    {5, "Correction Low (%)", kBounded | LADSPA_HINT_DEFAULT_MAXIMUM, 0, 100},
    {5, "Corr Mix Mode", kBounded | LADSPA_HINT_INTEGER | LADSPA_HINT_DEFAULT_MINIMUM, 0, 3},
};

std::vector<PortRow> expectedPorts(unsigned long index) {
    std::vector<PortRow> rows(std::begin(kControls), std::end(kControls));
    auto add = [&rows](LADSPA_PortDescriptor d, const std::string& name) { rows.push_back({d, name, 0, 0, 0}); };
    if (index == 0) {
        add(6, "latency");
        add(9, "Input");
        add(10, "Output");
    } else if (index == 1) {
        add(6, "latency");
        for (const char* side : {"Left", "Right"}) {
            add(9, "Input (" + std::string(side) + ")");
            add(10, "Output (" + std::string(side) + ")");
        }
    } else {
        rows.push_back({5, "LFE Gain (dB)", kBounded | LADSPA_HINT_DEFAULT_LOW, -10, 30});
        add(6, "latency");
        for (const char* ch : {"Front Left", "Front Right", "Center", "LFE", "Back Left", "Back Right"}) {
            add(9, "Input (" + std::string(ch) + ")");
            add(10, "Output (" + std::string(ch) + ")");
        }
    }
    return rows;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A plug-in instance with its audio ports connected to owned buffers.
struct Rig {
    const LADSPA_Descriptor* d;
    testhost::Instance plugin;
    unsigned long firstAudio;
    std::vector<std::vector<float>> in, out;

    Rig(unsigned long index, unsigned long rate, size_t frames)
        : d(library().descriptor(index)), plugin(d, rate), firstAudio(index == 2 ? 10 : 9) {
        const size_t channels = (d->PortCount - firstAudio) / 2;
        in.assign(channels, std::vector<float>(frames, 0.0f));
        out.assign(channels, std::vector<float>(frames, 0.0f));
        for (size_t ch = 0; ch < channels; ++ch) {
            plugin.connect(firstAudio + 2 * ch, in[ch].data());
            plugin.connect(firstAudio + 2 * ch + 1, out[ch].data());
        }
        plugin.activate();
    }
    float& latency() { return plugin.control(firstAudio - 1); }
};

float peakOf(const std::vector<float>& x, size_t from = 0) {
    float peak = 0.0f;
    for (size_t i = from; i < x.size(); ++i) peak = std::max(peak, std::fabs(x[i]));
    return peak;
}

}  // namespace

TEST(LadspaDescriptors, EveryFieldPortAndHint) {
    ASSERT_TRUE(library().loaded());
    const unsigned long ids[] = {5505, 5506, 5507};
    const char* labels[] = {"orvt_mono", "orvt_stereo", "orvt_5dot1"};
    const char* names[] = {"Orvanta Mono", "Orvanta Stereo", "Orvanta 5.1"};
    const unsigned long counts[] = {11, 13, 22};
    for (unsigned long index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const LADSPA_Descriptor* d = library().descriptor(index);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->UniqueID, ids[index]);
        EXPECT_STREQ(d->Label, labels[index]);
        EXPECT_STREQ(d->Name, names[index]);
        EXPECT_STREQ(d->Maker, "Veltrano");
        EXPECT_EQ(std::string(d->Copyright).rfind("v1.15", 0), 0u);
        EXPECT_EQ(d->Properties, static_cast<LADSPA_Properties>(LADSPA_PROPERTY_HARD_RT_CAPABLE));
        EXPECT_EQ(d->Properties, 4);
        EXPECT_EQ(d->ImplementationData, nullptr);
        EXPECT_EQ(d->run_adding, nullptr);
        EXPECT_EQ(d->set_run_adding_gain, nullptr);
        EXPECT_EQ(d->deactivate, nullptr);
        EXPECT_NE(d->instantiate, nullptr);
        EXPECT_NE(d->connect_port, nullptr);
        EXPECT_NE(d->activate, nullptr);
        EXPECT_NE(d->run, nullptr);
        EXPECT_NE(d->cleanup, nullptr);
        ASSERT_EQ(d->PortCount, counts[index]);
        const std::vector<PortRow> rows = expectedPorts(index);
        ASSERT_EQ(rows.size(), d->PortCount);
        for (unsigned long p = 0; p < d->PortCount; ++p) {
            SCOPED_TRACE(p);
            EXPECT_EQ(d->PortDescriptors[p], rows[p].descriptor);
            EXPECT_STREQ(d->PortNames[p], rows[p].name.c_str());
            EXPECT_EQ(d->PortRangeHints[p].HintDescriptor, rows[p].hint);
            EXPECT_TRUE(sameBits(d->PortRangeHints[p].LowerBound, rows[p].lower));
            EXPECT_TRUE(sameBits(d->PortRangeHints[p].UpperBound, rows[p].upper));
        }
        // The hint numbers as published: 195, 323, 131, 195, 195, 323, 323, 99.
        const int published[] = {195, 323, 131, 195, 195, 323, 323, 99, 131};
        for (unsigned long p = 0; p < (index == 2 ? 9ul : 8ul); ++p)
            EXPECT_EQ(d->PortRangeHints[p].HintDescriptor, published[p]);
    }
    EXPECT_EQ(library().descriptor(3), nullptr);
    EXPECT_EQ(library().descriptor(~0ul), nullptr);
}

TEST(LadspaDescriptors, OnlyTheEntryPointIsExported) {
    // Hosts find the entry by name; nothing else of ours may be visible.
    EXPECT_NE(dlsym(library().handle(), "ladspa_descriptor"), nullptr);
    EXPECT_EQ(dlsym(library().handle(), "_Z17toEngineValue7ParamIdf"), nullptr);
    EXPECT_EQ(dlsym(library().handle(), "_ZN11LevelerCore11processMonoEPKfPfi"), nullptr);
}

TEST(LadspaRun, LatencyIsWrittenAtEveryRun) {
    for (unsigned long index = 0; index < 3; ++index) {
        for (const auto& [rate, latency] : {std::pair<unsigned long, float>{44100, 1560.0f}, {48000, 1698.0f}}) {
            Rig rig(index, rate, 256);
            rig.latency() = -1.0f;
            rig.plugin.run(0);  // no audio, but controls and latency as usual
            EXPECT_EQ(rig.latency(), latency);
            rig.latency() = 5.0f;  // whatever the host wrote meanwhile
            rig.plugin.run(256);
            EXPECT_EQ(rig.latency(), latency);
        }
    }
}

TEST(LadspaRun, ImpulseLeavesAfterTheLatency) {
    for (unsigned long index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        Rig rig(index, 48000, 4096);
        for (auto& ch : rig.in) ch[100] = 0.25f;
        rig.plugin.run(4096);
        for (const auto& ch : rig.out) {
            const auto first = std::find_if(ch.begin(), ch.end(), [](float x) { return x != 0.0f; });
            ASSERT_NE(first, ch.end());
            EXPECT_EQ(first - ch.begin(), 100 + 1698);
        }
    }
}

TEST(LadspaRun, ModePortMovesWithinOneModeChangeNothing) {
    // 1.2 and 1.4 both select mode 1: the output must be the same bits as an
    // instance whose port stayed at 1.2.
    const size_t n = 48000;
    Rig moved(1, 48000, n), still(1, 48000, n);
    for (Rig* r : {&moved, &still}) {
        for (size_t i = 0; i < n; ++i) r->in[0][i] = r->in[1][i] = 0.3f * std::sin(0.01f * static_cast<float>(i)) * (i < n / 2 ? 0.1f : 1.0f);
        r->plugin.control(5) = 60.0f;
        r->plugin.control(6) = 40.0f;
        r->plugin.control(7) = 1.2f;
        r->plugin.run(n / 2);
    }
    moved.plugin.control(7) = 1.4f;
    for (Rig* r : {&moved, &still}) {
        r->plugin.connect(9, r->in[0].data() + n / 2);
        r->plugin.connect(10, r->out[0].data() + n / 2);
        r->plugin.connect(11, r->in[1].data() + n / 2);
        r->plugin.connect(12, r->out[1].data() + n / 2);
        r->plugin.run(n / 2);
    }
    EXPECT_EQ(0, std::memcmp(moved.out[0].data(), still.out[0].data(), n * sizeof(float)));
    // A change to mode 2 does change the output (the ports are live).
    Rig other(1, 48000, n);
    other.in = moved.in;
    other.plugin.connect(9, other.in[0].data());
    other.plugin.connect(11, other.in[1].data());
    other.plugin.control(5) = 60.0f;
    other.plugin.control(6) = 40.0f;
    other.plugin.control(7) = 2.0f;
    other.plugin.run(n);
    EXPECT_NE(0, std::memcmp(other.out[0].data(), still.out[0].data(), n * sizeof(float)));
}

TEST(LadspaRun, TruePeakReachesBothSurroundEngines) {
    // A hot LFE alone: only the LFE engine limits it, at the True Peak ceiling.
    const size_t n = 24000;
    for (float truePeak : {0.0f, -4.0f}) {
        Rig rig(2, 48000, n);
        for (size_t i = 0; i < n; ++i) rig.in[3][i] = 2.0f * std::sin(0.003f * static_cast<float>(i));
        rig.in[2] = rig.in[3];  // and the same on the centre, for the main engine
        rig.plugin.control(1) = truePeak;
        rig.plugin.control(4) = -0.0f;  // input level at the top: the leveler keeps its gain low
        rig.plugin.run(n);
        const float ceiling = std::pow(10.0f, truePeak / 20.0f);
        EXPECT_LE(peakOf(rig.out[3], 2000), ceiling * 1.001f);
        EXPECT_GT(peakOf(rig.out[3], 2000), ceiling * 0.9f);
        EXPECT_LE(peakOf(rig.out[2], 2000), ceiling * 1.001f);
    }
}

TEST(LadspaHostile, NullPortsAndOddArguments) {
    const LADSPA_Descriptor* d = library().descriptor(2);
    testhost::Instance plugin(d, 48000);
    // No audio port connected: run applies controls, writes the latency and
    // processes nothing.
    plugin.control(0) = -25.0f;
    plugin.control(9) = 0.0f;
    plugin.run(512);
    EXPECT_EQ(plugin.control(9), 1698.0f);
    // Unconnected latency and control ports are skipped.
    for (unsigned long p = 0; p < 10; ++p) plugin.connect(p, nullptr);
    plugin.run(512);
    // Port numbers beyond the slots are ignored.
    float scratch = 0.0f;
    plugin.connect(22, &scratch);
    plugin.connect(~0ul, &scratch);
    // Every port but one audio port connected: still nothing processed.
    std::vector<float> buffer(512, 0.5f), sentinel(512, 9.0f);
    for (unsigned long p = 10; p < 22; ++p) plugin.connect(p, p == 21 ? nullptr : (p % 2 ? sentinel.data() : buffer.data()));
    plugin.run(512);
    EXPECT_EQ(sentinel[0], 9.0f);
    d->cleanup(nullptr);

    // One-engine plug-ins accept ports 11 and 12 (the mono one never reads them).
    const LADSPA_Descriptor* mono = library().descriptor(0);
    testhost::Instance m(mono, 48000);
    m.connect(11, nullptr);
    m.connect(12, &scratch);
    m.connect(13, &scratch);
    m.run(512);
    // A nonsense sample rate is clamped by the engine (48000 below 10 Hz).
    testhost::Instance zeroRate(mono, 0);
    zeroRate.run(0);
    EXPECT_EQ(zeroRate.control(8), 1698.0f);
}

TEST(LadspaHostile, NonFiniteControlsKeepTheLastFiniteSetting) {
    // A NaN or infinite True Peak must not reach the limiter: the output is
    // the same as with the last finite value, and stays finite.
    const size_t n = 48000;
    Rig hostile(1, 48000, n), clean(1, 48000, n);
    for (Rig* r : {&hostile, &clean}) {
        for (size_t i = 0; i < n; ++i) r->in[0][i] = r->in[1][i] = 0.9f * std::sin(0.05f * static_cast<float>(i));
        r->plugin.control(1) = -2.0f;
    }
    const size_t block = 4800;
    const float hostileValues[] = {std::nanf(""), INFINITY, -INFINITY, std::nanf("")};
    for (size_t b = 0; b * block < n; ++b) {
        hostile.plugin.control(1) = (b % 2 == 1) ? hostileValues[(b / 2) % 4] : -2.0f;
        hostile.plugin.control(2) = (b == 3) ? INFINITY : 0.0f;
        for (Rig* r : {&hostile, &clean}) {
            r->plugin.connect(9, r->in[0].data() + b * block);
            r->plugin.connect(10, r->out[0].data() + b * block);
            r->plugin.connect(11, r->in[1].data() + b * block);
            r->plugin.connect(12, r->out[1].data() + b * block);
            r->plugin.run(block);
        }
    }
    EXPECT_EQ(0, std::memcmp(hostile.out[0].data(), clean.out[0].data(), n * sizeof(float)));
    for (float x : hostile.out[1]) ASSERT_TRUE(std::isfinite(x));
}
