// Fingerprints (FNV-1a over the output bits) of the engine's output for a
// fixed programme, per layout.
#pragma once

#include <cstdint>

struct EngineFingerprints {
    uint64_t mono, stereo, surround;
};

EngineFingerprints engineFingerprints();
