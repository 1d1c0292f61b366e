// The bundle as an LV2 host reads it through lilv: the three plug-ins, every
// port with its symbol, name, bounds, default and unit against the parameter
// table, the mode's scale points, the latency port, the meters, and the 5.1
// channel roles. Symbols and URIs are persisted in users' sessions, so they
// are spelled out here rather than taken from the code that writes them.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <string>
#include <vector>

#include "Lv2Host.h"
#include "ParamTable.h"

namespace {

using lv2host::kLv2;
using lv2host::kPortGroups;
using lv2host::kUnits;

const char* const kSymbols[] = {"target_level",    "true_peak",      "max_gain",
                                "freeze_level",    "input_level",    "correction_high",
                                "correction_low",  "corr_mix_mode",  "lfe_gain"};
const std::string kLufs = "urn:veltrano:orvanta:unit:lufs";
const std::string kDbtp = "urn:veltrano:orvanta:unit:dbtp";
const std::string kDb = std::string(kUnits) + "db";
const std::string kPercent = std::string(kUnits) + "pc";
const std::string kUnitOf[] = {kLufs, kDbtp, kDb, kLufs, kLufs, kPercent, kPercent, "", kDb};

struct ExpectedPlugin {
    const char* uri;
    const char* name;
    int controls;
    std::vector<std::string> audioSymbols;  // in port order
    std::vector<std::string> audioNames;
    std::vector<std::string> designations;  // per channel; empty: none
};

const std::vector<ExpectedPlugin> kExpected = {
    {"urn:veltrano:orvanta:mono", "Orvanta Mono", 8, {"in", "out"}, {"Input", "Output"}, {}},
    {"urn:veltrano:orvanta:stereo",
     "Orvanta Stereo",
     8,
     {"in_left", "out_left", "in_right", "out_right"},
     {"Input (Left)", "Output (Left)", "Input (Right)", "Output (Right)"},
     {"left", "right"}},
    {"urn:veltrano:orvanta:5dot1",
     "Orvanta 5.1",
     9,
     {"in_front_left", "out_front_left", "in_front_right", "out_front_right", "in_center",
      "out_center", "in_lfe", "out_lfe", "in_back_left", "out_back_left", "in_back_right",
      "out_back_right"},
     {"Input (Front Left)", "Output (Front Left)", "Input (Front Right)", "Output (Front Right)",
      "Input (Center)", "Output (Center)", "Input (LFE)", "Output (LFE)", "Input (Back Left)",
      "Output (Back Left)", "Input (Back Right)", "Output (Back Right)"},
     {"left", "right", "center", "lowFrequencyEffects", "rearLeft", "rearRight"}},
};

std::string text(const LilvNode* node) {
    if (node == nullptr) return "";
    return lilv_node_is_uri(node) ? lilv_node_as_uri(node) : lilv_node_as_string(node);
}

// The single value of a port's property, as text ("" when absent).
std::string portValue(lv2host::World& w, const LilvPlugin* p, const LilvPort* port, const std::string& property) {
    LilvNode* value = lilv_port_get(p, port, w.node(property));
    std::string result = text(value);
    lilv_node_free(value);
    return result;
}

class Lv2Bundle : public ::testing::Test {
protected:
    lv2host::World world;

    const LilvPort* port(const LilvPlugin* p, uint32_t index) { return lilv_plugin_get_port_by_index(p, index); }
    bool is(const LilvPlugin* p, uint32_t index, const char* cls) {
        return lilv_port_is_a(p, port(p, index), world.node(std::string(kLv2) + cls));
    }
    bool hasProperty(const LilvPlugin* p, uint32_t index, const char* prop) {
        return lilv_port_has_property(p, port(p, index), world.node(std::string(kLv2) + prop));
    }
    void range(const LilvPlugin* p, uint32_t index, float& def, float& min, float& max) {
        LilvNode *d = nullptr, *lo = nullptr, *hi = nullptr;
        lilv_port_get_range(p, port(p, index), &d, &lo, &hi);
        def = d != nullptr ? lilv_node_as_float(d) : 1e30f;
        min = lo != nullptr ? lilv_node_as_float(lo) : 1e30f;
        max = hi != nullptr ? lilv_node_as_float(hi) : 1e30f;
        lilv_node_free(d);
        lilv_node_free(lo);
        lilv_node_free(hi);
    }
    std::string symbol(const LilvPlugin* p, uint32_t index) {
        return text(lilv_port_get_symbol(p, port(p, index)));
    }
    std::string name(const LilvPlugin* p, uint32_t index) {
        LilvNode* n = lilv_port_get_name(p, port(p, index));
        std::string s = text(n);
        lilv_node_free(n);
        return s;
    }
};

}  // namespace

