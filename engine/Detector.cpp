// The detector's filter design, its start levels and its frame-by-frame step.
#include "Detector.h"

#include "DetectorConstants.h"
#include "Math.h"

namespace orvanta {

using namespace detector;

namespace {

// One-pole step of a stored level toward v, in double precision, stored once.
inline float onePole(float level, double v, double coef) {
    return static_cast<float>((static_cast<double>(level) - v) * coef + v);
}

// Zero for every finite x, NaN for an infinity or a NaN.
inline float finiteProbe(float x) { return x - x; }

}  // namespace

void DetectorSettings::designKWeighting(float rate) {
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

void DetectorState::start(float power, float sampleRate) {
    for (DetectorChannel& c : channel) {
        c.fastPower = c.heldPower = c.slowPower = c.kPower = power;
        c.calibrationTarget = c.calibration = 1.0f;
        c.startupCount = static_cast<int32_t>(sampleRate);  // start-up lasts at most a second of signal
    }
    antiDenormal = kTinyLevel;
}

float DetectorChannel::step(const DetectorSettings& s, float input, bool& rejected) {
    // 1.-3. K-weighting in single precision, direct form II, high-pass first.
    const float u = input;
    const float v = (highPassState1 * s.highPassA1 + u) - highPassState2 * s.highPassA2;
    const float yh = (v + highPassState2) - (highPassState1 + highPassState1);
    const float w = (shelfState1 * s.shelfA1 + yh) - shelfState2 * s.shelfA2;
    const float yk = (w * s.shelfB0 + shelfState2 * s.shelfB2) - shelfState1 * s.shelfB1;

    // 4. Two blends of the K-weighted and the high-passed power.
    const float ek = yk * yk;
    const float eh = yh * yh;
    const float t = (eh - ek) * 0.25f;
    const float pA = t + ek;         // 0.75 ek + 0.25 eh
    const float pB = (pA + t) + t;   // 0.25 ek + 0.75 eh

    // The channel power is the louder of the held and the fast level,
    // divided by the calibration.
    auto calibratedPower = [this](float level) {
        return static_cast<float>(static_cast<double>(level) / calibration);
    };
    auto currentLevel = [this] { return heldPower > fastPower ? heldPower : fastPower; };

    // A sample that drives the filter or its square out of range (NaN,
    // infinity, or a finite value whose square overflows) cannot be
    // measured: the channel's filter restarts from silence and its levels
    // hold, so the detector keeps working on the samples that follow.
    if (finiteProbe(v) + finiteProbe(w) + finiteProbe(pA) + finiteProbe(pB) != 0.0f) {
        highPassState1 = highPassState2 = 0.0f;
        shelfState1 = shelfState2 = 0.0f;
        rejected = true;
        return calibratedPower(currentLevel());
    }
    highPassState2 = highPassState1;
    highPassState1 = v;
    shelfState2 = shelfState1;
    shelfState1 = w;

    // 5. Fast level (0.1 s), gated at -70 dB.
    if (static_cast<double>(pA) > kFastGatePower) fastPower = onePole(fastPower, pA, s.coef100ms);

    // 6. Slow level (0.5 s); a gap is a power more than 6 dB under it.
    const float gapRef = slowPower * 0.25f;
    slowPower = onePole(slowPower, pB, s.coef500ms);

    // 7. Held level with gap hold and freeze.
    const float fast = fastPower;
    const float slow = slowPower;
    const float threshold = s.freezeThreshold;
    if (pB > heldPower) {
        if (fast > threshold || fast > heldPower || slow > threshold)
            heldPower = onePole(heldPower, pB, s.coef500ms);
        gapCount = 1;
    } else if (gapCount < s.gapHoldLength) {
        if (pB < gapRef) {
            ++gapCount;
        } else if (fast > threshold) {
            heldPower = onePole(heldPower, pB, s.coef500ms);
        }
    } else if (fast > threshold) {
        const float releaseGoal = kHeldReleaseFactor * pB;
        if (heldPower >= releaseGoal) heldPower = onePole(heldPower, releaseGoal, s.coef500ms);
    }

    // 8.
    const float level = currentLevel();

    // 9. Calibration toward the mean K-weighted square, outside the freeze.
    if (slow > threshold || fast > threshold) {
        kPower = onePole(kPower, ek, s.coef800ms);
        const float ratio = static_cast<float>(static_cast<double>(level) / kPower);
        if (startupCount == 0) {
            if (ratio > kCalibrationFloor) {
                calibrationTarget = onePole(calibrationTarget, ratio, s.coef8s);
                if (calibrationTarget > kCalibrationCap) calibrationTarget = kCalibrationCap;
            } else {
                calibrationTarget = onePole(calibrationTarget, kCalibrationFloor, s.coef8s);
            }
            calibration = onePole(calibration, calibrationTarget, s.coef800ms);
        } else if (kPower > kStartupMinKPower) {
            const float capped = ratio < kStartupRatioCap ? ratio : kStartupRatioCap;
            if (capped > calibration) {
                calibration = onePole(calibration, capped, s.coef500ms);
                calibrationTarget = calibration;
            }
            if (calibration > kStartupEndCalibration || capped < 1.0f)
                startupCount = 0;
            else
                --startupCount;
        }
    }

    // 10.
    return calibratedPower(level);
}

}  // namespace orvanta
