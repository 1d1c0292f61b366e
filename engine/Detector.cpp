// K-weighting filter and loudness detector: per detector channel, a running
// estimate of the channel's loudness power, self-calibrated toward the mean
// K-weighted square.
#include <algorithm>
#include <cmath>

#include "LevelerCore.h"
#include "Math.h"
#include "DetectorConstants.h"
#include "Numerics.h"

using namespace orvanta;
using namespace orvanta::detector;

namespace {

// One-pole step of a stored level toward v, in double precision, stored once.
inline float onePole(float level, double v, double coef) {
    return static_cast<float>((static_cast<double>(level) - v) * coef + v);
}

// Zero for every finite x, NaN for an infinity or a NaN.
inline float finiteProbe(float x) { return x - x; }

}  // namespace

void LevelerCore::designKWeighting(float rate) {
    const double fs = rate;
    const double k = orvanta::tan(kShelfPiFreq / fs);
    const double s = k * kSqrt2;
    const double kk = k * k;
    const double a0 = 1.0 + s + kk;
    shelfA1 = static_cast<float>(2.0 * (1.0 - kk) / a0);
    shelfA2 = static_cast<float>((1.0 - s + kk) / a0);
    shelfB0 = static_cast<float>((kShelfGain + kShelfGainRoot * s + kk) / a0);
    shelfB1 = static_cast<float>(2.0 * (kShelfGain - kk) / a0);
    shelfB2 = static_cast<float>((kShelfGain - kShelfGainRoot * s + kk) / a0);

    const double k2 = orvanta::tan(kHighPassPiFreq / fs);
    const double a0hp = 1.0 + 2.0 * k2 + k2 * k2;
    highPassA1 = static_cast<float>(2.0 * (1.0 - k2 * k2) / a0hp);
    highPassA2 = static_cast<float>((1.0 - 2.0 * k2 + k2 * k2) / a0hp);
}

void LevelerCore::initDetector() {
    if (holdCount != 0) return;  // only a fresh engine takes start levels

    // Start level: the channel power at which the low-level branch of the
    // gain law gives exactly maxGain, scaled by the channel's share.
    float start;
    if (!lowUsesLogLaw) {
        const double headroom = std::max(1e-8, static_cast<double>(maxGain) - lowLinearOffset);
        const float q = static_cast<float>(lowLinearScale / headroom);
        start = q * (q * channelShare);
    } else if (lowLogSlope < 0.0) {
        const float lnMaxGain = orvanta::log(maxGain);  // single-precision logarithm
        start = static_cast<float>(orvanta::exp((lnMaxGain - lowLogOffset) / lowLogSlope) * channelShare);
    } else {
        start = kTinyLevel;
    }
    if (start == 0.0f) start = kTinyLevel;

    for (int d = 0; d < kDetectorChannels; ++d) {
        fastPower[d] = heldPower[d] = slowPower[d] = kPower[d] = start;
        calibrationTarget[d] = calibration[d] = 1.0f;
        startupCount[d] = static_cast<int32_t>(sampleRate);
    }
    antiDenormal = kTinyLevel;
}

void LevelerCore::startDetectorAt(float lufs) {
    if (holdCount != 0 || !std::isfinite(lufs)) return;
    // As in a pause of that programme: the held level at the channel's share
    // of its power 10^((L + 0.691)/10), the fast and slow levels down at
    // silence, so the freeze holds the gain until the first sound instead of
    // following room tone through the fast level's gate. The calibration
    // starts as usual once the programme is heard.
    const double power = orvanta::exp(2.0 * static_cast<double>(lufs + kLoudnessOffsetLu) * kLn10Over20);
    const float start = std::max(kTinyLevel, static_cast<float>(power * channelShare));
    for (int d = 0; d < kDetectorChannels; ++d) {
        heldPower[d] = start;
        fastPower[d] = slowPower[d] = kTinyLevel;
    }
}

