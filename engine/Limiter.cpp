// True-peak limiter: its set-up, its frame step and block logic, and the
// limiter stage of the engine's loops, kept here so that they inline the
// step. Levels live in the scaled domain (amplitude x 31.999996185302734).
#include <cmath>
#include <cstring>

#include "LevelerCore.h"
#include "Limiter.h"
#include "Math.h"
#include "Numerics.h"

using namespace orvanta;

namespace {

// Look-ahead and short hold, in seconds.
constexpr double kLookaheadS = 0.00125;
constexpr double kShortHoldS = 0.00205;
constexpr int kLongHoldsPerShortHold = 6;
// Time constants, as "the distance shrinks to 1 % after fs / N samples".
constexpr double kReleasePer1Percent = 100.65;
constexpr double kLevelFallPer1Percent = 0.70525;
constexpr double kLevelRisePer1Percent = 7.0525;

constexpr float kMaxOutScale = 31.906254f;          // output never above -0.0255 dBTP
constexpr double kKneeFactor = 0.4556253375000625;  // floor knee: -6.83 dB under the floor
constexpr double kFloorMinFactor = 0.953125;
constexpr double kRestMargin = 1.0009765625;        // 1 + 2^-10 over the rest level
constexpr double kCreepFactor = 1.0000001;          // quiet-hold creep per sample
constexpr double kWindowPeakNudge = 1.0000001676380634;
constexpr float kLevelGateFactor = 0.0404001f;      // -27.9 dB
constexpr float kQuietFactor = 0.01023293f;         // -39.8 dB under the attack target
constexpr float kReleaseZoneFactor = 0.9949874f;
constexpr float kQuietOutputFactor = 0.015625f;     // -36 dB: output peak that ends a rest
constexpr double kAttackStepShrink = 0.7483314773547883;
constexpr float kAttackStepFloorFactor = 0x1p-21f;
constexpr double kAttackStepAfterReset = 0x1p-16;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr float kHugeTarget = 1e38f;
constexpr float kHugeTargetBound = 1.4142135230892728e38f;
constexpr uint8_t kRestBlocks = 20;
constexpr uint8_t kHangBlocks = 100;
constexpr uint16_t kRefHangBlocks = 399;
constexpr uint16_t kFloorHangAfterRise = 400;
constexpr uint16_t kFloorHangStep = 15;
constexpr uint32_t kLevelHangBlocks = 160;
constexpr double kSlowHoldCoef = 0.9959786;
constexpr double kBlockFloorFactor = 0.35999999940395355;
constexpr double kFloorDecay = 0.996826171875;
constexpr float kLevelRefDecay = 0.99991333f;
constexpr float kPeakMemoryDecay = 0.99956685f;
constexpr double kLevelRefFromSlow = 2.7777777777777777;
constexpr double kHoldMinStep = 0.9576032806985737;  // 2^(-1/16)

inline float product(float level, double factor) {
    return static_cast<float>(static_cast<double>(level) * factor);
}

}  // namespace

void Limiter::setCeiling(float dbtp) {
    const double amplitude = orvanta::exp(static_cast<double>(dbtp) * kLn10Over20);
    const double scaled = amplitude * static_cast<double>(kScaledFullScale);
    const float newCeiling = quantize(scaled, 256.0);
    if (!fresh() && newCeiling == ceiling) return;

    ceiling = newCeiling;
    releaseFloor = newCeiling;
    floorKnee = product(newCeiling, kKneeFactor);
    floorMin = quantize(static_cast<double>(newCeiling) * kFloorMinFactor, 256.0);
    if (fresh()) {
        windowPeak = windowStart = lastPeak = slowHold = slowPeak = newCeiling;
        shortHold = longHold = holdLevel = peakTarget = newCeiling;
        levelGate = levelGateActive = newCeiling * kLevelGateFactor;
        holdMin = floorKnee;
    } else if (floorKnee > holdMin) {
        holdMin = floorKnee;
    }

    // One bit coarser than single precision at the ceiling's binade.
    int exponent = 0;
    std::frexp(scaled, &exponent);
    outScale = quantize(scaled, std::ldexp(1.0, exponent));
    if (outScale > kMaxOutScale) outScale = kMaxOutScale;
}

