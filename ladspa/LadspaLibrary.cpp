// The LADSPA library: three plug-ins (mono, stereo, 5.1) over the leveling
// engine, served through ladspa_descriptor, the library's only export.
//
// Ports 0 to 7 are the eight controls of the parameter table, in engine units;
// the 5.1 plug-in has LFE Gain on port 8. Then come the "latency" output
// control and the audio ports. Each instance is a PortPlugin: at every run it
// applies the controls that changed, writes the latency and processes the
// block.
#include <ladspa.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ParamTable.h"
#include "PortPlugin.h"

namespace {

constexpr unsigned long kFirstUniqueId = 5505;
constexpr const char* kMaker = "Veltrano";
constexpr const char* kRights = "v1.15 Copyright (c) Veltrano. All rights reserved.";

// Ports after the controls: the latency output, then an input and an output
// per channel. The one-engine plug-ins take port numbers up to the stereo
// plug-in's 12 (the mono one never reads 11 and 12).
constexpr PortLayout kMonoPorts{Layout::Mono, 8, -1, -1, 9, 13};
constexpr PortLayout kStereoPorts{Layout::Stereo, 8, -1, -1, 9, 13};
constexpr PortLayout kSurroundPorts{Layout::Surround51, 9, -1, -1, 10, 22};

// ---------------------------------------------------------------- instances

// Host thread that loads plug-ins (never the audio thread): a new instance
// with the defaults and the host's rate, or null when memory cannot be had.
LADSPA_Handle instantiateMono(const LADSPA_Descriptor*, unsigned long rate) {
    return PortPlugin::create(kMonoPorts, static_cast<float>(rate));
}

LADSPA_Handle instantiateStereo(const LADSPA_Descriptor*, unsigned long rate) {
    return PortPlugin::create(kStereoPorts, static_cast<float>(rate));
}

LADSPA_Handle instantiateSurround(const LADSPA_Descriptor*, unsigned long rate) {
    return PortPlugin::create(kSurroundPorts, static_cast<float>(rate));
}

// Any host thread, never concurrently with run of the same instance. Stores
// the location; port numbers beyond the instance's slots are ignored.
void connectPort(LADSPA_Handle handle, unsigned long port, LADSPA_Data* location) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->connect(port, location);
}

// Host thread, while the instance does not run. Clears the signal state and
// keeps the parameters; allocates nothing once the rate is set.
void activate(LADSPA_Handle handle) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->activate();
}

// Audio thread. Applies changed controls, writes the latency, processes the
// block (in place or not; the 5.1 LFE input and output may be one buffer);
// allocates nothing, takes no lock, makes no system call. A null audio port
// (a host that did not connect it) makes run process nothing.
void run(LADSPA_Handle handle, unsigned long sampleCount) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->run(sampleCount);
}

// Host thread, when the instance is no longer used. null is ignored.
void cleanup(LADSPA_Handle handle) { delete static_cast<PortPlugin*>(handle); }

// ---------------------------------------------------------------- descriptors

struct ExtraPort {
    LADSPA_PortDescriptor descriptor;
    const char* name;
};

constexpr LADSPA_PortDescriptor kControlIn = LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL;    // 5
constexpr LADSPA_PortDescriptor kControlOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_CONTROL;  // 6
constexpr LADSPA_PortDescriptor kAudioIn = LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO;        // 9
constexpr LADSPA_PortDescriptor kAudioOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO;      // 10

const ExtraPort kMonoExtraPorts[] = {
    {kControlOut, "latency"}, {kAudioIn, "Input"}, {kAudioOut, "Output"}};
const ExtraPort kStereoExtraPorts[] = {
    {kControlOut, "latency"},    {kAudioIn, "Input (Left)"},   {kAudioOut, "Output (Left)"},
    {kAudioIn, "Input (Right)"}, {kAudioOut, "Output (Right)"}};
// Port 8 (LFE Gain) comes from the parameter table; these follow it.
const ExtraPort kSurroundExtraPorts[] = {
    {kControlOut, "latency"},
    {kAudioIn, "Input (Front Left)"},  {kAudioOut, "Output (Front Left)"},
    {kAudioIn, "Input (Front Right)"}, {kAudioOut, "Output (Front Right)"},
    {kAudioIn, "Input (Center)"},      {kAudioOut, "Output (Center)"},
    {kAudioIn, "Input (LFE)"},         {kAudioOut, "Output (LFE)"},
    {kAudioIn, "Input (Back Left)"},   {kAudioOut, "Output (Back Left)"},
    {kAudioIn, "Input (Back Right)"},  {kAudioOut, "Output (Back Right)"}};

struct PluginLayout {
    const char* label;
    const char* name;
    unsigned long portCount;
    int32_t parameterPorts;  // leading ports taken from the parameter table
    const ExtraPort* extraPorts;
    LADSPA_Handle (*instantiate)(const LADSPA_Descriptor*, unsigned long);
};

