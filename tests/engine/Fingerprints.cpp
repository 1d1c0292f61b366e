// Fingerprints of the engine's output for a fixed programme in every layout,
// shared by the bit-exactness test and the cross-architecture check.
#include "Fingerprints.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "LevelerCore.h"
#include "Probe.h"
#include "Surround51.h"

namespace {

constexpr int kRate = 48000;
constexpr int kSamples = 5 * kRate;

// Deterministic programme: tones and LCG noise with level steps and bursts.
std::vector<float> programme(uint32_t seed) {
    std::vector<float> out(kSamples);
    uint32_t state = seed * 2654435761u + 1u;
    for (int i = 0; i < kSamples; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(state)) * 0x1p-31f;
        const float level = 0.02f * static_cast<float>(1 + (i / 12000 + seed) % 7);
        const float tone = static_cast<float>(std::sin(0.0523 * (seed + 1) * i));
        float x = level * (0.5f * noise + tone);
        if (i % 20000 < 64) x += (i & 1) ? 1.7f : -1.7f;
        out[i] = x;
    }
    return out;
}

uint64_t fingerprint(const std::vector<std::vector<float>>& channels) {
    uint64_t hash = 1469598103934665603ull;
    for (const auto& channel : channels) {
        for (float x : channel) {
            uint32_t bits;
            std::memcpy(&bits, &x, sizeof bits);
            hash = (hash ^ bits) * 1099511628211ull;
        }
    }
    return hash;
}

void configure(LevelerCore& e, float share) {
    e.setChannelShare(share);
    e.setTruePeak(-1.0f);
    e.setMaxGain(12.0f);
    e.setCorrectionLow(70.0f);
    e.setMixMode(3);
}

}  // namespace

EngineFingerprints engineFingerprints(bool baselineKernels) {
    auto kernels = [&](LevelerCore& e) {
        if (baselineKernels) LevelerCoreProbe::kernels(e) = &orvanta::baselineKernels();
    };

    LevelerCore mono;
    configure(mono, 0.5f);
    kernels(mono);
    std::vector<std::vector<float>> monoOut{std::vector<float>(kSamples)};
    const std::vector<float> in0 = programme(0);
    mono.processMono(in0.data(), monoOut[0].data(), kSamples);

    LevelerCore stereo;
    configure(stereo, 0.5f);
    kernels(stereo);
    stereo.setMixMode(1);
    const std::vector<float> in1 = programme(1);
    std::vector<std::vector<float>> stereoOut{std::vector<float>(kSamples), std::vector<float>(kSamples)};
    stereo.processStereo(in0.data(), in1.data(), stereoOut[0].data(), stereoOut[1].data(), kSamples);

    Surround51 unit;
    configure(unit.main, 0.2f);
    kernels(unit.main);
    kernels(unit.lfe);
    unit.setTruePeak(-2.0f);
    unit.main.setLfeGain(3.0f);
    std::vector<std::vector<float>> surroundIn, surroundOut;
    const float* in[6];
    float* out[6];
    for (uint32_t c = 0; c < 6; ++c) {
        surroundIn.push_back(programme(c + 2));
        surroundOut.emplace_back(kSamples);
    }
    for (int c = 0; c < 6; ++c) {
        in[c] = surroundIn[c].data();
        out[c] = surroundOut[c].data();
    }
    unit.process(in, out, kSamples);

    return {fingerprint(monoOut), fingerprint(stereoOut), fingerprint(surroundOut)};
}
