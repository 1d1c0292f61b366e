// PortPlugin: one plug-in instance of the formats whose hosts connect a
// memory location to every port (LADSPA, LV2), over a PluginCore.
//
// The control inputs come first, in the table's order. At every run the
// instance compares each control port with the value it last read; a port
// that differs (a NaN on either side counts as different) is remembered and
// handed to the core, which takes a finite value by the port rules (clamped,
// the mode rounded) and ignores any other, so the engines keep the last
// finite value. An unconnected control port keeps its last value. Then the
// latency is written (whatever the host wrote there meanwhile; it is also
// written when its port is connected and at activation, for hosts that read it
// before the first run), the block is
// processed (not at all while an audio port is unconnected), and, where the
// format has them, the two meters are written.
//
// Threads, as both formats lay them down: create and destroy on the host's
// instantiation thread; connect from any thread but never during run;
// activate while the instance does not run; run on the audio thread. None of
// them is called concurrently with another on the same instance. run
// allocates nothing, takes no lock and makes no system call.
#pragma once

#include <cstdint>
#include <memory>

#include "PluginCore.h"

// Where a format puts its ports after the controls.
struct PortLayout {
    Layout layout;
    int32_t latencyPort;
    int32_t gainMeterPort;       // "Leveler Gain" (dB); -1 when the format has no meters
    int32_t reductionMeterPort;  // "Limiter Reduction" (dB); -1 likewise
    int32_t firstAudioPort;      // then an input and an output per channel, in the engine's order
    int32_t portSlots;           // connect takes port numbers below this and ignores the rest
};

class PortPlugin {
public:
    static constexpr int32_t kMaxPortSlots = 32;

    // An instance with every control at its default and the latency of
    // `sampleRateHz` (fixed for the instance's life); null when memory cannot
    // be had or the rate is NaN. Never throws.
    static PortPlugin* create(const PortLayout& ports, float sampleRateHz) noexcept;
    ~PortPlugin();
    PortPlugin(const PortPlugin&) = delete;
    PortPlugin& operator=(const PortPlugin&) = delete;

    void connect(uint64_t port, float* location);
    // Clears the signal state and keeps the parameters.
    void activate();
    void run(uint64_t frames);

    const PluginCore& core() const { return *core_; }

private:
    PortPlugin(const PortLayout& ports, std::unique_ptr<PluginCore> core);
    void write(int32_t port, float value);

    const PortLayout layout_;
    std::unique_ptr<PluginCore> core_;
    float* ports_[kMaxPortSlots] = {};
    float lastValues_[kParamCount];
    float latency_;
};
