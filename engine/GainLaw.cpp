// Gain law and look-ahead delay: the programme power becomes the leveler
// gain, which scales the input delayed by 34 ms.
#include <cmath>
#include <cstring>
#include <emmintrin.h>

#include "LevelerCore.h"
#include "Math.h"
#include "MathLanes.h"
#include "Numerics.h"

using namespace orvanta;

namespace {
// A correction at or below this counts as zero.
constexpr double kZeroCorrection = 1e-8;
}  // namespace

void LevelerCore::updateMixMode() {
    if (correctionHigh > kZeroCorrection || correctionLow > kZeroCorrection) {
        staticGainMode = 0;
        // A log-law branch at 100 % correction keeps the linear law: both give
        // the same gain there.
        switch (mixMode) {
            case 0:
                highUsesLogLaw = lowUsesLogLaw = 0;
                break;
            case 1:
                highUsesLogLaw = 0;
                lowUsesLogLaw = correctionLow < 1.0;
                break;
            case 2:
                lowUsesLogLaw = 0;
                highUsesLogLaw = correctionHigh < 1.0;
                break;
            case 3:
                highUsesLogLaw = correctionHigh < 1.0;
                lowUsesLogLaw = correctionLow < 1.0;
                break;
            default:
                break;  // an unknown mode keeps the laws it had
        }
    } else {
        staticGainMode = 1;
        highUsesLogLaw = lowUsesLogLaw = 0;
    }
    updateGainLaw();
}

void LevelerCore::updateGainLaw() {
    // Uncorrected share of the gain, target - input, as a natural-log exponent.
    const double fixedExponent = static_cast<double>(targetLevel - inputLevel) * kLn10Over20;

    // Log law: gain in dB = k (target - L) + (1 - k)(target - input).
    if (highUsesLogLaw) {
        highLogOffset = static_cast<float>(correctionHigh * kLn10Over20 * targetLevel +
                                           (1.0 - correctionHigh) * fixedExponent);
        highLogSlope = static_cast<float>(-0.5 * correctionHigh);
    }
    if (lowUsesLogLaw) {
        lowLogOffset = static_cast<float>(correctionLow * kLn10Over20 * targetLevel +
                                          (1.0 - correctionLow) * fixedExponent);
        lowLogSlope = static_cast<float>(-0.5 * correctionLow);
    }

    // Linear law: gain = k T / sqrt(P) + (1 - k) T / I.
    if (!(highUsesLogLaw && lowUsesLogLaw)) {
        const double targetOverInput = targetAmplitude * inputAmplitudeInverse;
        if (!highUsesLogLaw) {
            highLinearScale = quantize(targetAmplitude * correctionHigh, 1.0);
            highLinearOffset = quantize((1.0 - correctionHigh) * targetOverInput, 1.0);
        }
        if (!lowUsesLogLaw) {
            lowLinearScale = quantize(targetAmplitude * correctionLow, 1.0);
            lowLinearOffset = quantize((1.0 - correctionLow) * targetOverInput, 1.0);
        }
        staticGain = quantize(targetOverInput, 4.0);
        if (maxGain < staticGain) staticGain = maxGain;
    }
    lastLawPower = -1.0;  // the law changed: no power has its gain yet
    initDetector();
}

float LevelerCore::lawGain(double programmePower) const {
    double gain;
    if (programmePower > inputPower) {
        gain = highUsesLogLaw
                   ? orvanta::exp(orvanta::log(programmePower) * highLogSlope + highLogOffset)
                   : highLinearScale / std::sqrt(programmePower) + highLinearOffset;
    } else {
        gain = lowUsesLogLaw ? orvanta::exp(orvanta::log(programmePower) * lowLogSlope + lowLogOffset)
                             : lowLinearScale / std::sqrt(programmePower) + lowLinearOffset;
    }
    const float rounded = static_cast<float>(gain);
    return rounded > maxGain ? maxGain : rounded;
}

