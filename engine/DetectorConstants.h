// Constants of the loudness detector, shared by its frame-by-frame step
// (Detector.cpp) and its pass over a block (DetectorPass.inc).
#pragma once

namespace orvanta {
namespace detector {

// High shelf of the K-weighting: 1681.82 Hz, +3.963 dB (gain 1.578125), Q 1/sqrt(2).
constexpr double kShelfPiFreq = 5283.593356660385;  // pi x 1681.82 Hz
constexpr double kShelfGain = 1.578125;
constexpr double kShelfGainRoot = 1.2562344526401112;
constexpr double kSqrt2 = 1.4142135623730951;
// High-pass of the K-weighting: 41 Hz, Q 0.5.
constexpr double kHighPassPiFreq = 128.8052987971815;  // pi x 41 Hz

// Powers at or below -70 dB do not move the fast level, so pauses keep it.
constexpr double kFastGatePower = 1e-7;
// During start-up the calibration only moves once the K-weighted power is
// above -40 dB; it may rise to 2.5 and start-up ends above sqrt(2).
constexpr float kStartupMinKPower = 1e-4f;
constexpr float kStartupRatioCap = 2.5f;
constexpr float kStartupEndCalibration = 1.4142135f;
// Normal calibration: an 8 s mean of the ratio, floored at 0.875 and capped at 2.
constexpr float kCalibrationFloor = 0.875f;
constexpr float kCalibrationCap = 2.0f;
// After a gap hold the held level releases toward 1.5 x the current power.
constexpr float kHeldReleaseFactor = 1.5f;

}  // namespace detector
}  // namespace orvanta