void Limiter::restart() {
    releaseFloor = ceiling;
    floorKnee = holdMin = product(ceiling, kKneeFactor);
    blockFloor = -1.0f;
    windowCount = holdCount = longHoldCount = 0;
    blockHoldCount = 0;
    windowStart = shortHold = longHold = holdLevel = peakTarget = ceiling;
    peakMemory = blockHold = 1.0f;
    releaseZone = creepLimit = 32.0f;
    windowPeak = ceiling;
    levelRef = 1.0f;
    watchedLevel = WatchedLevel::WindowStart;
    lastPeak = ceiling;
    attackStep = kAttackStepAfterReset;
    attackGoal = quietLevel = quietGate = -1.0f;
    levelGate = levelGateActive = product(ceiling, static_cast<double>(0.0404001));
    envelope = kTopEnvelope;
    slowPeak = slowHold = ceiling;
    quietBlocks = quietHang = gateHang = 0;
    levelHang = 0;
    floorHang = refHang = 0;
    floorPending = refArm = attackFlag = false;
}

void Limiter::setRate(double fs) {
    limLen = lengthFromSeconds(fs, kLookaheadS);
    limLast = static_cast<uint16_t>(limLen - 2);
    holdLen = lengthFromSeconds(fs, kShortHoldS);
    longHoldLen = static_cast<uint16_t>(kLongHoldsPerShortHold * holdLen);
    attackDiv = quantize(1.0 / (limLen + 1), 1.0);
    releaseCoef = quantize(orvanta::pow(0.01, kReleasePer1Percent / fs), 1.0);
    levelFall = quantize(orvanta::pow(0.01, kLevelFallPer1Percent / fs), 1.0);
    levelRise = quantize(orvanta::pow(0.01, kLevelRisePer1Percent / fs), 16.0);
    limPos = 0;
}

void Limiter::refillRings() {
    levelRing.assign(limLen, 0.0f);
    peakRing.assign(limLen, 0.0f);
    for (auto& ring : sampleRing) ring.assign(limLen, 0.0f);
}

inline float Limiter::watchedValue() const {
    switch (watchedLevel) {
        case WatchedLevel::WindowPeak: return windowPeak;
        case WatchedLevel::Envelope: return envelope;
        case WatchedLevel::WindowStart: break;
    }
    return windowStart;
}