void LevelerCore::computeLevelerGain(double programmePower) {
    levelerGain = lawGain(programmePower);
    antiDenormal = -antiDenormal;
}

namespace {
typedef double PowerPair __attribute__((vector_size(16)));
typedef int64_t PowerMask __attribute__((vector_size(16)));
}  // namespace

void LevelerCore::levelerGainPass(int32_t n) {
    // No frame depends on another here: the square roots, divisions and
    // logarithms of consecutive frames overlap.
    //
    // The linear law two frames at a time: the lane-wise square root and
    // division are the scalar IEEE operations, so each lane gives
    // lawGain's bits. Frames whose branch takes the log law follow below.
    const bool anyLog = highUsesLogLaw || lowUsesLogLaw;
    if (!(highUsesLogLaw && lowUsesLogLaw)) {
        const PowerPair threshold = PowerPair{} + inputPower;
        const PowerPair highScale = PowerPair{} + highLinearScale, lowScale = PowerPair{} + lowLinearScale;
        const PowerPair highOffset = PowerPair{} + highLinearOffset, lowOffset = PowerPair{} + lowLinearOffset;
        for (int32_t i = 0; i < n; i += 2) {
            PowerPair power;
            std::memcpy(&power, &pass.programme[i], sizeof power);
            const PowerMask high = power > threshold;
            const PowerPair gain =
                (high ? highScale : lowScale) / _mm_sqrt_pd(power) + (high ? highOffset : lowOffset);
            for (int k = 0; k < 2; ++k) {
                const float rounded = static_cast<float>(gain[k]);
                pass.gain[i + k] = rounded > maxGain ? maxGain : rounded;
            }
        }
    }
    // The log law two frames at a time as well: expLanes and logLanes give
    // orvanta::exp's and orvanta::log's bits in each lane. Pairs without a
    // log-law frame are skipped. While the detector stands still (silence,
    // the freeze) the programme power repeats exactly, and the gain of the
    // last power computed is reused.
    if (anyLog) {
        const PowerPair threshold = PowerPair{} + inputPower;
        const PowerMask highLog = PowerMask{} - int64_t{highUsesLogLaw != 0};
        const PowerMask lowLog = PowerMask{} - int64_t{lowUsesLogLaw != 0};
        const PowerPair highSlope = PowerPair{} + static_cast<double>(highLogSlope);
        const PowerPair lowSlope = PowerPair{} + static_cast<double>(lowLogSlope);
        const PowerPair highOffset = PowerPair{} + static_cast<double>(highLogOffset);
        const PowerPair lowOffset = PowerPair{} + static_cast<double>(lowLogOffset);
        for (int32_t i = 0; i < n; i += 2) {
            PowerPair power;
            std::memcpy(&power, &pass.programme[i], sizeof power);
            const PowerMask high = power > threshold;
            const PowerMask logLane = high ? highLog : lowLog;
            if (_mm_movemask_pd(reinterpret_cast<__m128d>(logLane)) == 0) continue;
            const int lanes = i + 1 < n ? 2 : 1;
            if (power[0] == lastLawPower && (lanes == 1 || power[1] == lastLawPower)) {
                for (int k = 0; k < lanes; ++k)
                    if (logLane[k]) pass.gain[i + k] = lastLawGain;
                continue;
            }
            const PowerPair gain = expLanes(logLanes(power) * (high ? highSlope : lowSlope) +
                                            (high ? highOffset : lowOffset));
            for (int k = 0; k < lanes; ++k) {
                if (!logLane[k]) continue;
                const float rounded = static_cast<float>(gain[k]);
                pass.gain[i + k] = rounded > maxGain ? maxGain : rounded;
                lastLawPower = power[k];
                lastLawGain = pass.gain[i + k];
            }
        }
    }
    levelerGain = pass.gain[n - 1];
    if (n & 1) antiDenormal = -antiDenormal;
}

void LevelerCore::advanceLookahead() {
    lookaheadIndex = lookaheadIndex > lookaheadLast ? 0 : static_cast<uint16_t>(lookaheadIndex + 1);
}
