// Channel counts of one engine's group, shared by every stage.
#pragma once

namespace orvanta {

// Up to six audio channels pass the look-ahead delay and the true-peak
// rings; up to five of them feed the detector and the limiter's sample
// rings (5.1: all but the LFE, which the LFE engine limits).
constexpr int kAudioChannels = 6;
constexpr int kDetectorChannels = 5;
constexpr int kLimitedChannels = 5;
// The LFE's audio channel in the 5.1 order (front left, front right,
// centre, LFE, back left, back right).
constexpr int kLfeChannel = 3;

}  // namespace orvanta