// Steps 1 to 7 of one frame: everything but the sample rings and the
// output, which only read the envelope this leaves.
__attribute__((always_inline)) inline void Limiter::step(float p) {
    const float q = peakRing[limPos];  // scaled peak of the sample about to leave

    // 1. Look-ahead window.
    ++windowCount;
    if (windowCount > limLen || lastPeak > watchedValue()) {
        const float e = envelope;
        const float t = peakTarget;
        const float previous = lastPeak;
        windowCount = 0;
        windowStart = previous;

        if (e >= t) {
            bool renewFloor = false;
            if (quietBlocks != 0) {
                if (q > e * kQuietOutputFactor) {
                    quietBlocks = 0;
                    renewFloor = true;
                } else if (quietBlocks == kRestBlocks) {
                    renewFloor = true;
                }
            } else if (!attackFlag) {
                quietBlocks = 1;
            } else {
                watchedLevel = WatchedLevel::WindowStart;
                if (previous > p || (previous == p && e > shortHold)) quietBlocks = 1;
            }
            if (renewFloor) {
                // At rest: renew the window peak from the floor or the delayed
                // slow peak, a hair above it.
                if (attackFlag && e > windowPeak) {
                    attackFlag = false;
                    creepLimit = product(creepLimit, kCreepFactor);
                }
                const float floor = releaseFloor;
                const float delayedSlowPeak = levelRing[limPos];
                if (floor > delayedSlowPeak) {
                    windowPeak = product(floor, kRestMargin);
                    watchedLevel = WatchedLevel::Envelope;
                } else {
                    windowPeak = product(delayedSlowPeak, kRestMargin);
                    watchedLevel = WatchedLevel::WindowPeak;
                }
                if (windowPeak < 16.0f) windowPeak = quantize(windowPeak, 8.0);
            }
        }
        if (previous > windowPeak) {
            windowPeak = previous;
            if (previous >= t || t == e || e > shortHold) {
                peakTarget = previous;
                watchedLevel = WatchedLevel::WindowStart;
            }
            if (previous > e) {
                quietBlocks = 0;
                attackFlag = true;
            }
        }
        if (q > windowPeak) {
            if (q <= e) {
                watchedLevel = WatchedLevel::WindowStart;
                const float nudged = product(q, kWindowPeakNudge);
                windowPeak = nudged < e ? nudged : e;
                if (peakTarget == e) peakTarget = windowPeak;
                if (windowPeak > creepLimit) creepLimit = windowPeak;
            } else {
                attackGoal = -1.0f;
            }
        }
        if (previous > e) watchedLevel = WatchedLevel::WindowStart;
        if (e > shortHold || windowPeak > peakTarget) peakTarget = windowPeak;
    }

    // 2. Short hold.
    ++holdCount;
    if (holdCount > holdLen || p > shortHold) {
        const float held = p > holdMin ? p : holdMin;
        shortHold = p;
        holdCount = 1;
        holdLevel = (longHold > held && slowPeak >= longHold) ? longHold : held;
    }

    // 3. Long hold.
    ++longHoldCount;
    if (longHoldCount > longHoldLen || p >= longHold) {
        longHoldCount = holdCount;
        longHold = shortHold;
    }

    // 4. Envelope.
    const float t = peakTarget;
    const float e = envelope;
    if (t > e) {
        // Attack: a linear climb of about 1/(limLen + 1) of the distance per sample.
        if (t != attackGoal) {
            const float distanceStep = static_cast<float>((static_cast<double>(t) - e) * attackDiv);
            const float bound = t < kHugeTarget ? product(t, kSqrt2) : kHugeTargetBound;
            const float step = quantize(distanceStep, bound);
            if (step > attackStep || attackStep >= e) attackStep = step;
            const float minimumStep = t * kAttackStepFloorFactor;
            if (minimumStep > attackStep) attackStep = minimumStep;
            creepLimit = t;
            releaseZone = t * kReleaseZoneFactor;
            attackGoal = t;
            quietLevel = quietGate = t * kQuietFactor;
        }
        envelope = static_cast<float>(static_cast<double>(e) + attackStep);
        if (envelope >= t) {
            attackStep = static_cast<float>(attackStep * kAttackStepShrink);
            attackGoal = -1.0f;
            creepLimit = t;
            envelope = t;
        }
        quietBlocks = 0;
        attackFlag = true;
    } else if (t > q) {
        // Release toward the target, or the quiet hold's creep.
        if (q > quietGate) {
            envelope = static_cast<float>((static_cast<double>(e) - t) * releaseCoef + t);
        } else if (creepLimit > e) {
            envelope = product(e, kCreepFactor);
        }
    } else if (q < e) {
        // Release toward the output peak.
        const uint16_t next = static_cast<uint16_t>(limPos + 1 == limLen ? 0 : limPos + 1);
        if (releaseZone > e || q > peakRing[next])
            envelope = static_cast<float>((static_cast<double>(e) - q) * releaseCoef + q);
    }

    // 5. Clamp: the envelope never lies under the peak being output.
    if (q > envelope) {
        envelope = q;
        quietBlocks = 0;
        attackFlag = true;
        if (q > t) peakTarget = q;
        if (q > creepLimit) creepLimit = q;
        if (windowCount == 0 && q > windowPeak) windowPeak = q;
    }

    // 6. Store the peak, the slow programme peak and the centre samples.
    lastPeak = p;
    peakRing[limPos] = p;
    const float hold = holdLevel;
    const float slow = slowPeak;
    if (hold > slow) {
        slowPeak = static_cast<float>((static_cast<double>(slow) - hold) * levelRise + hold);
    } else if (p > levelGateActive) {
        slowPeak = static_cast<float>((static_cast<double>(slow) - hold) * levelFall + hold);
    } else {
        slowPeak = product(slow, kCreepFactor);
        if (levelHang != 0) --levelHang;
    }
    levelRing[limPos] = slowPeak;

    // 7. Advance; a wrap ends a block.
    if (limPos > limLast) {
        limPos = 0;
        block();
    } else {
        ++limPos;
    }
}

