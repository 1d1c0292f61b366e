// The two meters of the LV2 plug-ins, in dB, from what the engine exposes.
// Reading the engine for them never changes the audio.
//
// Pure functions: no allocation, no lock, no system call; any thread.
#pragma once

#include <cmath>

#include "LevelerCore.h"
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

// "Limiter Reduction": the engine's deepest reduction of the block, pinned to
// the meter's range.
inline float limiterReductionDb(const LevelerCore& engine) {
    const auto db = static_cast<float>(engine.deepestReductionDb());
    return db > kReductionMeterMaxDb ? kReductionMeterMaxDb : db;  // also +inf
}

}  // namespace orvanta_lv2
