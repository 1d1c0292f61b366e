// The engine's meters.
#pragma once

#include <cstdint>

namespace orvanta {

// What the engine reports about itself; reading or clearing it never
// changes the audio.
struct Meters {
    // The largest envelope (scaled domain) that scaled an output sample
    // since the last clear; 0 when none did.
    float deepestEnvelope = 0.0f;
    // Frames on which the overflow recovery ran since construction.
    uint32_t overflowRecoveries = 0;

    void noteEnvelope(float envelope) {
        if (envelope > deepestEnvelope) deepestEnvelope = envelope;
    }
};

}  // namespace orvanta