template <int channels>
__attribute__((always_inline)) inline void Limiter::frame(float p, const float* centres, float* outputs) {
    // The centre samples wait limLen frames in the sample rings.
    const uint16_t slot = limPos;
    float leaving[kLimitedChannels];
    for (int ch = 0; ch < channels; ++ch) leaving[ch] = sampleRing[ch][slot];
    step(p);
    for (int ch = 0; ch < channels; ++ch) sampleRing[ch][slot] = centres[ch];

    // 8. Output.
    const float gain = envelopeGain(envelope);
    for (int ch = 0; ch < channels; ++ch) outputs[ch] = (gain * leaving[ch]) * outScale;
}

void Limiter::block() {
    const float shortHoldAtStart = shortHold;  // F
    const float quietAtStart = quietLevel;      // G
    const float gateAtStart = levelGate;        // I
    const float slowAtStart = slowPeak;         // J
    const float holdAtStart = holdLevel;        // L

    // 1. Rest counter.
    if (quietBlocks >= 1 && quietBlocks <= kRestBlocks - 1) ++quietBlocks;

    // 2. Quiet gate.
    if (shortHoldAtStart > quietAtStart) {
        quietHang = kHangBlocks;
    } else if (quietHang != 0) {
        --quietHang;
    }
    if (quietHang == 0) {
        quietGate = -1.0f;
    } else if (floorHang > kFloorHangStep) {
        quietGate = quietAtStart;
    }

    // 3. Level gate.
    if (shortHoldAtStart > gateAtStart) {
        gateHang = kHangBlocks;
    } else if (gateHang != 0) {
        --gateHang;
    }
    if (shortHoldAtStart > slowAtStart) levelHang = static_cast<uint32_t>(limLen) * kLevelHangBlocks;
    if (gateHang != 0 && levelHang != 0) {
        levelGateActive = gateAtStart;
    } else {
        levelGateActive = -1.0f;
        refArm = true;
    }

    // 4. Smoothed hold level.
    ++blockHoldCount;
    const float smoothedHold =
        static_cast<float>((static_cast<double>(slowHold) - holdAtStart) * kSlowHoldCoef + holdAtStart);
    slowHold = smoothedHold;

    // 5. Block hold.
    if (blockHoldCount > blockHoldLen || longHold > blockHold) {
        blockHoldCount = 1;
        blockHold = longHold;
        blockFloor = product(longHold, kBlockFloorFactor);
        if (shortHoldAtStart > slowAtStart) {
            if (peakMemory * 0.25f > shortHoldAtStart) peakMemory = shortHoldAtStart + shortHoldAtStart;
            if (refArm && refHang == 0) {
                refArm = false;
                if (levelRef * 0.25f > shortHoldAtStart) levelRef = shortHoldAtStart;
            }
        }
    }

    // 6.
    if (refHang != 0) --refHang;

    // 7. Floors and gates from the block floor.
    const float blockFloorNow = blockFloor;  // O
    if (slowAtStart > blockFloorNow) {
        if (holdAtStart > slowAtStart) {
            const float gate = blockFloorNow * kLevelGateFactor;
            if (gate > gateAtStart || holdAtStart > levelRef) {
                levelGate = levelGateActive = gate;
                refHang = kRefHangBlocks;
                levelRef = holdAtStart;
            }
        }
        if (blockHold >= levelRef) {
            levelRef = blockHold;
        } else if (refHang == 0) {
            levelRef = levelRef * kLevelRefDecay;
        }
        if (blockFloorNow > releaseFloor) {
            if (smoothedHold > slowAtStart * 0.36f) {
                releaseFloor = blockFloorNow;
                floorKnee = product(blockFloorNow, kKneeFactor);
                floorHang = kFloorHangAfterRise;
                floorPending = false;
            } else {
                blockHoldCount = blockHoldLen;  // restart the block hold next block
            }
        }
    } else if (holdAtStart > slowAtStart) {
        const float gate = slowAtStart * kLevelGateFactor;
        if (gate > gateAtStart) {
            levelGate = levelGateActive = gate;
            const float reference = product(slowAtStart, kLevelRefFromSlow);
            if (reference > levelRef) levelRef = reference;
            refHang = kRefHangBlocks;
        }
    }

    // 8. Floor decay.
    if (releaseFloor > blockHold && releaseFloor > levelRing[0] && releaseFloor > ceiling) {
        if (shortHoldAtStart > levelGateActive) {
            const float goal = floorMin > holdAtStart ? floorMin : holdAtStart;
            releaseFloor = static_cast<float>((static_cast<double>(releaseFloor) - goal) * kFloorDecay + goal);
        }
        if (ceiling > releaseFloor) releaseFloor = ceiling;
        if (floorHang == 0) {
            floorHang = kFloorHangStep;
            floorPending = false;
            floorKnee = product(releaseFloor, kKneeFactor);
            if (quietAtStart > shortHoldAtStart) {
                quietHang = 0;
                quietGate = -1.0f;
            }
        } else {
            --floorHang;
            floorPending = true;
        }
    }

    // 9.
    if (floorPending && shortHoldAtStart > slowAtStart) {
        floorPending = false;
        floorKnee = product(releaseFloor, kKneeFactor);
    }

    // 10. Peak memory.
    if (blockHold >= peakMemory) {
        peakMemory = blockHold;
    } else {
        peakMemory = peakMemory * kPeakMemoryDecay;
    }

    // 11. Lower bound of the hold level, from how close the slow peak runs
    //     to the peak memory: 2^(-1/32), 2^(-1/8), 2^(-1/4) or 2^(-1/2).
    if (holdAtStart > floorKnee) {
        const float memory = peakMemory;
        const float previousMin = holdMin;
        double factor;
        if (slowAtStart > memory * 0.95307f) {
            factor = 0.9785720620877001;
        } else if (slowAtStart > memory * 0.919945f) {
            factor = 0.9170040432046712;
        } else if (slowAtStart > memory * 0.8684975f) {
            factor = 0.8408964152537145;
        } else {
            factor = 0.7071067811865476;
        }
        holdMin = product(holdAtStart, factor);
        if (floorKnee > holdMin) {
            holdMin = product(previousMin, kHoldMinStep);
            if (floorKnee > holdMin) holdMin = floorKnee;
        }
    }
}

