// K-weighting filter and loudness detector: per detector channel, a running
// estimate of the channel's loudness power, self-calibrated toward the mean
// K-weighted square.
#include <cmath>
#include <cstring>
#include <type_traits>

#include "LevelerCore.h"
#include "Numerics.h"

using namespace orvanta;

namespace {

// High shelf of the K-weighting: 1681.82 Hz, +3.963 dB (gain 1.578125), Q 1/sqrt(2).
constexpr double kShelfPiFreq = 5283.593356660385;  // pi x 1681.82 Hz
constexpr double kShelfGain = 1.578125;
constexpr double kShelfGainRoot = 1.2562344526401112;
constexpr double kSqrt2 = 1.4142135623730951;
// High-pass of the K-weighting: 41 Hz, Q 0.5.
constexpr double kHighPassPiFreq = 128.8052987971815;  // pi x 41 Hz

// Powers at or below -70 dB do not move the fast level, so pauses keep it.
constexpr double kFastGatePower = 1e-7;
// During start-up the calibration only moves once the K-weighted power is
// above -40 dB; it may rise to 2.5 and start-up ends above sqrt(2).
constexpr float kStartupMinKPower = 1e-4f;
constexpr float kStartupRatioCap = 2.5f;
constexpr float kStartupEndCalibration = 1.4142135f;
// Normal calibration: an 8 s mean of the ratio, floored at 0.875 and capped at 2.
constexpr float kCalibrationFloor = 0.875f;
constexpr float kCalibrationCap = 2.0f;
// After a gap hold the held level releases toward 1.5 x the current power.
constexpr float kHeldReleaseFactor = 1.5f;

// One-pole step of a stored level toward v, in double precision, stored once.
inline float onePole(float level, double v, double coef) {
    return static_cast<float>((static_cast<double>(level) - v) * coef + v);
}

// Zero for every finite x, NaN for an infinity or a NaN.
inline float finiteProbe(float x) { return x - x; }

}  // namespace

