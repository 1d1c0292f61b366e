// Test signals and helpers for driving a LevelerCore sample by sample.
#pragma once

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "LevelerCore.h"

namespace testsig {

constexpr double kPi = 3.14159265358979323846;

inline std::vector<float> sine(double hz, double amplitude, int samples, double rate = 48000.0,
                               int offset = 0) {
    std::vector<float> out(samples);
    for (int i = 0; i < samples; ++i)
        out[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * (i + offset) / rate));
    return out;
}

// Gaussian noise of standard deviation `amplitude`.
inline std::vector<float> noise(double amplitude, int samples, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    std::vector<float> out(samples);
    for (float& x : out) x = static_cast<float>(amplitude * gauss(rng));
    return out;
}

// A leveler that only limits: both corrections at 0 % give a fixed gain of
// target - input = 0 dB.
inline void makeLimiterOnly(LevelerCore& engine, float truePeakDb) {
    engine.setTruePeak(truePeakDb);
    engine.setCorrectionHigh(0.0f);
    engine.setCorrectionLow(0.0f);
}

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline double db(double ratio) { return 20.0 * std::log10(ratio); }

}  // namespace testsig