TEST_F(Lv2Bundle, ThreePluginsWithTheLadspaNamesClassAndFeatures) {
    ASSERT_EQ(lilv_plugins_size(world.plugins()), 3u);
    for (const ExpectedPlugin& e : kExpected) {
        const LilvPlugin* p = world.plugin(e.uri);
        ASSERT_NE(p, nullptr) << e.uri;
        EXPECT_TRUE(lilv_plugin_verify(p)) << e.uri;
        LilvNode* n = lilv_plugin_get_name(p);
        EXPECT_EQ(text(n), e.name);
        lilv_node_free(n);
        n = lilv_plugin_get_author_name(p);
        EXPECT_EQ(text(n), "Veltrano");
        lilv_node_free(n);
        EXPECT_TRUE(lilv_world_ask(world.get(), lilv_plugin_get_uri(p),
                                   world.node("http://www.w3.org/1999/02/22-rdf-syntax-ns#type"),
                                   world.node(std::string(kLv2) + "DynamicsPlugin")));
        LilvNodes* optional = lilv_plugin_get_optional_features(p);
        EXPECT_TRUE(lilv_nodes_contains(optional, world.node(std::string(kLv2) + "hardRTCapable")));
        lilv_nodes_free(optional);
        LilvNodes* required = lilv_plugin_get_required_features(p);
        EXPECT_EQ(lilv_nodes_size(required), 0u) << "a host must need nothing to load it";
        lilv_nodes_free(required);
        EXPECT_FALSE(lilv_plugin_has_feature(p, world.node(std::string(kLv2) + "inPlaceBroken")));
    }
}