void LevelerCore::designKWeighting(float rate) {
    const double fs = rate;
    const double k = std::tan(kShelfPiFreq / fs);
    const double s = k * kSqrt2;
    const double kk = k * k;
    const double a0 = 1.0 + s + kk;
    shelfA1 = static_cast<float>(2.0 * (1.0 - kk) / a0);
    shelfA2 = static_cast<float>((1.0 - s + kk) / a0);
    shelfB0 = static_cast<float>((kShelfGain + kShelfGainRoot * s + kk) / a0);
    shelfB1 = static_cast<float>(2.0 * (kShelfGain - kk) / a0);
    shelfB2 = static_cast<float>((kShelfGain - kShelfGainRoot * s + kk) / a0);

    const double k2 = std::tan(kHighPassPiFreq / fs);
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
        const float lnMaxGain = std::log(maxGain);  // single-precision logarithm
        start = static_cast<float>(std::exp((lnMaxGain - lowLogOffset) / lowLogSlope) * channelShare);
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

// ------------------------------------------------------- detector pass
//
// The same steps as detectChannel, for W channels at once: every branch
// becomes a lane-wise choice between the kept and the stepped value, and
// every lane-wise operation is the IEEE operation of the scalar code, so
// each lane gives the bits of its channel. The pass runs in two stages, the
// filters over all frames and then the levels, so that the recurrences of
// consecutive frames overlap instead of waiting on one another.

namespace {

template <int W>
struct Lanes {
    typedef float F __attribute__((vector_size(4 * W)));
    typedef double D __attribute__((vector_size(8 * W)));
    typedef int32_t I __attribute__((vector_size(4 * W)));
};

template <class F>
inline F loadLanes(const float* p) {
    F v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V, class T>
inline void storeLanes(T* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// onePole, lane by lane: f32((f64(level) - f64(v)) * coef + f64(v)).
template <int W>
inline typename Lanes<W>::F onePoleLanes(typename Lanes<W>::F level, typename Lanes<W>::F v,
                                         double coef) {
    typedef typename Lanes<W>::D D;
    typedef typename Lanes<W>::F F;
    const D wide = __builtin_convertvector(v, D);
    return __builtin_convertvector((__builtin_convertvector(level, D) - wide) * coef + wide, F);
}

// f32(f64(a) / f64(b)), lane by lane.
template <int W>
inline typename Lanes<W>::F divideLanes(typename Lanes<W>::F a, typename Lanes<W>::F b) {
    typedef typename Lanes<W>::D D;
    typedef typename Lanes<W>::F F;
    return __builtin_convertvector(__builtin_convertvector(a, D) / __builtin_convertvector(b, D), F);
}

}  // namespace

template <int W>
void LevelerCore::detectPass(int first, int lanes, const float* const* in, float* const* admitted,
                             int32_t n) {
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::D D;
    typedef typename Lanes<W>::I I;
    static_assert(W <= 4, "the pass scratch holds four lanes per frame");

    auto gather = [&](const auto* field) {
        typedef std::remove_const_t<std::remove_reference_t<decltype(field[0])>> T;
        typename std::conditional<std::is_same<T, float>::value, F, I>::type v{};
        for (int j = 0; j < W; ++j) v[j] = static_cast<T>(field[first + (j < lanes ? j : lanes - 1)]);
        return v;
    };

    // 1.-4. Filters and the two power blends, all frames.
    {
        F hs1 = gather(highPassState1), hs2 = gather(highPassState2);
        F ss1 = gather(shelfState1), ss2 = gather(shelfState2);
        for (int32_t i = 0; i < n; ++i) {
            F x;
            for (int j = 0; j < W; ++j) x[j] = in[j < lanes ? j : lanes - 1][i];
            // The offset flips its sign every frame.
            const float offset = (i & 1) ? -antiDenormal : antiDenormal;
            const F u = x + offset;
            const F v = (hs1 * highPassA1 + u) - hs2 * highPassA2;
            const F yh = (v + hs2) - (hs1 + hs1);
            const F w = (ss1 * shelfA1 + yh) - ss2 * shelfA2;
            const F yk = (w * shelfB0 + ss2 * shelfB2) - ss1 * shelfB1;
            const F ek = yk * yk;
            const F eh = yh * yh;
            const F t = (eh - ek) * 0.25f;
            const F pA = t + ek;
            const F pB = (pA + t) + t;
            // An unmeasurable sample restarts the channel's filter from silence.
            const I measured = ((v - v) + (w - w) + (pA - pA) + (pB - pB)) == 0.0f;
            const F zero{};
            hs2 = measured ? hs1 : zero;
            hs1 = measured ? v : zero;
            ss2 = measured ? ss1 : zero;
            ss1 = measured ? w : zero;
            storeLanes(&pass.blendA[i * W], pA);
            storeLanes(&pass.blendB[i * W], pB);
            storeLanes(&pass.weighted[i * W], ek);
            storeLanes(&pass.measured[i * W], measured);
            for (int j = 0; j < lanes; ++j) admitted[j][i] = measured[j] ? x[j] : 0.0f;
        }
        for (int j = 0; j < lanes; ++j) {
            highPassState1[first + j] = hs1[j];
            highPassState2[first + j] = hs2[j];
            shelfState1[first + j] = ss1[j];
            shelfState2[first + j] = ss2[j];
        }
    }

    // 5.-10. Levels, calibration and the channel power, all frames.
    F fast = gather(fastPower), held = gather(heldPower), slow = gather(slowPower);
    F kLevel = gather(kPower), target = gather(calibrationTarget), cal = gather(calibration);
    I startup = gather(startupCount);
    I gap = gather(gapCount);
    const F threshold = F{} + freezeThreshold;
    const I holdLength = I{} + static_cast<int32_t>(gapHoldLength);
    const D fastGate = D{} + kFastGatePower;
    for (int32_t i = 0; i < n; ++i) {
        const F pA = loadLanes<F>(&pass.blendA[i * W]);
        const F pB = loadLanes<F>(&pass.blendB[i * W]);
        const F ek = loadLanes<F>(&pass.weighted[i * W]);
        I measured;
        std::memcpy(&measured, &pass.measured[i * W], sizeof measured);

        // 5.
        const I gateOpen = __builtin_convertvector(__builtin_convertvector(pA, D) > fastGate, I);
        fast = (measured & gateOpen) ? onePoleLanes<W>(fast, pA, coef100ms) : fast;
        // 6.
        const F gapRef = slow * 0.25f;
        slow = measured ? onePoleLanes<W>(slow, pB, coef500ms) : slow;
        // 7.
        const I fastAbove = fast > threshold;
        const I slowAbove = slow > threshold;
        const I rise = pB > held;
        const I holding = ~rise & (gap < holdLength);
        const I releasing = ~rise & ~holding;
        const I inGap = pB < gapRef;
        const F goal = releasing ? kHeldReleaseFactor * pB : pB;
        const I step = (rise & (fastAbove | (fast > held) | slowAbove)) | (holding & ~inGap & fastAbove) |
                       (releasing & fastAbove & (held >= goal));
        held = (measured & step) ? onePoleLanes<W>(held, goal, coef500ms) : held;
        const I one = I{} + 1;
        gap = measured ? (rise ? one : ((holding & inGap) ? gap + 1 : gap)) : gap;
        // 8.
        const F level = held > fast ? held : fast;
        // 9.
        const I active = measured & (slowAbove | fastAbove);
        const F kNext = onePoleLanes<W>(kLevel, ek, coef800ms);
        const F ratio = divideLanes<W>(level, kNext);
        const I normal = startup == 0;
        //    normal operation
        const I aboveFloor = ratio > kCalibrationFloor;
        F targetNormal = onePoleLanes<W>(target, aboveFloor ? ratio : F{} + kCalibrationFloor, coef8s);
        targetNormal = (aboveFloor & (targetNormal > kCalibrationCap)) ? F{} + kCalibrationCap : targetNormal;
        const F calNormal = onePoleLanes<W>(cal, targetNormal, coef800ms);
        //    start-up
        const I starting = ~normal & (kNext > kStartupMinKPower);
        const F capped = ratio < kStartupRatioCap ? ratio : F{} + kStartupRatioCap;
        const I calRises = capped > cal;
        const F calStartup = calRises ? onePoleLanes<W>(cal, capped, coef500ms) : cal;
        const F targetStartup = calRises ? calStartup : target;
        const I ends = (calStartup > kStartupEndCalibration) | (capped < 1.0f);
        const I startupNext = ends ? I{} : startup - 1;

        kLevel = active ? kNext : kLevel;
        const I normalStep = active & normal;
        const I startupStep = active & starting;
        target = normalStep ? targetNormal : (startupStep ? targetStartup : target);
        cal = normalStep ? calNormal : (startupStep ? calStartup : cal);
        startup = startupStep ? startupNext : startup;
        // 10.
        const F power = divideLanes<W>(level, cal);
        for (int j = 0; j < lanes; ++j) pass.power[first + j][i] = power[j];
    }
    for (int j = 0; j < lanes; ++j) {
        const int d = first + j;
        fastPower[d] = fast[j];
        heldPower[d] = held[j];
        slowPower[d] = slow[j];
        kPower[d] = kLevel[j];
        calibrationTarget[d] = target[j];
        calibration[d] = cal[j];
        startupCount[d] = startup[j];
        gapCount[d] = static_cast<uint16_t>(gap[j]);
    }
}

template void LevelerCore::detectPass<2>(int, int, const float* const*, float* const*, int32_t);
template void LevelerCore::detectPass<4>(int, int, const float* const*, float* const*, int32_t);
