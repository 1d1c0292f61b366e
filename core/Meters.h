// The two meters every front end may show, in dB, and their ranges: the
// leveler's gain and the limiter's deepest reduction. The LV2 output ports
// declare these ranges; read-only meter parameters of other formats take the
// same.
//
// Pure functions: no allocation, no lock, no system call; any thread.
#pragma once

#include <cmath>

namespace orvanta_meters {

// The leveler gain never exceeds Max Gain (at most +30 dB); below -60 dB the
// programme is inaudible, so the meter stops there. The limiter's reduction
// is reported up to 60 dB; deeper is pinned there.
constexpr float kGainMeterFloorDb = -60.0f;
constexpr float kGainMeterCeilingDb = 30.0f;
constexpr float kReductionMeterMaxDb = 60.0f;

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

// "Limiter Reduction": an engine's deepest reduction (dB, at least 0),
// pinned to the meter's range.
inline float limiterReductionDb(double deepestReductionDb) {
    const auto db = static_cast<float>(deepestReductionDb);
    return db > kReductionMeterMaxDb ? kReductionMeterMaxDb : db;  // also +inf
}

}  // namespace orvanta_meters
