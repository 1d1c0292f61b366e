// The log law over a pass, several frames per vector: the gain of each frame
// whose branch takes the log law, exactly as LevelerCore::lawGain gives it.
// Built for SSE2 (two lanes) in GainLaw.cpp and for AVX2 (four lanes) in
// GainLawAvx2.cpp, which runs where the processor has it.
#pragma once

#include <cstdint>
#include <cstring>

#include "MathLanes.h"

namespace orvanta {

struct LogLawSettings {
    double inputPower;  // powers above it take the high branch
    bool highUsesLogLaw, lowUsesLogLaw;
    double highSlope, lowSlope, highOffset, lowOffset;
    float maxGain;
};

// Writes gain[i] for the log-law frames among programme[0..n), which must be
// readable up to the next multiple of four. While the detector stands still
// (silence, the freeze) the programme power repeats exactly, and the gain of
// the last power computed (`lastPower`, `lastGain`) is reused.
void logLawGainsAvx2(const double* programme, float* gain, int32_t n, const LogLawSettings& law,
                     double& lastPower, float& lastGain);

template <typename L>
void logLawGains(const double* programme, float* gain, int32_t n, const LogLawSettings& law, double& lastPower,
                 float& lastGain) {
    typedef typename L::Double Power;
    typedef typename L::Mask Mask;
    constexpr int kLanes = sizeof(Power) / sizeof(double);
    const Power threshold = L::broadcast(law.inputPower);
    const Mask highLog = Mask{} - int64_t{law.highUsesLogLaw};
    const Mask lowLog = Mask{} - int64_t{law.lowUsesLogLaw};
    const Power highSlope = L::broadcast(law.highSlope), lowSlope = L::broadcast(law.lowSlope);
    const Power highOffset = L::broadcast(law.highOffset), lowOffset = L::broadcast(law.lowOffset);
    for (int32_t i = 0; i < n; i += kLanes) {
        Power power;
        std::memcpy(&power, &programme[i], sizeof power);
        const Mask high = power > threshold;
        const Mask logLane = high ? highLog : lowLog;
        const int lanes = n - i < kLanes ? n - i : kLanes;
        bool anyLog = false, repeated = true;
        for (int k = 0; k < lanes; ++k) {
            anyLog |= logLane[k] != 0;
            repeated &= power[k] == lastPower;
        }
        if (!anyLog) continue;
        if (repeated) {
            for (int k = 0; k < lanes; ++k)
                if (logLane[k]) gain[i + k] = lastGain;
            continue;
        }
        const Power lawGain =
            expLanes(logLanes(power) * (high ? highSlope : lowSlope) + (high ? highOffset : lowOffset));
        for (int k = 0; k < lanes; ++k) {
            if (!logLane[k]) continue;
            const float rounded = static_cast<float>(lawGain[k]);
            gain[i + k] = rounded > law.maxGain ? law.maxGain : rounded;
            lastPower = power[k];
            lastGain = gain[i + k];
        }
    }
}

}  // namespace orvanta