// The binary itself, as a host that reads no Turtle would see it: the three
// URIs in order, and nothing past them.
TEST(Lv2Binary, ServesTheThreeUrisInOrder) {
    void* binary = dlopen((std::string(ORVANTA_LV2_BUNDLE) + "/orvanta64.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(binary, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(binary, "lv2_descriptor"));
    ASSERT_NE(entry, nullptr);
    for (uint32_t i = 0; i < 3; ++i) {
        const LV2_Descriptor* d = entry(i);
        ASSERT_NE(d, nullptr);
        EXPECT_STREQ(d->URI, kExpected[i].uri);
        EXPECT_EQ(d->extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);
        d->cleanup(nullptr);  // a null instance is ignored
    }
    EXPECT_EQ(entry(3), nullptr);
    EXPECT_EQ(entry(0xFFFFFFFFu), nullptr);
    dlclose(binary);
}

TEST_F(Lv2Bundle, ControlInputsMatchTheParameterTable) {
    for (const ExpectedPlugin& e : kExpected) {
        const LilvPlugin* p = world.plugin(e.uri);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(lilv_plugin_get_num_ports(p), static_cast<uint32_t>(e.controls + 3 + e.audioSymbols.size()));
        for (int i = 0; i < e.controls; ++i) {
            const auto index = static_cast<uint32_t>(i);
            const ParamInfo& row = paramTable[i];
            SCOPED_TRACE(std::string(e.uri) + " port " + std::to_string(i));
            EXPECT_TRUE(is(p, index, "InputPort") && is(p, index, "ControlPort"));
            EXPECT_EQ(symbol(p, index), kSymbols[i]);
            EXPECT_EQ(name(p, index), row.vstName);
            float def, min, max;
            range(p, index, def, min, max);
            EXPECT_EQ(def, row.engineDefault);
            EXPECT_EQ(min, row.lower);
            EXPECT_EQ(max, row.upper);  // Input Level: 0 and the table's -0 are the same bound
            EXPECT_EQ(portValue(world, p, port(p, index), std::string(kUnits) + "unit"), kUnitOf[i]);
            const bool mode = static_cast<ParamId>(i) == ParamId::CorrMixMode;
            EXPECT_EQ(hasProperty(p, index, "integer"), mode);
            EXPECT_EQ(hasProperty(p, index, "enumeration"), mode);
            LilvScalePoints* points = lilv_port_get_scale_points(p, port(p, index));
            EXPECT_EQ(points != nullptr ? lilv_scale_points_size(points) : 0u, mode ? 4u : 0u);
            if (points != nullptr) {
                LILV_FOREACH(scale_points, it, points) {
                    const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                    const float value = lilv_node_as_float(lilv_scale_point_get_value(sp));
                    EXPECT_EQ(text(lilv_scale_point_get_label(sp)), mixModeText(static_cast<int32_t>(value)));
                }
                lilv_scale_points_free(points);
            }
        }
    }
}

TEST_F(Lv2Bundle, OwnUnitsCarrySymbolAndRenderFormat) {
    // A host reads a unit once the plug-in's data is loaded, which a port query does.
    ASSERT_GT(lilv_plugin_get_num_ports(world.plugin(kExpected[0].uri)), 0u);
    const std::pair<std::string, std::string> units[] = {{kLufs, "LUFS"}, {kDbtp, "dBTP"}};
    for (const auto& [uri, sym] : units) {
        LilvNode* s = lilv_world_get(world.get(), world.node(uri), world.node(std::string(kUnits) + "symbol"), nullptr);
        LilvNode* r = lilv_world_get(world.get(), world.node(uri), world.node(std::string(kUnits) + "render"), nullptr);
        EXPECT_EQ(text(s), sym);
        EXPECT_EQ(text(r), "%.1f " + sym);
        lilv_node_free(s);
        lilv_node_free(r);
    }
}

TEST_F(Lv2Bundle, LatencyMetersAndAudioPorts) {
    for (const ExpectedPlugin& e : kExpected) {
        const LilvPlugin* p = world.plugin(e.uri);
        ASSERT_NE(p, nullptr);
        SCOPED_TRACE(e.uri);
        const auto latency = static_cast<uint32_t>(e.controls);
        EXPECT_TRUE(lilv_plugin_has_latency(p));
        EXPECT_EQ(lilv_plugin_get_latency_port_index(p), latency);
        EXPECT_TRUE(is(p, latency, "OutputPort") && is(p, latency, "ControlPort"));
        EXPECT_EQ(symbol(p, latency), "latency");
        EXPECT_EQ(portValue(world, p, port(p, latency), std::string(kLv2) + "designation"),
                  std::string(kLv2) + "latency");
        EXPECT_TRUE(hasProperty(p, latency, "reportsLatency"));

        const char* meterSymbols[] = {"leveler_gain", "limiter_reduction"};
        const char* meterNames[] = {"Leveler Gain", "Limiter Reduction"};
        for (uint32_t m = 0; m < 2; ++m) {
            const uint32_t index = latency + 1 + m;
            EXPECT_TRUE(is(p, index, "OutputPort") && is(p, index, "ControlPort"));
            EXPECT_EQ(symbol(p, index), meterSymbols[m]);
            EXPECT_EQ(name(p, index), meterNames[m]);
            EXPECT_EQ(portValue(world, p, port(p, index), std::string(kUnits) + "unit"), kDb);
        }

        for (size_t a = 0; a < e.audioSymbols.size(); ++a) {
            const auto index = static_cast<uint32_t>(e.controls + 3 + a);
            const bool output = a % 2 == 1;
            EXPECT_TRUE(is(p, index, "AudioPort"));
            EXPECT_TRUE(is(p, index, output ? "OutputPort" : "InputPort"));
            EXPECT_EQ(symbol(p, index), e.audioSymbols[a]);
            EXPECT_EQ(name(p, index), e.audioNames[a]);
            const std::string designation = portValue(world, p, port(p, index), std::string(kLv2) + "designation");
            const std::string group = portValue(world, p, port(p, index), std::string(kPortGroups) + "group");
            if (e.designations.empty()) {
                EXPECT_EQ(designation, "");
                continue;
            }
            EXPECT_EQ(designation, std::string(kPortGroups) + e.designations[a / 2]);
            EXPECT_EQ(group, std::string(e.uri) + (output ? ":out" : ":in"));
        }
    }
    // The 5.1 groups: a 5.1 input group and its output group, the plug-in's
    // main input and output.
    const LilvPlugin* surround = world.plugin("urn:veltrano:orvanta:5dot1");
    const LilvNode* in = world.node("urn:veltrano:orvanta:5dot1:in");
    const LilvNode* out = world.node("urn:veltrano:orvanta:5dot1:out");
    const LilvNode* type = world.node("http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
    for (const LilvNode* group : {in, out})
        EXPECT_TRUE(lilv_world_ask(world.get(), group, type, world.node(std::string(kPortGroups) + "FivePointOneGroup")));
    EXPECT_TRUE(lilv_world_ask(world.get(), in, type, world.node(std::string(kPortGroups) + "InputGroup")));
    EXPECT_TRUE(lilv_world_ask(world.get(), out, world.node(std::string(kPortGroups) + "source"), in));
    EXPECT_TRUE(lilv_world_ask(world.get(), lilv_plugin_get_uri(surround),
                               world.node(std::string(kPortGroups) + "mainInput"), in));
    EXPECT_TRUE(lilv_world_ask(world.get(), lilv_plugin_get_uri(surround),
                               world.node(std::string(kPortGroups) + "mainOutput"), out));
}
