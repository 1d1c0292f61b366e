// The true-peak limiter: delays the estimator's centre samples by limLen
// frames and scales them by outScale / envelope. The envelope is driven by
// look-ahead logic and never falls below the scaled peak of the sample being
// output, so the output's estimated true peak never exceeds
// outScale / kScaledFullScale of full scale.
//
// Domain: every level here (ceiling, floors, holds, peaks, targets, gates,
// envelope) is in the scaled domain, an amplitude x kScaledFullScale (full
// scale is about 32). The sample rings hold plain amplitudes.
//
// A block is limLen consecutive frames: every time the ring position wraps,
// block() adapts the floors and gates.
#pragma once

#include <cstdint>
#include <vector>

#include "Channels.h"

namespace orvanta {

struct Limiter {
    // Which level the previous frame's peak must exceed to restart the
    // look-ahead window early.
    enum class WatchedLevel : uint8_t { WindowStart, WindowPeak, Envelope };
    // The envelope after a restart and after an overflow recovery: full
    // scale, whatever the ceiling.
    static constexpr float kTopEnvelope = 32.0f;

    // ---- from "True Peak" (setCeiling)
    float ceiling = 0.0f;     // the ceiling, quantised to 2^-15
    float outScale = 0.0f;    // output multiplier: the ceiling one bit coarser, at most 31.906254
    float floorMin = 0.0f;    // 0.953125 x ceiling: the floor decay's lowest goal
    // ---- from the sample rate (setRate)
    uint16_t limLen = 0;      // look-ahead in frames (1.25 ms), the length of every ring
    uint16_t limLast = 0;     // limLen - 2: the wrap test of limPos
    uint16_t holdLen = 0;     // short hold in frames (2.05 ms)
    uint16_t longHoldLen = 0; // long hold: 6 x holdLen
    uint8_t blockHoldLen = 200;  // block hold in blocks
    double attackDiv = 0.0;   // 1 / (limLen + 1): share of the distance an attack climbs per frame
    double releaseCoef = 1.0; // envelope release: the distance shrinks to 1 % after fs / 100.65 frames
    double levelRise = 1.0;   // slowPeak rising: to 1 % after 141.8 ms
    double levelFall = 1.0;   // slowPeak falling: to 1 % after 1.418 s

    // ---- rings, limLen entries each, one position limPos for all
    std::vector<float> levelRing;                    // slowPeak of each frame
    std::vector<float> peakRing;                     // scaled peak of each frame
    std::vector<float> sampleRing[kLimitedChannels]; // centre samples waiting to leave (amplitude)
    uint16_t limPos = 0;

    // ---- envelope and attack
    float envelope = kTopEnvelope;  // output gain = outScale / envelope
    float peakTarget = 0.0f;  // level the envelope moves toward
    double attackStep = 0x1p-16;  // envelope increment per frame during an attack
    float attackGoal = -1.0f; // peakTarget attackStep was computed for; -1: none
    float creepLimit = 32.0f; // the quiet hold lets the envelope creep up only below it
    float releaseZone = 32.0f;  // 0.9949874 x peakTarget at the last attack start
    bool attackFlag = false;  // an attack or clamp happened since the envelope last rested

    // ---- look-ahead window
    uint16_t windowCount = 0; // frames since the window restarted
    float windowStart = 0.0f; // previous frame's peak when the window restarted
    float windowPeak = 0.0f;  // largest level of the current window
    float lastPeak = 0.0f;    // previous frame's scaled peak
    WatchedLevel watchedLevel = WatchedLevel::WindowStart;
    uint8_t quietBlocks = 0;  // 0, or 1..20: blocks since the envelope came to rest at its target

