// K-weighting filter and loudness detector: per detector channel, a running
// estimate of the channel's loudness power, self-calibrated toward the mean
// K-weighted square.
#include <cmath>
#include <cstring>
#include <emmintrin.h>

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
// The same steps as detectChannel, for two channels at once in the low lanes
// of SSE2 registers (the high float lanes only ever hold results of zeros):
// every branch becomes a lane-wise choice between the kept and the stepped
// value, and every lane-wise operation is the IEEE operation of the scalar
// code, so each lane gives the bits of its channel. The pass runs in two
// stages, the filters over all frames and then the levels, so that the
// recurrences of consecutive frames overlap instead of waiting on one another.

namespace {

typedef __m128 Pair;     // two channels' floats in lanes 0 and 1
typedef __m128d Wide;    // the same two channels in double precision

inline Pair pairOf(float a, float b) { return _mm_unpacklo_ps(_mm_set_ss(a), _mm_set_ss(b)); }
inline Pair splat(float a) { return _mm_set1_ps(a); }
inline Pair loadPair(const float* p) { return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))); }
inline void storePair(float* p, Pair v) { _mm_store_sd(reinterpret_cast<double*>(p), _mm_castps_pd(v)); }
inline Wide widen(Pair v) { return _mm_cvtps_pd(v); }
inline Pair narrow(Wide v) { return _mm_cvtpd_ps(v); }

