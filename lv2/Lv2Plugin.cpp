// The LV2 plug-ins: mono, stereo and 5.1 levelers over the plug-in core,
// served through lv2_descriptor, the binary's only export.
//
// They mirror the LADSPA plug-ins: the same controls in the same order, the
// same instance (PortPlugin), so the same controls give the same audio bit for
// bit. On top, every run reports the two meters (Lv2Ports.h).
#include <lv2/core/lv2.h>

#include <cstdint>

#include "Lv2Ports.h"
#include "PortPlugin.h"

namespace {

using namespace orvanta_lv2;

constexpr PortLayout kPortLayouts[kPluginCount] = {portLayout(kPlugins[0]), portLayout(kPlugins[1]),
                                                   portLayout(kPlugins[2])};

// Host thread that loads plug-ins (never the audio thread; LV2's
// instantiation class). A new instance with the defaults and the host's
// rate, which the engines clamp to their range; null when memory cannot be
// had or the rate is no number.
template <int kPlugin>
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
    return PortPlugin::create(kPortLayouts[kPlugin], static_cast<float>(rate));
}

// Any host thread, never concurrently with run of the same instance (LV2's
// audio class). Stores the location; port numbers beyond the plug-in's ports
// are ignored.
void connectPort(LV2_Handle handle, uint32_t port, void* location) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->connect(port, static_cast<float*>(location));
}

// Host thread, while the instance does not run (LV2's instantiation class).
// Clears the signal state and keeps the parameters; allocates nothing once
// the rate is set.
void activate(LV2_Handle handle) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->activate();
}

// Audio thread. Applies changed controls, writes the latency, processes the
// block and writes the meters; allocates nothing, takes no lock, makes no
// system call. A null audio port (a host that did not connect it) makes run
// process nothing; the latency and the meters are still written. The 5.1
// reduction meter shows the deeper of the two limiters (the main channels' or
// the LFE's).
void run(LV2_Handle handle, uint32_t sampleCount) {
    if (handle != nullptr) static_cast<PortPlugin*>(handle)->run(sampleCount);
}

// Host thread: nothing to stop; the engines keep their state until activate.
void deactivate(LV2_Handle) {}

// Host thread, when the instance is no longer used. null is ignored.
void cleanup(LV2_Handle handle) { delete static_cast<PortPlugin*>(handle); }

// Host thread: the plug-ins offer no extension interface.
const void* noExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptors[kPluginCount] = {
    {kPlugins[0].uri, instantiate<0>, connectPort, activate, run, deactivate, cleanup, noExtensionData},
    {kPlugins[1].uri, instantiate<1>, connectPort, activate, run, deactivate, cleanup, noExtensionData},
    {kPlugins[2].uri, instantiate<2>, connectPort, activate, run, deactivate, cleanup, noExtensionData},
};

}  // namespace

// Any host thread, after the binary is loaded: the descriptor of plug-in
// `index` (0 mono, 1 stereo, 2 5.1), or null for any other index. The
// descriptors are constant data.
extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    if (index >= static_cast<uint32_t>(kPluginCount)) return nullptr;
    return &kDescriptors[index];
}
