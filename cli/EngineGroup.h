// The engines of one file: a plug-in core of the file's layout, set up in the
// order a LADSPA host brings up the plug-in (defaults, sample rate, activate,
// then the control values that differ from the defaults), so a file levelled
// here matches the plug-in.
#pragma once

#include <cstdint>
#include <memory>

#include "PluginCore.h"
#include "Settings.h"

class EngineGroup {
public:
    // Throws std::bad_alloc when memory for the engines cannot be had.
    EngineGroup(Layout layout, int rateHz, const Settings& settings);

    // Planar buffers in the engine's channel order.
    void process(const float* const* inputs, float* const* outputs, int32_t frames);
    uint32_t latency() const { return core_->latency(); }
    // Before the first process(): the detector starts at the programme's
    // measured loudness (see LevelerCore::startDetectorAt).
    void startDetectorAt(float lufs) { core_->startDetectorAt(lufs); }
    // Between process() calls, as a host automates Target Level (within its
    // range, as the control's).
    void setTargetLevel(float lufs) { core_->setPlain(ParamId::TargetLevel, lufs); }

    // Meters, read between process() calls; reading never changes the audio.
    float levelerGain() const { return core_->levelerGain(); }
    // The deepest limiter reduction (dB, >= 0) since the last call, over
    // every engine of the group; clears the meter.
    double takeDeepestReductionDb();

private:
    std::unique_ptr<PluginCore> core_;
};
