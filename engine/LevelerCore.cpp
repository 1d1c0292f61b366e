// LevelerCore set-up: construction defaults, parameter setters, sample-rate
// derivation, reset and the buffer refills.
#include "LevelerCore.h"

#include <algorithm>
#include <cmath>

#include "Math.h"
#include "Numerics.h"

using namespace orvanta;

namespace {

constexpr float kMinRateHz = 8000.0f;
constexpr float kMaxRateHz = 384000.0f;
constexpr float kFallbackRateHz = 48000.0f;  // what a host's nonsense rate (< 10 Hz) becomes
constexpr float kNonsenseRateHz = 10.0f;

// Look-ahead and hold times of the limiter and the leveler, in seconds.
constexpr double kLimiterLookaheadS = 0.00125;
constexpr double kShortHoldS = 0.00205;
constexpr double kGapHoldS = 0.12;
constexpr double kLevelerLookaheadS = 0.034;

// Limiter time constants, as "the distance shrinks to 1 % after fs / N samples".
constexpr double kReleasePer1Percent = 100.65;
constexpr double kLevelFallPer1Percent = 0.70525;
constexpr double kLevelRisePer1Percent = 7.0525;

// The estimator's centre tap lies 6 samples behind the newest sample.
constexpr uint32_t kTruePeakCentreDelay = 6;

float clampSampleRate(float hz) {
    if (std::isnan(hz)) return kFallbackRateHz;
    if (hz < kMinRateHz) return hz < kNonsenseRateHz ? kFallbackRateHz : kMinRateHz;
    if (hz > kMaxRateHz) return kMaxRateHz;
    return hz;
}

double smoothingCoefficient(double rate, double seconds) {
    return quantize(orvanta::exp(-1.0 / (rate * seconds)), 1.0);
}

}  // namespace

LevelerCore::LevelerCore() {
    // Every plain field starts at zero (lengths, positions, counters, mode,
    // flags, filter memories); the steps below set what is not zero.
    ceiling = releaseFloor = floorKnee = holdMin = floorMin = blockFloor = 0.0f;
    outScale = 0.0f;
    shelfA1 = shelfA2 = shelfB0 = shelfB1 = shelfB2 = 0.0f;
    highPassA1 = highPassA2 = 0.0f;
    for (int d = 0; d < kDetectorChannels; ++d) {
        shelfState1[d] = shelfState2[d] = highPassState1[d] = highPassState2[d] = 0.0f;
        fastPower[d] = heldPower[d] = slowPower[d] = kPower[d] = 0.0f;
        calibrationTarget[d] = calibration[d] = 0.0f;
        startupCount[d] = 0;
        gapCount[d] = 0;
    }
    targetAmplitude = 0.0;
    targetLevel = 0.0f;
    highLogOffset = lowLogOffset = highLogSlope = lowLogSlope = 0.0;
    antiDenormal = kTinyLevel;
    gapHoldLength = lookaheadLength = lookaheadLast = lookaheadIndex = 0;
    mixMode = 0;
    highUsesLogLaw = lowUsesLogLaw = staticGainMode = 0;
    limLen = limLast = windowCount = holdLen = holdCount = longHoldLen = longHoldCount = 0;
    blockHoldCount = 0;
    limPos = 0;
    tpWrite = tpCentre = 0;

    // 1. Limiter and true-peak fields: a ceiling of 0 dBTP on a fresh limiter,
    //    with placeholder rate coefficients until the first rate setup.
    blockHoldLen = 200;
    attackDiv = 0.0;
    releaseCoef = levelRise = levelFall = 1.0;
    setTruePeak(0.0f);
    restartLimiter();

    // 2. Detector and gain-law defaults.
    sampleRate = 0.0f;
    coef100ms = coef500ms = coef800ms = coef8s = 1.0;
    maxGain = 1.0f;
    freezeThreshold = 0.0f;
    freezeLevel = -40.0f;
    inputLevel = 0.0f;
    inputAmplitudeInverse = inputPower = 1.0;
    correctionHigh = correctionLow = 1.0;
    highLinearScale = lowLinearScale = 1.0;
    highLinearOffset = lowLinearOffset = 1.0;
    highLogOffset = lowLogOffset = highLogSlope = lowLogSlope = 1.0;
    staticGain = 1.0f;
    lfeGain = 1.0f;
    channelShare = 0.5f;
    levelerGain = 1.0f;

    // 3.-6. Target -20 LUFS, 0 dBTP, freeze -40 LUFS, input -20 LUFS.
    setTargetLevel(-20.0f);
    setTruePeak(0.0f);
    setFreezeLevel(-40.0f);
    setInputLevel(-20.0f);

    // 7.
    setSampleRate(48000.0f);
}

// ---------------------------------------------------------------- setters

void LevelerCore::setTargetLevel(float lufs) {
    if (!std::isfinite(lufs)) return;  // a non-finite setting would poison the audio
    targetLevel = lufs + kLoudnessOffsetLu;
    targetAmplitude = quantize(orvanta::exp(static_cast<double>(targetLevel) * kLn10Over20), 1.0);
    updateGainLaw();
}

void LevelerCore::setMaxGain(float db) {
    if (!std::isfinite(db)) return;  // a non-finite setting would poison the audio
    maxGain = quantize(orvanta::exp(static_cast<double>(db) * kLn10Over20), 16.0);
    updateGainLaw();
}

