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

// "Limiter Reduction": the limiter scales by ceiling / envelope, so the
// reduction is envelope / ceiling in dB. At rest the envelope sits a hair
// below the ceiling, which reads as no reduction; so does a block in which
// no sample was limited (deepest envelope 0).
inline float limiterReductionDb(float deepestEnvelope, float ceiling) {
    if (!(deepestEnvelope > ceiling) || !(ceiling > 0.0f)) return 0.0f;
    const float db = 20.0f * std::log10(deepestEnvelope / ceiling);
    return db > kReductionMeterMaxDb ? kReductionMeterMaxDb : db;  // also +inf
}

}  // namespace orvanta_lv2
