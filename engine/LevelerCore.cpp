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

// The leveler's look-ahead and the detector's gap hold, in seconds.
constexpr double kLevelerLookaheadS = 0.034;
constexpr double kGapHoldS = 0.12;

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
    // The stage structs start at their documented initial values; the steps
    // below set what the defaults derive.
    // 1. Limiter and true-peak fields: a ceiling of 0 dBTP on a fresh
    //    limiter, with placeholder rate coefficients until the first rate
    //    set-up.
    limiter.setCeiling(0.0f);
    limiter.restart();

    // 2.-6. Target -20 LUFS, 0 dBTP, freeze -40 LUFS, input -20 LUFS.
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
    gainLaw.targetLevel = lufs + kLoudnessOffsetLu;
    gainLaw.targetAmplitude = quantize(orvanta::exp(static_cast<double>(gainLaw.targetLevel) * kLn10Over20), 1.0);
    updateGainLaw();
}

void LevelerCore::setTruePeak(float dbtp) {
    if (!std::isfinite(dbtp)) return;  // a non-finite ceiling would poison the limiter
    limiter.setCeiling(dbtp);
}

void LevelerCore::setMaxGain(float db) {
    if (!std::isfinite(db)) return;  // a non-finite setting would poison the audio
    gainLaw.maxGain = quantize(orvanta::exp(static_cast<double>(db) * kLn10Over20), 16.0);
    updateGainLaw();
}

void LevelerCore::setInputLevel(float lufs) {
    if (!std::isfinite(lufs)) return;  // a non-finite setting would poison the audio
    gainLaw.inputLevel = lufs + kLoudnessOffsetLu;
    const double amplitude = orvanta::exp(static_cast<double>(gainLaw.inputLevel) * kLn10Over20);
    gainLaw.inputPower = static_cast<float>(amplitude * amplitude);
    gainLaw.inputAmplitudeInverse = quantize(1.0 / amplitude, 1.0);
    updateGainLaw();
}

void LevelerCore::setFreezeLevel(float lufs) {
    if (!std::isfinite(lufs)) return;  // a non-finite setting would poison the audio
    DetectorSettings& s = detector.settings;
    s.freezeLevel = lufs;
    // Per-channel share of the freeze level's power: share x 10^((L + 0.691)/10).
    const float powerExponent = 2.0f * (lufs + kLoudnessOffsetLu);
    s.freezeThreshold =
        static_cast<float>(s.channelShare * orvanta::exp(static_cast<double>(powerExponent) * kLn10Over20));
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
    gainLaw.correctionHigh = correctionFraction(percent);
    updateMixMode();
}

void LevelerCore::setCorrectionLow(float percent) {
    if (std::isnan(percent)) return;
    gainLaw.correctionLow = correctionFraction(percent);
    updateMixMode();
}

void LevelerCore::setMixMode(int mode) {
    if (mode == gainLaw.mixMode) return;
    gainLaw.mixMode = static_cast<int8_t>(mode);
    updateMixMode();
}

void LevelerCore::setLfeGain(float db) {
    if (!std::isfinite(db)) return;  // a non-finite setting would poison the audio
    gainLaw.lfeGain = quantize(orvanta::exp(static_cast<double>(db) * kLn10Over20), 16.0);
}

void LevelerCore::setChannelShare(float share) {
    if (!std::isfinite(share)) return;  // a non-finite setting would poison the audio
    detector.settings.channelShare = share;
    setFreezeLevel(detector.settings.freezeLevel);
    initDetector();
}

void LevelerCore::updateMixMode() {
    gainLaw.selectLaws();
    updateGainLaw();
}

void LevelerCore::updateGainLaw() {
    gainLaw.deriveCoefficients();
    initDetector();
}

void LevelerCore::initDetector() {
    if (!limiter.fresh()) return;  // only a fresh engine takes start levels
    detector.state.start(gainLaw.startPower(detector.settings.channelShare), sampleRate);
}

void LevelerCore::startDetectorAt(float lufs) {
    if (!limiter.fresh() || !std::isfinite(lufs)) return;
    // As in a pause of that programme: the held level at the channel's share
    // of its power 10^((L + 0.691)/10), the fast and slow levels down at
    // silence, so the freeze holds the gain until the first sound instead of
    // following room tone through the fast level's gate. The calibration
    // starts as usual once the programme is heard.
    const double power = orvanta::exp(2.0 * static_cast<double>(lufs + kLoudnessOffsetLu) * kLn10Over20);
    const float start = std::max(kTinyLevel, static_cast<float>(power * detector.settings.channelShare));
    for (DetectorChannel& channel : detector.state.channel) {
        channel.heldPower = start;
        channel.fastPower = channel.slowPower = kTinyLevel;
    }
}

// ------------------------------------------------------- rate and buffers

void LevelerCore::setSampleRate(float hz) {
    const float rate = clampSampleRate(hz);
    if (rate == sampleRate) return;
    sampleRate = rate;
    const double fs = rate;

    limiter.setRate(fs);
    DetectorSettings& s = detector.settings;
    s.gapHoldLength = lengthFromSeconds(fs, kGapHoldS);
    lookahead.setLength(lengthFromSeconds(fs, kLevelerLookaheadS));
    s.coef100ms = smoothingCoefficient(fs, 0.1);
    s.coef500ms = smoothingCoefficient(fs, 0.5);
    s.coef800ms = smoothingCoefficient(fs, 0.8);
    s.coef8s = smoothingCoefficient(fs, 8.0);

    resizeBuffers();
    s.designKWeighting(sampleRate);
}

void LevelerCore::reset() {
    limiter.restart();
    lookahead.index = 0;
    limiter.limPos = 0;
    truePeak.write = 0;
    resizeBuffers();
}

void LevelerCore::resizeBuffers() {
    limiter.refillRings();
    truePeak.clear();
    lookahead.refill();
    clearSignalState();
}

// Also run by the overflow recovery while processing: refills in place.
void LevelerCore::clearSignalState() {
    lookahead.clear();
    for (DetectorChannel& c : detector.state.channel) {
        c.gapCount = 0;
        c.highPassState1 = c.highPassState2 = 0.0f;
        c.shelfState1 = c.shelfState2 = 0.0f;
    }
    initDetector();
}

uint32_t LevelerCore::latency() const {
    return static_cast<uint32_t>(lookahead.length) + limiter.limLen + TruePeakEstimator::kCentreDelay;
}