const PluginLayout kPlugins[] = {
    {"orvt_mono", "Orvanta Mono", 11, paramCount(Layout::Mono), kMonoExtraPorts, instantiateMono},
    {"orvt_stereo", "Orvanta Stereo", 13, paramCount(Layout::Stereo), kStereoExtraPorts, instantiateStereo},
    {"orvt_5dot1", "Orvanta 5.1", 22, paramCount(Layout::Surround51), kSurroundExtraPorts,
     instantiateSurround},
};
constexpr int32_t kPluginCount = 3;

char* copyText(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(std::malloc(size));
    if (copy != nullptr) std::memcpy(copy, text, size);
    return copy;
}

void freeDescriptor(LADSPA_Descriptor* d) {
    if (d == nullptr) return;
    std::free(const_cast<char*>(d->Label));
    std::free(const_cast<char*>(d->Name));
    std::free(const_cast<char*>(d->Maker));
    std::free(const_cast<char*>(d->Copyright));
    std::free(const_cast<LADSPA_PortDescriptor*>(d->PortDescriptors));
    if (d->PortNames != nullptr) {
        for (unsigned long p = 0; p < d->PortCount; ++p) std::free(const_cast<char*>(d->PortNames[p]));
        std::free(const_cast<char**>(d->PortNames));
    }
    std::free(const_cast<LADSPA_PortRangeHint*>(d->PortRangeHints));
    std::free(d);
}

// Builds one descriptor, or null when any part cannot be allocated (then
// nothing of it stays allocated).
LADSPA_Descriptor* buildDescriptor(int32_t index) {
    const PluginLayout& layout = kPlugins[index];
    auto* d = static_cast<LADSPA_Descriptor*>(std::calloc(1, sizeof(LADSPA_Descriptor)));
    if (d == nullptr) return nullptr;
    const unsigned long ports = layout.portCount;
    d->UniqueID = kFirstUniqueId + static_cast<unsigned long>(index);
    d->Properties = LADSPA_PROPERTY_HARD_RT_CAPABLE;
    d->Maker = copyText(kMaker);
    d->Copyright = copyText(kRights);
    d->PortCount = ports;
    auto* portDescriptors = static_cast<LADSPA_PortDescriptor*>(std::calloc(ports, sizeof(LADSPA_PortDescriptor)));
    auto* portNames = static_cast<char**>(std::calloc(ports, sizeof(char*)));
    auto* hints = static_cast<LADSPA_PortRangeHint*>(std::calloc(ports, sizeof(LADSPA_PortRangeHint)));
    d->PortDescriptors = portDescriptors;
    d->PortNames = portNames;
    d->PortRangeHints = hints;
    d->Label = copyText(layout.label);
    d->Name = copyText(layout.name);
    d->ImplementationData = nullptr;
    d->instantiate = layout.instantiate;
    d->connect_port = connectPort;
    d->activate = activate;
    d->run = run;
    d->run_adding = nullptr;
    d->set_run_adding_gain = nullptr;
    d->deactivate = nullptr;
    d->cleanup = cleanup;
    if (d->Maker == nullptr || d->Copyright == nullptr || d->Label == nullptr || d->Name == nullptr ||
        portDescriptors == nullptr || portNames == nullptr || hints == nullptr) {
        freeDescriptor(d);
        return nullptr;
    }
    for (unsigned long p = 0; p < ports; ++p) {
        const auto param = static_cast<int32_t>(p);
        if (param < layout.parameterPorts) {
            const ParamInfo& info = paramTable[param];
            portDescriptors[p] = kControlIn;
            portNames[p] = copyText(info.portName);
            hints[p].HintDescriptor = info.hintDescriptor;
            hints[p].LowerBound = shownBound(info.lower);
            hints[p].UpperBound = shownBound(info.upper);
        } else {
            const ExtraPort& extra = layout.extraPorts[param - layout.parameterPorts];
            portDescriptors[p] = extra.descriptor;
            portNames[p] = copyText(extra.name);
            hints[p].HintDescriptor = 0;
            hints[p].LowerBound = 0.0f;
            hints[p].UpperBound = 0.0f;
        }
        if (portNames[p] == nullptr) {
            freeDescriptor(d);
            return nullptr;
        }
    }
    return d;
}

// The descriptors live from library load to unload. Built in index order;
// when one cannot be built, it and the later ones stay null.
struct DescriptorTable {
    LADSPA_Descriptor* descriptors[kPluginCount] = {};

    DescriptorTable() {
        for (int32_t i = 0; i < kPluginCount; ++i) {
            descriptors[i] = buildDescriptor(i);
            if (descriptors[i] == nullptr) break;
        }
    }
    ~DescriptorTable() {
        for (LADSPA_Descriptor*& d : descriptors) {
            freeDescriptor(d);
            d = nullptr;
        }
    }
    DescriptorTable(const DescriptorTable&) = delete;
    DescriptorTable& operator=(const DescriptorTable&) = delete;
};

const DescriptorTable descriptorTable;

}  // namespace

// Any host thread, after the library is loaded: the descriptor of plug-in
// `index` (0 mono, 1 stereo, 2 5.1), or null for any other index.
extern "C" __attribute__((visibility("default"))) const LADSPA_Descriptor* ladspa_descriptor(
    unsigned long index) {
    if (index >= static_cast<unsigned long>(kPluginCount)) return nullptr;
    return descriptorTable.descriptors[index];
}