float LevelerCore::detectChannel(int d, float x, bool& rejected) {
    // 1.-3. K-weighting in single precision, direct form II, high-pass first.
    const float u = x + antiDenormal;
    const float v = (highPassState1[d] * highPassA1 + u) - highPassState2[d] * highPassA2;
    const float yh = (v + highPassState2[d]) - (highPassState1[d] + highPassState1[d]);
    const float w = (shelfState1[d] * shelfA1 + yh) - shelfState2[d] * shelfA2;
    const float yk = (w * shelfB0 + shelfState2[d] * shelfB2) - shelfState1[d] * shelfB1;

    // 4. Two blends of the K-weighted and the high-passed power.
    const float ek = yk * yk;
    const float eh = yh * yh;
    const float t = (eh - ek) * 0.25f;
    const float pA = t + ek;         // 0.75 ek + 0.25 eh
    const float pB = (pA + t) + t;   // 0.25 ek + 0.75 eh

    // The channel power is the louder of the held and the fast level,
    // divided by the calibration.
    auto calibratedPower = [this, d](float level) {
        return static_cast<float>(static_cast<double>(level) / calibration[d]);
    };
    auto currentLevel = [this, d] { return heldPower[d] > fastPower[d] ? heldPower[d] : fastPower[d]; };

    // A sample that drives the filter or its square out of range (NaN,
    // infinity, or a finite value whose square overflows) cannot be
    // measured: the channel's filter restarts from silence and its levels
    // hold, so the detector keeps working on the samples that follow.
    if (finiteProbe(v) + finiteProbe(w) + finiteProbe(pA) + finiteProbe(pB) != 0.0f) {
        highPassState1[d] = highPassState2[d] = 0.0f;
        shelfState1[d] = shelfState2[d] = 0.0f;
        rejected = true;
        return calibratedPower(currentLevel());
    }
    highPassState2[d] = highPassState1[d];
    highPassState1[d] = v;
    shelfState2[d] = shelfState1[d];
    shelfState1[d] = w;

    // 5. Fast level (0.1 s), gated at -70 dB.
    if (static_cast<double>(pA) > kFastGatePower) fastPower[d] = onePole(fastPower[d], pA, coef100ms);

    // 6. Slow level (0.5 s); a gap is a power more than 6 dB under it.
    const float gapRef = slowPower[d] * 0.25f;
    slowPower[d] = onePole(slowPower[d], pB, coef500ms);

    // 7. Held level with gap hold and freeze.
    const float fast = fastPower[d];
    const float slow = slowPower[d];
    if (pB > heldPower[d]) {
        if (fast > freezeThreshold || fast > heldPower[d] || slow > freezeThreshold)
            heldPower[d] = onePole(heldPower[d], pB, coef500ms);
        gapCount[d] = 1;
    } else if (gapCount[d] < gapHoldLength) {
        if (pB < gapRef) {
            ++gapCount[d];
        } else if (fast > freezeThreshold) {
            heldPower[d] = onePole(heldPower[d], pB, coef500ms);
        }
    } else if (fast > freezeThreshold) {
        const float releaseGoal = kHeldReleaseFactor * pB;
        if (heldPower[d] >= releaseGoal) heldPower[d] = onePole(heldPower[d], releaseGoal, coef500ms);
    }

    // 8.
    const float level = currentLevel();

    // 9. Calibration toward the mean K-weighted square, outside the freeze.
    if (slow > freezeThreshold || fast > freezeThreshold) {
        kPower[d] = onePole(kPower[d], ek, coef800ms);
        const float ratio = static_cast<float>(static_cast<double>(level) / kPower[d]);
        if (startupCount[d] == 0) {
            if (ratio > kCalibrationFloor) {
                calibrationTarget[d] = onePole(calibrationTarget[d], ratio, coef8s);
                if (calibrationTarget[d] > kCalibrationCap) calibrationTarget[d] = kCalibrationCap;
            } else {
                calibrationTarget[d] = onePole(calibrationTarget[d], kCalibrationFloor, coef8s);
            }
            calibration[d] = onePole(calibration[d], calibrationTarget[d], coef800ms);
        } else if (kPower[d] > kStartupMinKPower) {
            const float capped = ratio < kStartupRatioCap ? ratio : kStartupRatioCap;
            if (capped > calibration[d]) {
                calibration[d] = onePole(calibration[d], capped, coef500ms);
                calibrationTarget[d] = calibration[d];
            }
            if (calibration[d] > kStartupEndCalibration || capped < 1.0f)
                startupCount[d] = 0;
            else
                --startupCount[d];
        }
    }

    // 10.
    return calibratedPower(level);
}

// The detector pass, compiled for the baseline instruction set and for AVX2
// (DetectorPass.inc); both give the same bits, AVX2 only needs fewer
// instructions.
void LevelerCore::detectPass(int first, int lanes, const float* const* in, float* const* admitted,
                             int32_t n) {
    if (useAvx2)
        detectPassAvx2(first, lanes, in, admitted, n);
    else
        detectPassBaseline(first, lanes, in, admitted, n);
}
