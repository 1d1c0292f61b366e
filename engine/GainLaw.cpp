// The gain law's selection, its coefficients and its frame-by-frame gain.
#include "GainLaw.h"

#include <algorithm>
#include <cmath>

#include "Math.h"
#include "Numerics.h"

namespace orvanta {

namespace {
// A correction at or below this counts as zero.
constexpr double kZeroCorrection = 1e-8;
}  // namespace

void GainLaw::selectLaws() {
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
}

void GainLaw::deriveCoefficients() {
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
}

float GainLaw::gainFor(double programmePower) const {
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

float GainLaw::startPower(float channelShare) const {
    float start;
    if (!lowUsesLogLaw) {
        const double headroom = std::max(1e-8, static_cast<double>(maxGain) - lowLinearOffset);
        const float q = static_cast<float>(lowLinearScale / headroom);
        start = q * (q * channelShare);
    } else if (lowLogSlope < 0.0) {
        const float lnMaxGain = orvanta::log(maxGain);  // single-precision logarithm
        const double exponent = (static_cast<double>(lnMaxGain) - lowLogOffset) / static_cast<double>(lowLogSlope);
        start = static_cast<float>(orvanta::exp(exponent) * channelShare);
    } else {
        start = kTinyLevel;
    }
    // Never 0 (the linear law with no low-level correction): the channel
    // power stays positive and the law never divides by zero.
    return start == 0.0f ? kTinyLevel : start;
}

}  // namespace orvanta
