// Surround51: the 5.1 unit that both front ends use.
//
// A 5.1 group is two engines: `main` levels and limits the five main channels
// and forms the LFE (delayed, x LFE Gain, centre tap of its true-peak ring);
// `lfe` only limits the LFE with the peaks `main` hands over. The hand-over
// travels through fixed scratch buffers of this unit, in chunks, so it gives
// the right result whatever buffers the host passes (the LFE input may be the
// LFE output, every input may be its channel's output) and allocates nothing
// whatever the block size.
//
// Threads: same rules as LevelerCore; process() runs on the audio thread.
#pragma once

#include "LevelerCore.h"

class Surround51 {
public:
    // Channel order of the host's six buffers.
    enum Channel { FrontLeft, FrontRight, Centre, Lfe, BackLeft, BackRight, kChannels };

    LevelerCore main;
    LevelerCore lfe;

    // Both engines: ceiling, rate and signal state. All other parameters go
    // to `main` only.
    void setTruePeak(float dbtp);
    void setSampleRate(float hz);
    void reset();
    uint32_t latency() const { return main.latency(); }

    void process(const float* const inputs[kChannels], float* const outputs[kChannels],
                 int32_t count);

private:
    static constexpr int32_t kChunkSamples = 256;
    float lfeCentre[kChunkSamples];
    float lfePeak[kChunkSamples];
};
