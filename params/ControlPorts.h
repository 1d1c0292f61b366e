// Change detection of the control input ports, shared by the LADSPA and LV2
// plug-ins: both hand their controls to the engine in the same way.
//
// At every run the instance compares each control port with the value it
// last read; a port that differs (a NaN on either side counts as different)
// is remembered, and, when it is a finite number, handed to the engine:
// clamped to its hinted bounds, and for Corr Mix Mode rounded to a mode and
// clamped to 0..3. A non-finite value is remembered but never applied, so the
// engine keeps the last finite value it was given. An unconnected (null)
// port keeps its last value.
//
// Threads: called from run on the host's audio thread only; touches the
// instance's lastValues and nothing else. Allocates nothing.
#pragma once

#include <cmath>
#include <cstdint>

#include "ParamTable.h"

namespace orvanta_controls {

// The value the engine receives for a finite port value.
inline float engineValueFromPort(ParamId id, float portValue) {
    if (id == ParamId::CorrMixMode) return static_cast<float>(clampMode(portValueToMode(portValue)));
    return clampToRange(id, portValue);
}

// ports[i] is control port i (may be null); lastValues[i] the value last
// read from it. apply(id, engineValue) is called, in port order, for every
// changed port that holds a finite value.
template <int32_t kControls, typename Apply>
void scanControlPorts(const float* const* ports, float (&lastValues)[kControls], Apply&& apply) {
    for (int32_t i = 0; i < kControls; ++i) {
        if (ports[i] == nullptr) continue;
        const float value = *ports[i];
        if (value == lastValues[i]) continue;  // NaN never compares equal
        lastValues[i] = value;
        if (!std::isfinite(value)) continue;
        const auto id = static_cast<ParamId>(i);
        apply(id, engineValueFromPort(id, value));
    }
}

}  // namespace orvanta_controls
