// Fingerprints (FNV-1a over the output bits) of the engine's output for a
// fixed programme, per layout.
#pragma once

#include <cstdint>

struct EngineFingerprints {
    uint64_t mono, stereo, surround;
};

// `baselineKernels`: the engines use their baseline (SSE2) pass kernels even
// where the processor would take the AVX2 ones; the bits must not differ.
EngineFingerprints engineFingerprints(bool baselineKernels = false);
