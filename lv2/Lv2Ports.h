// The three LV2 plug-ins and their ports: one description that the plug-in
// binary and the Turtle generator both read, so the port numbers the binary
// serves are the ones its bundle declares.
//
// Port order of every plug-in, mirroring the LADSPA plug-ins:
//   0 .. controls-1    the control inputs of the parameter table, in its order,
//                      named by the table's symbols
//   controls           "latency" (samples), reported to the host
//   controls + 1       "Leveler Gain" meter (dB, the gain at the end of the block)
//   controls + 2       "Limiter Reduction" meter (dB, the deepest within the block)
//   then, per channel  its input and its output, in the host's channel order
//
// The URIs are persisted in users' sessions: never change them.
#pragma once

#include <cstdint>

#include "Meters.h"
#include "ParamTable.h"
#include "PortPlugin.h"

namespace orvanta_lv2 {

constexpr const char* kMaker = "Veltrano";
constexpr const char* kBundleName = "orvanta.lv2";
constexpr const char* kBinaryName = "orvanta64.so";
constexpr const char* kTurtleName = "orvanta.ttl";

// Units of our own, for the levels no unit of the LV2 vocabulary names.
constexpr const char* kLufsUnitUri = "urn:veltrano:orvanta:unit:lufs";
constexpr const char* kDbtpUnitUri = "urn:veltrano:orvanta:unit:dbtp";

using orvanta_meters::kGainMeterCeilingDb;
using orvanta_meters::kGainMeterFloorDb;
using orvanta_meters::kReductionMeterMaxDb;

// Largest latency any rate gives (384 kHz): the latency port's upper bound.
constexpr float kLatencyMaxSamples = 13542.0f;

struct Channel {
    const char* symbol;       // "left": ports "in_left", "out_left"
    const char* name;         // "Left": ports "Input (Left)", "Output (Left)"
    const char* designation;  // port-groups channel URI, or null
};

struct PluginInfo {
    const char* uri;
    const char* name;
    Layout layout;
    int32_t controls;  // leading control inputs from the parameter table
    int32_t channels;
    const Channel* channelInfo;
    const char* groupClass;  // port-groups class of the audio groups, or null
};

constexpr const char* kPortGroups = "http://lv2plug.in/ns/ext/port-groups#";

constexpr Channel kMonoChannels[] = {{"", "", nullptr}};
constexpr Channel kStereoChannels[] = {
    {"left", "Left", "http://lv2plug.in/ns/ext/port-groups#left"},
    {"right", "Right", "http://lv2plug.in/ns/ext/port-groups#right"}};
// The host's 5.1 order: front left, front right, centre, LFE, back left, back right.
constexpr Channel kSurroundChannels[] = {
    {"front_left", "Front Left", "http://lv2plug.in/ns/ext/port-groups#left"},
    {"front_right", "Front Right", "http://lv2plug.in/ns/ext/port-groups#right"},
    {"center", "Center", "http://lv2plug.in/ns/ext/port-groups#center"},
    {"lfe", "LFE", "http://lv2plug.in/ns/ext/port-groups#lowFrequencyEffects"},
    {"back_left", "Back Left", "http://lv2plug.in/ns/ext/port-groups#rearLeft"},
    {"back_right", "Back Right", "http://lv2plug.in/ns/ext/port-groups#rearRight"}};

constexpr int32_t kPluginCount = 3;
constexpr PluginInfo kPlugins[kPluginCount] = {
    {"urn:veltrano:orvanta:mono", "Orvanta Mono", Layout::Mono, paramCount(Layout::Mono), 1,
     kMonoChannels, nullptr},
    {"urn:veltrano:orvanta:stereo", "Orvanta Stereo", Layout::Stereo, paramCount(Layout::Stereo), 2,
     kStereoChannels, "http://lv2plug.in/ns/ext/port-groups#StereoGroup"},
    {"urn:veltrano:orvanta:5dot1", "Orvanta 5.1", Layout::Surround51, paramCount(Layout::Surround51), 6,
     kSurroundChannels, "http://lv2plug.in/ns/ext/port-groups#FivePointOneGroup"},
};

constexpr int32_t latencyPort(const PluginInfo& p) { return p.controls; }
constexpr int32_t gainMeterPort(const PluginInfo& p) { return p.controls + 1; }
constexpr int32_t reductionMeterPort(const PluginInfo& p) { return p.controls + 2; }
constexpr int32_t inputPort(const PluginInfo& p, int32_t channel) { return p.controls + 3 + 2 * channel; }
constexpr int32_t outputPort(const PluginInfo& p, int32_t channel) { return p.controls + 4 + 2 * channel; }
constexpr int32_t portCount(const PluginInfo& p) { return p.controls + 3 + 2 * p.channels; }

// Where the instance of a plug-in finds its ports.
constexpr PortLayout portLayout(const PluginInfo& p) {
    return {p.layout, latencyPort(p), gainMeterPort(p), reductionMeterPort(p), inputPort(p, 0), portCount(p)};
}

}  // namespace orvanta_lv2
