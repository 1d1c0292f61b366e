// The LADSPA library as a host sees it: loaded with dlopen, every descriptor
// field, port and hint, its one export, and hosts that connect null or odd
// ports. Bit identity with the engine is the scenario host's job; what the
// instance does with its ports is the core's tests' (PortPlugin).
#include <gtest/gtest.h>

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
    {5, "Input Level (LUFS)", kBounded | LADSPA_HINT_DEFAULT_MIDDLE, -40, 0.0f},  // +0: hosts print -0 as "-0"
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

// The LADSPA side of hostile hosts (what the instance does with null ports is
// the core's tests'): the slots each plug-in takes, a null instance, rate 0.
TEST(LadspaHostile, OddPortNumbersNullInstancesAndNoRate) {
    float scratch = 0.0f;
    for (unsigned long index = 0; index < 3; ++index) {
        const LADSPA_Descriptor* d = library().descriptor(index);
        testhost::Instance plugin(d, 0);  // the engines take 48000 below 10 Hz
        // One-engine plug-ins take ports up to 12 (the mono one never reads
        // 11 and 12), the 5.1 plug-in up to 21; beyond, nothing is stored.
        const unsigned long slots = index == 2 ? 22 : 13;
        plugin.connect(slots - 1, nullptr);
        plugin.connect(slots, &scratch);
        plugin.connect(~0ul, &scratch);
        plugin.run(512);
        EXPECT_EQ(plugin.control(index == 2 ? 9 : 8), 1698.0f);
        EXPECT_EQ(scratch, 0.0f);
        d->cleanup(nullptr);
        d->connect_port(nullptr, 0, &scratch);
        d->activate(nullptr);
        d->run(nullptr, 512);
    }
}
