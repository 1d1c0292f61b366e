// The engines of one file: one LevelerCore for mono and stereo, the 5.1 unit
// (main and LFE engine) for 5.1, set up in the order a LADSPA host brings up
// the plug-in (defaults, sample rate, activate, then the control values that
// differ from the defaults), so a file levelled here matches the plug-in.
#pragma once

#include <cstdint>
#include <memory>

#include "LevelerCore.h"
#include "Settings.h"
#include "Surround51.h"

class EngineGroup {
public:
    EngineGroup(Layout layout, int rateHz, const Settings& settings);

    // Planar buffers in the engine's channel order.
    void process(const float* const* inputs, float* const* outputs, int32_t frames);
    uint32_t latency() const;
    // Before the first process(): the detector starts at the programme's
    // measured loudness (see LevelerCore::startDetectorAt).
    void startDetectorAt(float lufs);
    // Between process() calls, as a host automates Target Level.
    void setTargetLevel(float lufs);

    // Meters, read between process() calls; reading never changes the audio.
    float levelerGain() const { return main().getLevelerGain(); }
    // The deepest limiter reduction (dB, >= 0) since the last call, over
    // every engine of the group; clears the meter.
    double takeDeepestReductionDb();

private:
    Layout layout_;
    std::unique_ptr<LevelerCore> single_;
    std::unique_ptr<Surround51> surround_;
    const LevelerCore& main() const { return single_ ? *single_ : surround_->main; }
};
