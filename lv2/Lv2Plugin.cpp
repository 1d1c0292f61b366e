// The LV2 plug-ins: mono, stereo and 5.1 levelers over the leveling engine,
// served through lv2_descriptor, the binary's only export.
//
// They mirror the LADSPA plug-ins: the same controls in the same order, handed
// to the engine in the same way (ControlPorts.h) at the start of every run,
// the same 5.1 unit, so the same controls give the same audio bit for bit.
// On top, every run reports the latency and the two meters (Lv2Ports.h).
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdint>

#include "ControlPorts.h"
#include "LevelerCore.h"
#include "Lv2Ports.h"
#include "Meters.h"
#include "ParamTable.h"
#include "Surround51.h"

namespace {

using namespace orvanta_lv2;
using orvanta_controls::scanControlPorts;

constexpr int32_t kOneEngineControls = kParamCount - 1;  // LFE Gain is 5.1 only

// Hosts pass the block length as uint32_t; the engine takes signed 32-bit
// counts, so longer blocks go through in pieces of this size.
constexpr uint32_t kMaxEngineBlock = 1u << 30;

template <typename Process>
void inEnginePieces(uint32_t sampleCount, Process&& process) {
    for (uint32_t done = 0; done < sampleCount;) {
        const uint32_t left = sampleCount - done;
        const auto n = static_cast<int32_t>(left < kMaxEngineBlock ? left : kMaxEngineBlock);
        process(done, n);
        done += static_cast<uint32_t>(n);
    }
}

// ---------------------------------------------------------------- instances

struct OneEngineInstance {
    const PluginInfo* info;
    float* ports[kMaxPorts] = {};
    LevelerCore engine;
    float lastValues[kOneEngineControls];
    float latency;
};

struct SurroundInstance {
    const PluginInfo* info;
    float* ports[kMaxPorts] = {};
    Surround51 group;  // main engine, LFE engine and the LFE hand-over between them
    float lastValues[kParamCount];
    float latency;
};

template <int32_t kControls>
void setDefaultLastValues(float (&lastValues)[kControls]) {
    for (int32_t i = 0; i < kControls; ++i) lastValues[i] = paramTable[i].engineDefault;
}

// The host's rate in single precision, as the engine takes it; the engine
// clamps it to its range. NaN has no meaning as a rate: the host is refused.
bool usableRate(double rate) { return !std::isnan(rate); }

// Host thread that loads plug-ins (never the audio thread). Builds the engine,
// applies the defaults and the rate; null when memory cannot be had.
LV2_Handle instantiateOneEngine(const LV2_Descriptor*, double rate, const char*,
                                const LV2_Feature* const*, const PluginInfo& info) {
    if (!usableRate(rate)) return nullptr;
    try {
        auto* instance = new OneEngineInstance;
        instance->info = &info;
        setDefaultLastValues(instance->lastValues);
        applyInitialParameters(instance->engine, info.layout);
        instance->engine.setSampleRate(static_cast<float>(rate));
        instance->latency = static_cast<float>(instance->engine.latency());
        return instance;
    } catch (...) {  // allocation failure: the engine released what it had
        return nullptr;
    }
}

LV2_Handle instantiateMono(const LV2_Descriptor* d, double rate, const char* bundle,
                           const LV2_Feature* const* features) {
    return instantiateOneEngine(d, rate, bundle, features, kPlugins[0]);
}

LV2_Handle instantiateStereo(const LV2_Descriptor* d, double rate, const char* bundle,
                             const LV2_Feature* const* features) {
    return instantiateOneEngine(d, rate, bundle, features, kPlugins[1]);
}

// Host thread that loads plug-ins. The LFE engine gets only True Peak (at its
// default) and the rate, as in the LADSPA plug-in.
LV2_Handle instantiateSurround(const LV2_Descriptor*, double rate, const char*,
                               const LV2_Feature* const*) {
    if (!usableRate(rate)) return nullptr;
    try {
        auto* instance = new SurroundInstance;
        instance->info = &kPlugins[2];
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

// Any host thread, never concurrently with run of the same instance (LV2's
// audio class). Stores the location; port numbers beyond the plug-in's ports
// are ignored.
template <typename Instance>
void connectPort(LV2_Handle handle, uint32_t port, void* location) {
    auto* instance = static_cast<Instance*>(handle);
    if (instance != nullptr && port < static_cast<uint32_t>(portCount(*instance->info)))
        instance->ports[port] = static_cast<float*>(location);
}

// Host thread, while the instance does not run (LV2's instantiation class).
// Clears the signal state and keeps the parameters; refills arrays of
// unchanged length, which allocates nothing once the rate is set.
void activateOneEngine(LV2_Handle handle) {
    if (handle != nullptr) static_cast<OneEngineInstance*>(handle)->engine.reset();
}

void activateSurround(LV2_Handle handle) {
    if (handle != nullptr) static_cast<SurroundInstance*>(handle)->group.reset();
}

// Host thread, when the instance is no longer used. null is ignored.
void cleanupOneEngine(LV2_Handle handle) { delete static_cast<OneEngineInstance*>(handle); }
void cleanupSurround(LV2_Handle handle) { delete static_cast<SurroundInstance*>(handle); }

void writePort(float* port, float value) {
    if (port != nullptr) *port = value;
}

// Audio thread. Applies changed controls, writes the latency, processes the
// block and writes the meters; allocates nothing, takes no lock, makes no
// system call. A null audio port (a host that did not connect it) makes run
// process nothing; the latency and the meters are still written.
void runOneEngine(LV2_Handle handle, uint32_t sampleCount) {
    if (handle == nullptr) return;
    auto& instance = *static_cast<OneEngineInstance*>(handle);
    const PluginInfo& info = *instance.info;
    LevelerCore& engine = instance.engine;
    scanControlPorts(instance.ports, instance.lastValues, [&engine](ParamId id, float value) {
        applyEngineValue(engine, nullptr, id, value);
    });
    writePort(instance.ports[latencyPort(info)], instance.latency);

    engine.clearDeepestEnvelope();
    const bool stereo = info.channels == 2;
    const float* inL = instance.ports[inputPort(info, 0)];
    float* outL = instance.ports[outputPort(info, 0)];
    const float* inR = stereo ? instance.ports[inputPort(info, 1)] : nullptr;
    float* outR = stereo ? instance.ports[outputPort(info, 1)] : nullptr;
    const bool connected = inL != nullptr && outL != nullptr && (!stereo || (inR != nullptr && outR != nullptr));
    if (connected) {
        inEnginePieces(sampleCount, [&](uint32_t done, int32_t n) {
            if (stereo)
                engine.processStereo(inL + done, inR + done, outL + done, outR + done, n);
            else
                engine.processMono(inL + done, outL + done, n);
        });
    }
    writePort(instance.ports[gainMeterPort(info)], levelerGainDb(engine.getLevelerGain()));
    writePort(instance.ports[reductionMeterPort(info)],
              limiterReductionDb(engine));
}

// Audio thread; as runOneEngine. The 5.1 unit carries the LFE between its two
// engines through its own scratch buffers, so "Input (LFE)" and "Output (LFE)"
// may share one buffer. The reduction meter shows the deeper of the two
// limiters (the main channels' or the LFE's).
void runSurround(LV2_Handle handle, uint32_t sampleCount) {
    if (handle == nullptr) return;
    auto& instance = *static_cast<SurroundInstance*>(handle);
    const PluginInfo& info = *instance.info;
    Surround51& group = instance.group;
    scanControlPorts(instance.ports, instance.lastValues, [&group](ParamId id, float value) {
        applyEngineValue(group.main, &group.lfe, id, value);
    });
    writePort(instance.ports[latencyPort(info)], instance.latency);

    group.main.clearDeepestEnvelope();
    group.lfe.clearDeepestEnvelope();
    const float* inputs[Surround51::kChannels];
    float* outputs[Surround51::kChannels];
    bool connected = true;
    for (int32_t ch = 0; ch < Surround51::kChannels; ++ch) {
        inputs[ch] = instance.ports[inputPort(info, ch)];
        outputs[ch] = instance.ports[outputPort(info, ch)];
        if (inputs[ch] == nullptr || outputs[ch] == nullptr) connected = false;
    }
    if (connected) {
        inEnginePieces(sampleCount, [&](uint32_t done, int32_t n) {
            const float* in[Surround51::kChannels];
            float* out[Surround51::kChannels];
            for (int32_t ch = 0; ch < Surround51::kChannels; ++ch) {
                in[ch] = inputs[ch] + done;
                out[ch] = outputs[ch] + done;
            }
            group.process(in, out, n);
        });
    }
    writePort(instance.ports[gainMeterPort(info)], levelerGainDb(group.main.getLevelerGain()));
    const float mainReduction =
        limiterReductionDb(group.main);
    const float lfeReduction = limiterReductionDb(group.lfe);
    writePort(instance.ports[reductionMeterPort(info)],
              mainReduction > lfeReduction ? mainReduction : lfeReduction);
}

// Host thread: the plug-ins offer no extension interface.
const void* noExtensionData(const char*) { return nullptr; }

// Host thread: nothing to stop; the engines keep their state until activate.
void deactivateNothing(LV2_Handle) {}

const LV2_Descriptor kDescriptors[kPluginCount] = {
    {kPlugins[0].uri, instantiateMono, connectPort<OneEngineInstance>, activateOneEngine,
     runOneEngine, deactivateNothing, cleanupOneEngine, noExtensionData},
    {kPlugins[1].uri, instantiateStereo, connectPort<OneEngineInstance>, activateOneEngine,
     runOneEngine, deactivateNothing, cleanupOneEngine, noExtensionData},
    {kPlugins[2].uri, instantiateSurround, connectPort<SurroundInstance>, activateSurround,
     runSurround, deactivateNothing, cleanupSurround, noExtensionData},
};

}  // namespace

// Any host thread, after the binary is loaded: the descriptor of plug-in
// `index` (0 mono, 1 stereo, 2 5.1), or null for any other index. The
// descriptors are constant data.
extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    if (index >= static_cast<uint32_t>(kPluginCount)) return nullptr;
    return &kDescriptors[index];
}