void Limiter::scaleDelayed(int32_t n, uint16_t firstSlot, const float* gain, const float* const* centres,
                           float* const* outputs, int channels) {
    // Frame i outputs the centre sample of frame i - limLen: from the ring
    // for the first limLen frames (slots firstSlot, firstSlot + 1, ...,
    // wrapping at limLen), then from this pass's own centres.
    const int32_t len = limLen;
    const int32_t fromRing = n < len ? n : len;
    const int32_t beforeWrap = len - firstSlot < fromRing ? len - firstSlot : fromRing;
    for (int ch = 0; ch < channels; ++ch) {
        float* ring = sampleRing[ch].data();
        const float* centre = centres[ch];
        float* out = outputs[ch];
        for (int32_t i = 0; i < beforeWrap; ++i) out[i] = (gain[i] * ring[firstSlot + i]) * outScale;
        for (int32_t i = beforeWrap; i < fromRing; ++i) out[i] = (gain[i] * ring[i - beforeWrap]) * outScale;
        for (int32_t i = fromRing; i < n; ++i) out[i] = (gain[i] * centre[i - len]) * outScale;
        // The ring keeps the last limLen centres, each in the slot its frame
        // had: from the slot of frame `kept` on, in at most two runs.
        const int32_t kept = n > len ? n - len : 0;
        const int32_t slot = (firstSlot + kept) % len;
        const int32_t run = n - kept < len - slot ? n - kept : len - slot;
        std::memcpy(ring + slot, centre + kept, sizeof(float) * run);
        std::memcpy(ring, centre + kept + run, sizeof(float) * (n - kept - run));
    }
}

// ------------------------------------------- the limiter stage of the loops

template <int channels>
__attribute__((always_inline)) inline void LevelerCore::limitFrame(float p, const float* centres, float* outputs) {
    limiter.frame<channels>(p, centres, outputs);
    meters.noteEnvelope(limiter.envelope);
}

