// The true-peak estimator: a 12-tap, 4-phase interpolator over a 12-sample
// ring per channel. The four phases lie between the centre sample and its
// newer neighbour; a frame's peak is the largest magnitude among them and
// the centre sample, over the channels counted for the group. The centre
// samples (amplitude) are what the limiter delays and outputs; the peak
// leaves for the limiter in its scaled domain (x kScaledFullScale).
//
// The frame-by-frame path runs estimate(); the staged passes run the
// estimator kernel (TruePeakKernel.inc) over the same rings, with the same
// bits.
#pragma once

#include <cstdint>

#include "Channels.h"

namespace orvanta {

struct TruePeakEstimator {
    static constexpr int kTaps = 12;
    // The centre tap: the sample handed to the limiter is the one written
    // kCentreDelay frames before the newest, so the estimator adds that many
    // frames to the engine's latency.
    static constexpr int kCentreDelay = 6;
    // The samples before a pass that the interpolation of its first frame reads.
    static constexpr int kHistory = kTaps - 1;

    // The last 12 gained samples of every audio channel (amplitude).
    float ring[kAudioChannels][kTaps] = {};
    uint8_t write = 0;   // slot that receives the next sample, for every ring
    uint8_t centre = 0;  // slot of the centre sample of the sample just written

    // The slot kCentreDelay samples behind `newest`.
    static uint8_t centreSlot(int newest) {
        return static_cast<uint8_t>(newest >= kCentreDelay ? newest - kCentreDelay : newest + kCentreDelay);
    }

    // Every ring to zeros.
    void clear();

    // One frame: writes the gained samples of `channels` rings; returns the
    // largest magnitude over the rings in `countedMask` (NaN when a counted
    // centre is NaN) and every ring's centre sample. `lfePeak`, when not
    // null, receives the peak of the LFE's ring alone.
    float estimate(const float* gained, int channels, uint32_t countedMask, float* centres, float* lfePeak);

    // A pass: ring ch's last kHistory samples, oldest first.
    void history(int ch, float* out) const;
    // After a pass of n frames: the pass's samples (gained[ch][0..n)) enter
    // the rings as if written frame by frame.
    void store(int32_t n, int channels, const float* const* gained);
};

}  // namespace orvanta