void LevelerCore::setInputLevel(float lufs) {
    if (!std::isfinite(lufs)) return;  // a non-finite setting would poison the audio
    inputLevel = lufs + kLoudnessOffsetLu;
    const double amplitude = orvanta::exp(static_cast<double>(inputLevel) * kLn10Over20);
    inputPower = static_cast<float>(amplitude * amplitude);
    inputAmplitudeInverse = quantize(1.0 / amplitude, 1.0);
    updateGainLaw();
}

void LevelerCore::setFreezeLevel(float lufs) {
    if (!std::isfinite(lufs)) return;  // a non-finite setting would poison the audio
    freezeLevel = lufs;
    // Per-channel share of the freeze level's power: share x 10^((L + 0.691)/10).
    const float powerExponent = 2.0f * (lufs + kLoudnessOffsetLu);
    freezeThreshold = static_cast<float>(
        channelShare * orvanta::exp(static_cast<double>(powerExponent) * kLn10Over20));
}

namespace {
// Percent to a fraction in 0..1 at the spacing of 2^-19.
double correctionFraction(float percent) {
    const float fraction = quantize(static_cast<double>(percent * 0.01f), 16.0);
    if (!(fraction <= 1.0f)) return 1.0;  // above 100 % (or not a number): full correction
    if (fraction < 0.0f) return 0.0;
    return fraction;
}
}  // namespace

void LevelerCore::setCorrectionHigh(float percent) {
    if (std::isnan(percent)) return;
    correctionHigh = correctionFraction(percent);
    updateMixMode();
}

void LevelerCore::setCorrectionLow(float percent) {
    if (std::isnan(percent)) return;
    correctionLow = correctionFraction(percent);
    updateMixMode();
}

void LevelerCore::setMixMode(int mode) {
    if (mode == mixMode) return;
    mixMode = static_cast<int8_t>(mode);
    updateMixMode();
}

void LevelerCore::setLfeGain(float db) {
    if (!std::isfinite(db)) return;  // a non-finite setting would poison the audio
    lfeGain = quantize(orvanta::exp(static_cast<double>(db) * kLn10Over20), 16.0);
}

void LevelerCore::setChannelShare(float share) {
    if (!std::isfinite(share)) return;  // a non-finite setting would poison the audio
    channelShare = share;
    setFreezeLevel(freezeLevel);
    initDetector();
}

// ------------------------------------------------------- rate and buffers

void LevelerCore::setSampleRate(float hz) {
    const float rate = clampSampleRate(hz);
    if (rate == sampleRate) return;
    sampleRate = rate;
    const double fs = rate;

    limLen = lengthFromSeconds(fs, kLimiterLookaheadS);
    limLast = static_cast<uint16_t>(limLen - 2);
    holdLen = lengthFromSeconds(fs, kShortHoldS);
    longHoldLen = static_cast<uint16_t>(6 * holdLen);
    attackDiv = quantize(1.0 / (limLen + 1), 1.0);
    releaseCoef = quantize(orvanta::pow(0.01, kReleasePer1Percent / fs), 1.0);
    levelFall = quantize(orvanta::pow(0.01, kLevelFallPer1Percent / fs), 1.0);
    levelRise = quantize(orvanta::pow(0.01, kLevelRisePer1Percent / fs), 16.0);
    gapHoldLength = lengthFromSeconds(fs, kGapHoldS);
    lookaheadLength = lengthFromSeconds(fs, kLevelerLookaheadS);
    lookaheadLast = static_cast<uint16_t>(lookaheadLength - 2);
    coef100ms = smoothingCoefficient(fs, 0.1);
    coef500ms = smoothingCoefficient(fs, 0.5);
    coef800ms = smoothingCoefficient(fs, 0.8);
    coef8s = smoothingCoefficient(fs, 8.0);
    limPos = 0;
    lookaheadIndex = 0;

    resizeBuffers();
    designKWeighting(sampleRate);
}

void LevelerCore::reset() {
    restartLimiter();
    lookaheadIndex = 0;
    limPos = 0;
    tpWrite = 0;
    resizeBuffers();
}

void LevelerCore::resizeBuffers() {
    levelRing.assign(limLen, 0.0f);
    peakRing.assign(limLen, 0.0f);
    for (auto& ring : sampleRing) ring.assign(limLen, 0.0f);
    for (auto& ring : tpRing) ring.assign(kTruePeakTaps, 0.0f);
    for (auto& line : lookaheadDelay) line.assign(lookaheadLength, 0.0f);
    clearSignalState();
}

// Also run by the overflow recovery while processing: refills in place, the
// lines already have their length.
void LevelerCore::clearSignalState() {
    for (auto& line : lookaheadDelay) std::fill(line.begin(), line.end(), 0.0f);
    for (int d = 0; d < kDetectorChannels; ++d) {
        gapCount[d] = 0;
        highPassState1[d] = highPassState2[d] = 0.0f;
        shelfState1[d] = shelfState2[d] = 0.0f;
    }
    initDetector();
}

bool LevelerCore::processorHasAvx2() {
    __builtin_cpu_init();  // engines may be built before the run-time's own initialisers
    return __builtin_cpu_supports("avx2");
}

uint32_t LevelerCore::latency() const {
    return static_cast<uint32_t>(lookaheadLength) + limLen + kTruePeakCentreDelay;
}
