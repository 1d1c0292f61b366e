// The two meters of the LV2 plug-ins, in dB, from what the engine exposes.
// Reading the engine for them never changes the audio.
//
// Pure functions: no allocation, no lock, no system call; any thread.
#pragma once

#include <cmath>

#include "Lv2Ports.h"

namespace orvanta_lv2 {

// "Leveler Gain": the linear leveler gain in dB, pinned to the meter's range.
// A gain of 0 (or anything not positive, which the engine never gives) reads
// as the floor.
inline float levelerGainDb(float linearGain) {
    if (!(linearGain > 0.0f)) return kGainMeterFloorDb;
    const float db = 20.0f * std::log10(linearGain);
    if (db < kGainMeterFloorDb) return kGainMeterFloorDb;
    if (db > kGainMeterCeilingDb) return kGainMeterCeilingDb;  // also +inf
    return db;
}

// The limiter's envelope comes to rest 2^-10 (0.0085 dB) above its ceiling;
// the meter measures from there, so an idle limiter reads 0 dB.
constexpr double kLimiterRestMargin = 1.0009765625;

// "Limiter Reduction": the limiter scales by ceiling / envelope, so the
// reduction is the deepest envelope over its rest level, in dB. An envelope
// at or under the rest level reads 0, and so does a block in which no sample
// was processed (deepest envelope 0).
inline float limiterReductionDb(float deepestEnvelope, float ceiling) {
    // The rest level as the limiter stores it, in single precision.
    const auto rest = static_cast<float>(static_cast<double>(ceiling) * kLimiterRestMargin);
    if (!(deepestEnvelope > rest) || !(ceiling > 0.0f)) return 0.0f;
    const auto db = static_cast<float>(20.0 * std::log10(deepestEnvelope / rest));
    return db > kReductionMeterMaxDb ? kReductionMeterMaxDb : db;  // also +inf
}

}  // namespace orvanta_lv2
