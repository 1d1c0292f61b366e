// The LADSPA library: three plug-ins (mono, stereo, 5.1) over the leveling
// engine, served through ladspa_descriptor, the library's only export.
//
// Ports 0 to 7 are the eight controls of the parameter table, in engine units;
// the 5.1 plug-in has LFE Gain on port 8. Then come the "latency" output
// control and the audio ports. At every run the instance applies the controls
// that changed, writes the latency and processes the block.
#include <ladspa.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ControlPorts.h"
#include "LevelerCore.h"
#include "ParamTable.h"
#include "Surround51.h"

namespace {

using orvanta_controls::scanControlPorts;

constexpr unsigned long kFirstUniqueId = 5505;
constexpr const char* kMaker = "Veltrano";
constexpr const char* kRights = "v1.15 Copyright (c) Veltrano. All rights reserved.";

constexpr int32_t kControlPorts = 8;            // ports 0..7 of every plug-in
constexpr int32_t kControlPorts51 = 9;          // plus LFE Gain on port 8
constexpr int32_t kOneEngineSlots = 13;         // the stereo plug-in's ports; mono accepts them too
constexpr int32_t kSurroundSlots = 22;

// Port numbers after the controls.
enum OneEnginePort : int32_t {
    kLatencyPort = 8,
    kInputLeft = 9,    // mono: "Input"
    kOutputLeft = 10,  // mono: "Output"
    kInputRight = 11,
    kOutputRight = 12,
};
constexpr int32_t kLatencyPort51 = 9;
constexpr int32_t kFirstAudioPort51 = 10;  // input, output pairs in the host's channel order

// Hosts pass the block length as an unsigned long; the engine takes signed
// 32-bit counts, so longer blocks go through in pieces of this size.
constexpr unsigned long kMaxEngineBlock = 1ul << 30;

// Calls process(offset, count) for consecutive pieces of the block that the
// engine's signed 32-bit count can hold.
template <typename Process>
void inEnginePieces(unsigned long sampleCount, Process&& process) {
    for (unsigned long done = 0; done < sampleCount;) {
        const unsigned long left = sampleCount - done;
        const auto n = static_cast<int32_t>(left < kMaxEngineBlock ? left : kMaxEngineBlock);
        process(done, n);
        done += static_cast<unsigned long>(n);
    }
}

// ---------------------------------------------------------------- instances

struct LadspaInstance {
    LADSPA_Data* ports[kOneEngineSlots] = {};
    LevelerCore engine;
    float lastValues[kControlPorts];
    float latency;
};

struct LadspaInstance51 {
    LADSPA_Data* ports[kSurroundSlots] = {};
    Surround51 group;  // main engine, LFE engine and the LFE hand-over between them
    float lastValues[kControlPorts51];
    float latency;
};

template <int32_t kControls>
void setDefaultLastValues(float (&lastValues)[kControls]) {
    for (int32_t i = 0; i < kControls; ++i) lastValues[i] = paramTable[i].engineDefault;
}

// Host thread that loads plug-ins (never the audio thread). Builds the engine,
// applies the defaults and the rate; null when memory cannot be had.
LADSPA_Handle instantiateOneEngine(Layout layout, unsigned long rate) {
    try {
        auto* instance = new LadspaInstance;
        setDefaultLastValues(instance->lastValues);
        applyInitialParameters(instance->engine, layout);
        instance->engine.setSampleRate(static_cast<float>(rate));
        instance->latency = static_cast<float>(instance->engine.latency());
        return instance;
    } catch (...) {  // allocation failure: the engine released what it had
        return nullptr;
    }
}

LADSPA_Handle instantiateMono(const LADSPA_Descriptor*, unsigned long rate) {
    return instantiateOneEngine(Layout::Mono, rate);
}

LADSPA_Handle instantiateStereo(const LADSPA_Descriptor*, unsigned long rate) {
    return instantiateOneEngine(Layout::Stereo, rate);
}

// Host thread that loads plug-ins. The LFE engine gets only True Peak (at its
// default) and the rate; its other parameters are never used.
LADSPA_Handle instantiateSurround(const LADSPA_Descriptor*, unsigned long rate) {
    try {
        auto* instance = new LadspaInstance51;
        setDefaultLastValues(instance->lastValues);
        Surround51& group = instance->group;
        applyInitialParameters(group.main, Layout::Surround51);
        group.main.setSampleRate(static_cast<float>(rate));
        group.lfe.setTruePeak(paramTable[static_cast<int32_t>(ParamId::TruePeak)].engineDefault);
        group.lfe.setSampleRate(static_cast<float>(rate));
        instance->latency = static_cast<float>(group.latency());
        return instance;
    } catch (...) {
        return nullptr;
    }
}

// Any host thread, never concurrently with run of the same instance. Stores
// the location; port numbers beyond the instance's slots are ignored.
void connectOneEngine(LADSPA_Handle handle, unsigned long port, LADSPA_Data* location) {
    auto* instance = static_cast<LadspaInstance*>(handle);
    if (instance != nullptr && port < kOneEngineSlots) instance->ports[port] = location;
}

void connectSurround(LADSPA_Handle handle, unsigned long port, LADSPA_Data* location) {
    auto* instance = static_cast<LadspaInstance51*>(handle);
    if (instance != nullptr && port < kSurroundSlots) instance->ports[port] = location;
}

// Host thread, while the instance does not run. Clears the signal state and
// keeps the parameters. reset refills arrays of unchanged length, which
// allocates nothing once the rate is set.
void activateOneEngine(LADSPA_Handle handle) {
    if (handle != nullptr) static_cast<LadspaInstance*>(handle)->engine.reset();
}

void activateSurround(LADSPA_Handle handle) {
    if (handle != nullptr) static_cast<LadspaInstance51*>(handle)->group.reset();
}

// Host thread, when the instance is no longer used. null is ignored.
void cleanupOneEngine(LADSPA_Handle handle) { delete static_cast<LadspaInstance*>(handle); }
void cleanupSurround(LADSPA_Handle handle) { delete static_cast<LadspaInstance51*>(handle); }

void writeLatency(LADSPA_Data* port, float latency) {
    if (port != nullptr) *port = latency;
}

// Audio thread. Applies changed controls, writes the latency, processes the
// block; allocates nothing, takes no lock, makes no system call. A null audio
// port (a host that did not connect it) makes run process nothing.
void runOneEngine(LadspaInstance& instance, unsigned long sampleCount, bool stereo) {
    LevelerCore& engine = instance.engine;
    scanControlPorts(instance.ports, instance.lastValues, [&engine](ParamId id, float value) {
        applyEngineValue(engine, nullptr, id, value);
    });
    writeLatency(instance.ports[kLatencyPort], instance.latency);

    const float* inL = instance.ports[kInputLeft];
    float* outL = instance.ports[kOutputLeft];
    const float* inR = instance.ports[kInputRight];
    float* outR = instance.ports[kOutputRight];
    if (inL == nullptr || outL == nullptr) return;
    if (stereo && (inR == nullptr || outR == nullptr)) return;

    inEnginePieces(sampleCount, [&](unsigned long done, int32_t n) {
        if (stereo)
            engine.processStereo(inL + done, inR + done, outL + done, outR + done, n);
        else
            engine.processMono(inL + done, outL + done, n);
    });
}

void runMono(LADSPA_Handle handle, unsigned long sampleCount) {
    if (handle == nullptr) return;
    runOneEngine(*static_cast<LadspaInstance*>(handle), sampleCount, false);
}

void runStereo(LADSPA_Handle handle, unsigned long sampleCount) {
    if (handle == nullptr) return;
    runOneEngine(*static_cast<LadspaInstance*>(handle), sampleCount, true);
}

// Audio thread; as runOneEngine. The 5.1 group carries the LFE between its
// two engines through its own scratch buffers, so "Input (LFE)" and
// "Output (LFE)" may share one buffer.
void runSurround(LADSPA_Handle handle, unsigned long sampleCount) {
    if (handle == nullptr) return;
    auto& instance = *static_cast<LadspaInstance51*>(handle);
    Surround51& group = instance.group;
    scanControlPorts(instance.ports, instance.lastValues, [&group](ParamId id, float value) {
        applyEngineValue(group.main, &group.lfe, id, value);
    });
    writeLatency(instance.ports[kLatencyPort51], instance.latency);

    const float* inputs[Surround51::kChannels];
    float* outputs[Surround51::kChannels];
    for (int ch = 0; ch < Surround51::kChannels; ++ch) {
        inputs[ch] = instance.ports[kFirstAudioPort51 + 2 * ch];
        outputs[ch] = instance.ports[kFirstAudioPort51 + 2 * ch + 1];
        if (inputs[ch] == nullptr || outputs[ch] == nullptr) return;
    }
    inEnginePieces(sampleCount, [&](unsigned long done, int32_t n) {
        const float* in[Surround51::kChannels];
        float* out[Surround51::kChannels];
        for (int ch = 0; ch < Surround51::kChannels; ++ch) {
            in[ch] = inputs[ch] + done;
            out[ch] = outputs[ch] + done;
        }
        group.process(in, out, n);
    });
}

// ---------------------------------------------------------------- descriptors

struct ExtraPort {
    LADSPA_PortDescriptor descriptor;
    const char* name;
};

constexpr LADSPA_PortDescriptor kControlIn = LADSPA_PORT_INPUT | LADSPA_PORT_CONTROL;    // 5
constexpr LADSPA_PortDescriptor kControlOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_CONTROL;  // 6
constexpr LADSPA_PortDescriptor kAudioIn = LADSPA_PORT_INPUT | LADSPA_PORT_AUDIO;        // 9
constexpr LADSPA_PortDescriptor kAudioOut = LADSPA_PORT_OUTPUT | LADSPA_PORT_AUDIO;      // 10

const ExtraPort kMonoPorts[] = {
    {kControlOut, "latency"}, {kAudioIn, "Input"}, {kAudioOut, "Output"}};
const ExtraPort kStereoPorts[] = {
    {kControlOut, "latency"},    {kAudioIn, "Input (Left)"},   {kAudioOut, "Output (Left)"},
    {kAudioIn, "Input (Right)"}, {kAudioOut, "Output (Right)"}};
// Port 8 (LFE Gain) comes from the parameter table; these follow it.
const ExtraPort kSurroundPorts[] = {
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
    void (*connectPort)(LADSPA_Handle, unsigned long, LADSPA_Data*);
    void (*activate)(LADSPA_Handle);
    void (*run)(LADSPA_Handle, unsigned long);
    void (*cleanup)(LADSPA_Handle);
};

const PluginLayout kPlugins[] = {
    {"orvt_mono", "Orvanta Mono", 11, kControlPorts, kMonoPorts, instantiateMono,
     connectOneEngine, activateOneEngine, runMono, cleanupOneEngine},
    {"orvt_stereo", "Orvanta Stereo", 13, kControlPorts, kStereoPorts, instantiateStereo,
     connectOneEngine, activateOneEngine, runStereo, cleanupOneEngine},
    {"orvt_5dot1", "Orvanta 5.1", 22, kControlPorts51, kSurroundPorts, instantiateSurround,
     connectSurround, activateSurround, runSurround, cleanupSurround},
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
    d->connect_port = layout.connectPort;
    d->activate = layout.activate;
    d->run = layout.run;
    d->run_adding = nullptr;
    d->set_run_adding_gain = nullptr;
    d->deactivate = nullptr;
    d->cleanup = layout.cleanup;
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
            hints[p].LowerBound = info.lower;
            hints[p].UpperBound = info.upper;
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
