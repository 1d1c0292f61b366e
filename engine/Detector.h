// The K-weighting filter and loudness detector: per detector channel, a
// running estimate of the channel's loudness power, self-calibrated toward
// the mean K-weighted square.
//
// Domains: the filter memories are amplitudes (the K-weighted signal); every
// level is a power, a mean square of amplitude; the calibration values are
// ratios of two powers. The channel power the detector hands the gain law is
// level / calibration.
//
// The frame-by-frame path runs DetectorChannel::step; the staged passes run
// the detector kernel (DetectorKernel.inc) on the same structs, with the
// same bits.
#pragma once

#include <cstdint>

#include "Channels.h"
#include "Numerics.h"

namespace orvanta {

// What processing only reads: the filter design and the rate's smoothing
// coefficients, and the settings that derive the freeze threshold.
struct DetectorSettings {
    // K-weighting, direct form II in single precision: a 41 Hz high-pass
    // (its numerator is 1, -2, 1) and a high shelf at 1681.82 Hz, +3.96 dB.
    float highPassA1 = 0.0f, highPassA2 = 0.0f;
    float shelfA1 = 0.0f, shelfA2 = 0.0f, shelfB0 = 0.0f, shelfB1 = 0.0f, shelfB2 = 0.0f;
    // One-pole coefficients of the time constants 0.1 s, 0.5 s, 0.8 s and
    // 8 s: single-precision values held in double precision. 1.0 until the
    // first rate set-up.
    double coef100ms = 1.0, coef500ms = 1.0, coef800ms = 1.0, coef8s = 1.0;
    // Power of one channel at or below which the levels hold still:
    // channelShare x 10^((freezeLevel + 0.691)/10).
    float freezeThreshold = 0.0f;
    // "Freeze Level" in LUFS, as set (without the 0.691 offset).
    float freezeLevel = -40.0f;
    // Share of one detector channel in the loudness thresholds: 0.5 for
    // mono and stereo, 0.2 for 5.1.
    float channelShare = 0.5f;
    // Gap samples (0.12 s worth) after which the held level releases.
    uint16_t gapHoldLength = 0;

    // The K-weighting coefficients for a sample rate.
    void designKWeighting(float rate);
};

// One detector channel's running state.
struct DetectorChannel {
    // Filter memories (amplitude): the high-pass stage's, then the shelf's.
    float highPassState1 = 0.0f, highPassState2 = 0.0f;
    float shelfState1 = 0.0f, shelfState2 = 0.0f;
    // Levels (power). fastPower: 0.1 s follower of the K-weighted-heavy
    // blend, gated at -70 dB. slowPower: 0.5 s follower of the
    // high-pass-heavy blend, the reference of the gap test. heldPower: that
    // blend, held through gaps and under the freeze. kPower: 0.8 s mean of
    // the K-weighted square, which the calibration aims at.
    float fastPower = 0.0f, heldPower = 0.0f, slowPower = 0.0f, kPower = 0.0f;
    // Calibration (ratio): the level divided by it gives the channel power;
    // calibrationTarget is its 8 s goal, 0.875 to 2.0 in normal operation.
    float calibrationTarget = 0.0f, calibration = 0.0f;
    // Active samples left in start-up; 0 in normal operation.
    int32_t startupCount = 0;
    // Gap samples counted since the last rise of the held level.
    uint16_t gapCount = 0;

    // One sample through the filter and the levels; returns the channel
    // power (power domain). `input` already carries the anti-denormal
    // offset. A sample that drives the filter or its square out of range
    // cannot be measured: the filter memories clear, the levels hold, and
    // `rejected` is set.
    float step(const DetectorSettings& settings, float input, bool& rejected);
};

// Everything a sample changes in the detector: what a staged pass saves and,
// when it must give way to the frame-by-frame path, restores.
struct DetectorState {
    DetectorChannel channel[kDetectorChannels];
    // +-2^-32 added to every detector input, its sign flipped every frame
    // (by the gain stage): keeps the filter memories off denormals in
    // digital silence. Never reaches the delayed audio.
    float antiDenormal = kTinyLevel;

    // Every channel to the start level `power`, calibration 1 and a full
    // second of start-up; the offset to +2^-32.
    void start(float power, float sampleRate);
};

struct Detector {
    DetectorSettings settings;
    DetectorState state;
};

}  // namespace orvanta