void LevelerCore::limitSample(float p, const float* centres, float* outputs, int channels) {
    switch (channels) {
        case 1: limitFrame<1>(p, centres, outputs); break;
        case 2: limitFrame<2>(p, centres, outputs); break;
        default: limitFrame<kLimitedChannels>(p, centres, outputs); break;
    }
}

__attribute__((always_inline)) inline void LevelerCore::limitLfeFrame(float centre, float peak, float* output) {
    const float scaled = limiterPeak(peak, &centre, 1, Recovery::LimiterOnly);
    limitFrame<1>(scaled, &centre, output);
}

void LevelerCore::limitLfe(const float* lfeCentre, const float* lfePeak, float* lfeOut, int32_t count) {
    for (int32_t i = 0; i < count; ++i) limitLfeFrame(lfeCentre[i], lfePeak[i], &lfeOut[i]);
}

// The LFE engine's step for frame i of a pass: the envelope now, the sample
// ring and the output in scaleDelayed.
__attribute__((always_inline)) inline void LevelerCore::limitLfeEnvelope(float centre, float peak, int32_t i) {
    limiter.step(limiterPeak(peak, &centre, 1, Recovery::LimiterOnly));
    meters.noteEnvelope(limiter.envelope);
    pass.limitedCentre[i] = centre;
    pass.envelope[i] = envelopeGain(limiter.envelope);
}

template <int channels>
void LevelerCore::limitPassWith(int32_t n, const float* const* centres, float* const* outputs,
                                LevelerCore* lfeEngine, const float* lfeCentre, const float* lfePeak,
                                float* lfeOut) {
    // Only the envelope walks frame by frame; the samples follow it.
    const uint16_t firstSlot = limiter.limPos;
    const uint16_t lfeFirstSlot = lfeEngine != nullptr ? lfeEngine->limiter.limPos : 0;
    if (channels < kLimitedChannels) {
        // Few channels: their samples ride along in the bubbles of the
        // envelope's recurrence.
        for (int32_t i = 0; i < n; ++i) {
            float c[channels], out[channels];
            for (int ch = 0; ch < channels; ++ch) c[ch] = centres[ch][i];
            limitFrame<channels>(pass.peak[i] * kScaledFullScale, c, out);
            for (int ch = 0; ch < channels; ++ch) outputs[ch][i] = out[ch];
        }
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        limiter.step(pass.peak[i] * kScaledFullScale);
        meters.noteEnvelope(limiter.envelope);
        pass.envelope[i] = envelopeGain(limiter.envelope);
        // The LFE engine's envelope is a recurrence of its own: stepping it
        // here lets it overlap with the main engine's.
        if (lfeEngine != nullptr) lfeEngine->limitLfeEnvelope(lfeCentre[i], lfePeak[i], i);
    }
    limiter.scaleDelayed(n, firstSlot, pass.envelope, centres, outputs, channels);
    if (lfeEngine != nullptr) {
        const float* lfeCentres[1] = {lfeEngine->pass.limitedCentre};
        lfeEngine->limiter.scaleDelayed(n, lfeFirstSlot, lfeEngine->pass.envelope, lfeCentres, &lfeOut, 1);
    }
}

void LevelerCore::limitPass(int32_t n, const float* const* centres, float* const* outputs, int channels,
                            LevelerCore* lfeEngine, const float* lfeCentre, const float* lfePeak,
                            float* lfeOut) {
    switch (channels) {
        case 1: limitPassWith<1>(n, centres, outputs, nullptr, nullptr, nullptr, nullptr); break;
        case 2: limitPassWith<2>(n, centres, outputs, nullptr, nullptr, nullptr, nullptr); break;
        default:
            if (lfeEngine != nullptr)
                limitPassWith<kLimitedChannels>(n, centres, outputs, lfeEngine, lfeCentre, lfePeak, lfeOut);
            else
                limitPassWith<kLimitedChannels>(n, centres, outputs, nullptr, nullptr, nullptr, nullptr);
            break;
    }
}

double LevelerCore::deepestReductionDb() const {
    const float rest = product(limiter.ceiling, kRestMargin);
    const float deepest = meters.deepestEnvelope;
    if (!(deepest > rest)) return 0.0;
    return 20.0 * std::log10(static_cast<double>(deepest) / static_cast<double>(rest));
}