    // ---- holds of the scaled peak
    uint16_t holdCount = 0;   // frames since the short hold restarted; 0 only on a fresh limiter
    float shortHold = 0.0f;   // the peak held for holdLen frames
    float holdLevel = 0.0f;   // the short hold at its restart, at least holdMin
    float holdMin = 0.0f;     // lower bound of holdLevel
    uint16_t longHoldCount = 0;
    float longHold = 0.0f;    // the short hold held for longHoldLen frames
    uint8_t blockHoldCount = 0;   // blocks since the block hold restarted
    float blockHold = 1.0f;   // longHold taken every blockHoldLen blocks, or when exceeded
    float blockFloor = -1.0f; // 0.36 x blockHold
    float peakMemory = 1.0f;  // slowly decaying maximum of blockHold

    // ---- the slow programme peak and the gates (block logic)
    float slowPeak = 0.0f;    // slow follower of holdLevel
    float slowHold = 0.0f;    // per-block smoothing of holdLevel
    float releaseFloor = 0.0f;  // the envelope rests no lower than this (never under the ceiling)
    float floorKnee = 0.0f;   // 0.4556 x releaseFloor (-6.83 dB)
    float quietLevel = -1.0f; // 0.01023 x peakTarget at the last attack start (-39.8 dB)
    float quietGate = -1.0f;  // quietLevel while armed, else -1: below it the envelope holds
    float levelGate = 0.0f;   // gate level of the slowPeak logic
    float levelGateActive = 0.0f;  // levelGate while armed, else -1
    float levelRef = 1.0f;    // reference level of the gate logic
    uint8_t quietHang = 0;    // blocks before quietGate disarms
    uint8_t gateHang = 0;     // blocks before levelGateActive disarms
    uint32_t levelHang = 0;   // frames before levelGateActive disarms
    uint16_t floorHang = 0;   // block countdown of the releaseFloor adaptation
    uint16_t refHang = 0;     // blocks during which levelRef does not decay
    bool floorPending = false;  // floorKnee still to refresh
    bool refArm = false;      // levelRef may drop at the next block-hold restart

    // Fresh: no frame processed since construction or restart().
    bool fresh() const { return holdCount == 0; }
    // "True Peak" in dBTP. On a fresh limiter every ceiling-bound level
    // restarts at the new ceiling; on a running one, an unchanged ceiling
    // changes nothing and a new one moves only the floors.
    void setCeiling(float dbtp);
    // The rate's lengths and coefficients; the position back to 0.
    void setRate(double fs);
    // Every ring emptied and filled to limLen with zeros (set-up only: it
    // may allocate).
    void refillRings();
    // Counters to 0, levels to the ceiling's: a fresh limiter.
    void restart();

    // One frame's envelope (everything but the sample rings and the
    // output): p is the frame's scaled peak. Defined in Limiter.cpp, where
    // the processing loops inline it.
    void step(float p);
    // One frame with its samples: step(p), the centre samples into the
    // sample rings, and the samples leaving them scaled into outputs.
    template <int channels>
    void frame(float p, const float* centres, float* outputs);
    // The block logic, when limPos wraps.
    void block();
    // The overflow recovery's part in the limiter: the frame's centre
    // samples leave as silence and the envelope restarts from the top.
    // Returns the scaled peak the limiter takes for the frame: the ceiling.
    float recoverFromOverflow(float* centres, int channels) {
        for (int ch = 0; ch < channels; ++ch) centres[ch] = 0.0f;
        envelope = kTopEnvelope;
        return ceiling;
    }
    // The sample side of a pass: frame i outputs the centre sample of frame
    // i - limLen (from the rings, from slot `firstSlot` on, for the first
    // limLen frames) scaled by gain[i] x outScale; the rings keep the last
    // limLen centres.
    void scaleDelayed(int32_t n, uint16_t firstSlot, const float* gain, const float* const* centres,
                      float* const* outputs, int channels);

private:
    float watchedValue() const;
};

// The output gain of an envelope, f32(1 / f64(envelope)), as one
// single-precision division: the double quotient of single-precision
// operands rounded to single precision is the correctly rounded single
// quotient (53 >= 2 x 24 + 2 bits make the double rounding innocuous).
inline float envelopeGain(float envelope) { return 1.0f / envelope; }

}  // namespace orvanta
