// Gain law and look-ahead delay: the programme power becomes the leveler
// gain, which scales the input delayed by 34 ms.
#include <cmath>
#include <cstring>
#include <emmintrin.h>

#include "LevelerCore.h"
#include "Math.h"
#include "LogLawPass.h"
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
    // Frames whose branch takes the log law: two or four frames per vector.
    if (anyLog) {
        const LogLawSettings law = {inputPower, highUsesLogLaw != 0, lowUsesLogLaw != 0,
                                    highLogSlope, lowLogSlope, highLogOffset, lowLogOffset, maxGain};
        if (useAvx2)
            logLawGainsAvx2(pass.programme, pass.gain, n, law, lastLawPower, lastLawGain);
        else
            logLawGains<TwoLanes>(pass.programme, pass.gain, n, law, lastLawPower, lastLawGain);
    }
    levelerGain = pass.gain[n - 1];
    if (n & 1) antiDenormal = -antiDenormal;
}

void LevelerCore::advanceLookahead() {
    lookaheadIndex = lookaheadIndex > lookaheadLast ? 0 : static_cast<uint16_t>(lookaheadIndex + 1);
}