// Lane-wise choice: `a` where the mask is set, else `b`.
inline Pair pick(Pair mask, Pair a, Pair b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
inline __m128i pickInt(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
inline Pair asMask(__m128i m) { return _mm_castsi128_ps(m); }
inline __m128i asInt(Pair m) { return _mm_castps_si128(m); }

// onePole, lane by lane: f32((f64(level) - f64(v)) * coef + f64(v)).
inline Pair onePolePair(Pair level, Wide v, Wide coef) {
    return narrow(_mm_add_pd(_mm_mul_pd(_mm_sub_pd(widen(level), v), coef), v));
}
inline Pair onePolePair(Pair level, Pair v, Wide coef) { return onePolePair(level, widen(v), coef); }

// f32(f64(a) / f64(b)), lane by lane.
inline Pair dividePair(Pair a, Pair b) { return narrow(_mm_div_pd(widen(a), widen(b))); }

}  // namespace

void LevelerCore::detectPass(int first, int lanes, const float* const* in, float* const* admitted,
                             int32_t n) {
    // Lane 1 repeats channel `first` when only one channel is given.
    const int second = lanes > 1 ? first + 1 : first;
    const float* in0 = in[0];
    const float* in1 = in[lanes > 1 ? 1 : 0];
    auto pairField = [&](const float* field) { return pairOf(field[first], field[second]); };
    auto pairCount = [&](int32_t a, int32_t b) { return _mm_setr_epi32(a, b, 0, 0); };

    // 1.-4. Filters and the two power blends, all frames.
    {
        Pair hs1 = pairField(highPassState1), hs2 = pairField(highPassState2);
        Pair ss1 = pairField(shelfState1), ss2 = pairField(shelfState2);
        const Pair hpA1 = splat(highPassA1), hpA2 = splat(highPassA2);
        const Pair shA1 = splat(shelfA1), shA2 = splat(shelfA2);
        const Pair shB0 = splat(shelfB0), shB1 = splat(shelfB1), shB2 = splat(shelfB2);
        const Pair quarter = splat(0.25f), zero = _mm_setzero_ps();
        // The offset flips its sign every frame.
        Pair offset = splat(antiDenormal);
        const Pair flip = splat(-0.0f);
        for (int32_t i = 0; i < n; ++i) {
            const Pair x = pairOf(in0[i], in1[i]);
            const Pair u = _mm_add_ps(x, offset);
            offset = _mm_xor_ps(offset, flip);
            const Pair v = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(hs1, hpA1), u), _mm_mul_ps(hs2, hpA2));
            const Pair yh = _mm_sub_ps(_mm_add_ps(v, hs2), _mm_add_ps(hs1, hs1));
            const Pair w = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(ss1, shA1), yh), _mm_mul_ps(ss2, shA2));
            const Pair yk = _mm_sub_ps(_mm_add_ps(_mm_mul_ps(w, shB0), _mm_mul_ps(ss2, shB2)), _mm_mul_ps(ss1, shB1));
            const Pair ek = _mm_mul_ps(yk, yk);
            const Pair eh = _mm_mul_ps(yh, yh);
            const Pair t = _mm_mul_ps(_mm_sub_ps(eh, ek), quarter);
            const Pair pA = _mm_add_ps(t, ek);
            const Pair pB = _mm_add_ps(_mm_add_ps(pA, t), t);
            // An unmeasurable sample restarts the channel's filter from silence.
            const Pair probe = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_sub_ps(v, v), _mm_sub_ps(w, w)), _mm_sub_ps(pA, pA)),
                                          _mm_sub_ps(pB, pB));
            const Pair measured = _mm_cmpeq_ps(probe, zero);
            hs2 = hs1;
            hs1 = v;
            ss2 = ss1;
            ss1 = w;
            // Rare, and a branch: a mask here would chain every frame's
            // filter to the whole of the previous frame's arithmetic.
            if ((_mm_movemask_ps(measured) & 3) != 3) {
                hs2 = _mm_and_ps(measured, hs2);
                hs1 = _mm_and_ps(measured, hs1);
                ss2 = _mm_and_ps(measured, ss2);
                ss1 = _mm_and_ps(measured, ss1);
            }
            storePair(&pass.blendA[2 * i], pA);
            storePair(&pass.blendB[2 * i], pB);
            storePair(&pass.weighted[2 * i], ek);
            storePair(reinterpret_cast<float*>(&pass.measured[2 * i]), measured);
            // The sample that goes on: an unmeasurable one as silence.
            const Pair kept = _mm_and_ps(measured, x);
            admitted[0][i] = _mm_cvtss_f32(kept);
            if (lanes > 1) admitted[1][i] = _mm_cvtss_f32(_mm_shuffle_ps(kept, kept, 1));
        }
        float h1[4], h2[4], s1[4], s2[4];
        _mm_storeu_ps(h1, hs1);
        _mm_storeu_ps(h2, hs2);
        _mm_storeu_ps(s1, ss1);
        _mm_storeu_ps(s2, ss2);
        for (int j = 0; j < lanes; ++j) {
            highPassState1[first + j] = h1[j];
            highPassState2[first + j] = h2[j];
            shelfState1[first + j] = s1[j];
            shelfState2[first + j] = s2[j];
        }
    }

    // 5.-8. Fast, slow and held levels, all frames. The stages below are
    //       separate loops so that each frame's chain of dependent steps
    //       stays short and several frames are under way at once.
    Pair fast = pairField(fastPower), held = pairField(heldPower), slow = pairField(slowPower);
    __m128i gap = pairCount(gapCount[first], gapCount[second]);
    {
        const Pair threshold = splat(freezeThreshold);
        const __m128i holdLength = _mm_set1_epi32(gapHoldLength);
        const Wide fastGate = _mm_set1_pd(kFastGatePower);
        const Wide c100 = _mm_set1_pd(coef100ms), c500 = _mm_set1_pd(coef500ms);
        const Pair quarter = splat(0.25f), releaseFactor = splat(kHeldReleaseFactor);
        const __m128i one = _mm_set1_epi32(1);
        for (int32_t i = 0; i < n; ++i) {
            const Pair pA = loadPair(&pass.blendA[2 * i]);
            const Pair pB = loadPair(&pass.blendB[2 * i]);
            const Pair measured = loadPair(reinterpret_cast<const float*>(&pass.measured[2 * i]));
            const Wide pAWide = widen(pA), pBWide = widen(pB);

            // 5. The gate compares in double precision; its 64-bit lane
            //    masks fold into the two float lanes.
            const Wide gateWide = _mm_cmpgt_pd(pAWide, fastGate);
            const Pair gateOpen =
                _mm_shuffle_ps(_mm_castpd_ps(gateWide), _mm_castpd_ps(gateWide), _MM_SHUFFLE(2, 0, 2, 0));
            fast = pick(_mm_and_ps(measured, gateOpen), onePolePair(fast, pAWide, c100), fast);
            // 6.
            const Pair gapRef = _mm_mul_ps(slow, quarter);
            slow = pick(measured, onePolePair(slow, pBWide, c500), slow);
            // 7.
            const Pair fastAbove = _mm_cmpgt_ps(fast, threshold);
            const Pair slowAbove = _mm_cmpgt_ps(slow, threshold);
            const Pair rise = _mm_cmpgt_ps(pB, held);
            const Pair holding = _mm_andnot_ps(rise, asMask(_mm_cmplt_epi32(gap, holdLength)));
            const Pair releasing = _mm_andnot_ps(_mm_or_ps(rise, holding), measured);
            const Pair inGap = _mm_cmplt_ps(pB, gapRef);
            const Pair goal = pick(releasing, _mm_mul_ps(pB, releaseFactor), pB);
            const Pair step = _mm_or_ps(
                _mm_or_ps(_mm_and_ps(rise, _mm_or_ps(_mm_or_ps(fastAbove, _mm_cmpgt_ps(fast, held)), slowAbove)),
                          _mm_and_ps(_mm_andnot_ps(inGap, holding), fastAbove)),
                _mm_and_ps(_mm_and_ps(releasing, fastAbove), _mm_cmpge_ps(held, goal)));
            held = pick(_mm_and_ps(measured, step), onePolePair(held, goal, c500), held);
            const __m128i gapNext =
                pickInt(asInt(rise), one, pickInt(asInt(_mm_and_ps(holding, inGap)), _mm_add_epi32(gap, one), gap));
            gap = pickInt(asInt(measured), gapNext, gap);
            // 8. The level, and whether the calibration may move (9.).
            storePair(&pass.levelPairs[2 * i], pick(_mm_cmpgt_ps(held, fast), held, fast));
            storePair(reinterpret_cast<float*>(&pass.measured[2 * i]),
                      _mm_and_ps(measured, _mm_or_ps(slowAbove, fastAbove)));
        }
    }

    // 9. The K-weighted power and the ratio of the level to it.
    Pair kLevel = pairField(kPower);
    {
        const Wide c800 = _mm_set1_pd(coef800ms);
        for (int32_t i = 0; i < n; ++i) {
            const Pair active = loadPair(reinterpret_cast<const float*>(&pass.measured[2 * i]));
            const Pair kNext = onePolePair(kLevel, loadPair(&pass.weighted[2 * i]), c800);
            storePair(&pass.ratioPairs[2 * i], dividePair(loadPair(&pass.levelPairs[2 * i]), kNext));
            // The start-up test reads the stepped K-weighted power.
            storePair(&pass.weighted[2 * i], kNext);
            kLevel = pick(active, kNext, kLevel);
        }
    }

    // 9. The calibration: normal operation or start-up.
    Pair target = pairField(calibrationTarget), cal = pairField(calibration);
    __m128i startup = pairCount(startupCount[first], startupCount[second]);
    {
        const Wide c500 = _mm_set1_pd(coef500ms), c800 = _mm_set1_pd(coef800ms), c8s = _mm_set1_pd(coef8s);
        const Pair floorLevel = splat(kCalibrationFloor), cap = splat(kCalibrationCap);
        const Pair startupMin = splat(kStartupMinKPower), ratioCap = splat(kStartupRatioCap);
        const Pair endCalibration = splat(kStartupEndCalibration), unity = splat(1.0f);
        const __m128i one = _mm_set1_epi32(1), none = _mm_setzero_si128();
        // Start-up ends for good once its count reaches zero: most passes
        // have no channel in start-up and need only normal operation.
        const bool allNormal = startupCount[first] == 0 && startupCount[second] == 0;
        for (int32_t i = 0; allNormal && i < n; ++i) {
            const Pair active = loadPair(reinterpret_cast<const float*>(&pass.measured[2 * i]));
            const Pair ratio = loadPair(&pass.ratioPairs[2 * i]);
            const Pair aboveFloor = _mm_cmpgt_ps(ratio, floorLevel);
            Pair targetNormal = onePolePair(target, pick(aboveFloor, ratio, floorLevel), c8s);
            targetNormal = pick(_mm_and_ps(aboveFloor, _mm_cmpgt_ps(targetNormal, cap)), cap, targetNormal);
            target = pick(active, targetNormal, target);
            cal = pick(active, onePolePair(cal, targetNormal, c800), cal);
            storePair(&pass.ratioPairs[2 * i], cal);
        }
        for (int32_t i = 0; !allNormal && i < n; ++i) {
            const Pair active = loadPair(reinterpret_cast<const float*>(&pass.measured[2 * i]));
            const Pair ratio = loadPair(&pass.ratioPairs[2 * i]);
            const Pair kNext = loadPair(&pass.weighted[2 * i]);
            const Pair normal = asMask(_mm_cmpeq_epi32(startup, none));
            //    normal operation
            const Pair aboveFloor = _mm_cmpgt_ps(ratio, floorLevel);
            Pair targetNormal = onePolePair(target, pick(aboveFloor, ratio, floorLevel), c8s);
            targetNormal = pick(_mm_and_ps(aboveFloor, _mm_cmpgt_ps(targetNormal, cap)), cap, targetNormal);
            const Pair calNormal = onePolePair(cal, targetNormal, c800);
            //    start-up
            const Pair starting = _mm_andnot_ps(normal, _mm_cmpgt_ps(kNext, startupMin));
            const Pair capped = pick(_mm_cmplt_ps(ratio, ratioCap), ratio, ratioCap);
            const Pair calRises = _mm_cmpgt_ps(capped, cal);
            const Pair calStartup = pick(calRises, onePolePair(cal, capped, c500), cal);
            const Pair targetStartup = pick(calRises, calStartup, target);
            const Pair ends = _mm_or_ps(_mm_cmpgt_ps(calStartup, endCalibration), _mm_cmplt_ps(capped, unity));
            const __m128i startupNext = _mm_andnot_si128(asInt(ends), _mm_sub_epi32(startup, one));

            const Pair normalStep = _mm_and_ps(active, normal);
            const Pair startupStep = _mm_and_ps(active, starting);
            target = pick(normalStep, targetNormal, pick(startupStep, targetStartup, target));
            cal = pick(normalStep, calNormal, pick(startupStep, calStartup, cal));
            startup = pickInt(asInt(startupStep), startupNext, startup);
            storePair(&pass.ratioPairs[2 * i], cal);
        }
    }

    // 10. The channel power: the level divided by the calibration.
    for (int32_t i = 0; i < n; ++i)
        storePair(&pass.powerPairs[2 * i],
                  dividePair(loadPair(&pass.levelPairs[2 * i]), loadPair(&pass.ratioPairs[2 * i])));
    for (int32_t i = 0; i < n; ++i) pass.power[first][i] = pass.powerPairs[2 * i];
    if (lanes > 1)
        for (int32_t i = 0; i < n; ++i) pass.power[first + 1][i] = pass.powerPairs[2 * i + 1];

    float f[4], h[4], sl[4], k[4], t[4], c[4];
    int32_t st[4], g[4];
    _mm_storeu_ps(f, fast);
    _mm_storeu_ps(h, held);
    _mm_storeu_ps(sl, slow);
    _mm_storeu_ps(k, kLevel);
    _mm_storeu_ps(t, target);
    _mm_storeu_ps(c, cal);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(st), startup);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g), gap);
    for (int j = 0; j < lanes; ++j) {
        const int d = first + j;
        fastPower[d] = f[j];
        heldPower[d] = h[j];
        slowPower[d] = sl[j];
        kPower[d] = k[j];
        calibrationTarget[d] = t[j];
        calibration[d] = c[j];
        startupCount[d] = st[j];
        gapCount[d] = static_cast<uint16_t>(g[j]);
    }
}
