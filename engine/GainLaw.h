// The gain law: the programme power (the detector channels' powers summed
// as the layout weighs them) becomes the leveler gain of the frame.
//
// Levels in LUFS are stored with +0.691, so a level L corresponds to the
// summed channel power 10^((L + 0.691)/10). Gains are linear amplitudes.
// Two laws per branch (programme above or at/below the input level):
//   linear: gain = scale / sqrt(P) + offset
//   log:    gain = exp(ln(P) x slope + offset)
// both limited by maxGain from above.
#pragma once

#include <cstdint>

namespace orvanta {

struct GainLaw {
    // ---- settings, as the setters store them
    float targetLevel = 0.0f;              // "Target Level" + 0.691
    double targetAmplitude = 0.0;          // 10^(targetLevel/20), quantised (amplitude)
    float inputLevel = 0.0f;               // "Input Level" + 0.691
    double inputAmplitudeInverse = 1.0;    // 10^(-inputLevel/20), quantised (amplitude)
    float inputPower = 1.0f;               // 10^(inputLevel/10) (power): above it, the high branch
    float maxGain = 1.0f;                  // "Max Gain", linear
    double correctionHigh = 1.0;           // "Correction High" as a fraction 0..1
    double correctionLow = 1.0;            // "Correction Low" as a fraction 0..1
    int8_t mixMode = 0;                    // "Corr Mix Mode" 0..3: which branch takes the log law
    float lfeGain = 1.0f;                  // "LFE Gain" (5.1), linear; the LFE is never levelled

    // ---- the law selected (selectLaws), and its coefficients (deriveCoefficients)
    uint8_t highUsesLogLaw = 0, lowUsesLogLaw = 0;
    // Both corrections zero: every frame gets staticGain, the detector stands still.
    uint8_t staticGainMode = 0;
    // Coefficients of a law that is not selected keep their old values.
    // All are single-precision values that enter double-precision
    // arithmetic. Those rounded by a plain conversion (the log law's, and
    // inputPower) are held as floats and widened where they are used: GCC
    // 12 drops the rounding of neighbouring `double = (float)x` stores that
    // it pairs into one vector store.
    double highLinearScale = 1.0, highLinearOffset = 1.0;
    double lowLinearScale = 1.0, lowLinearOffset = 1.0;
    float highLogOffset = 1.0f, highLogSlope = 1.0f;
    float lowLogOffset = 1.0f, lowLogSlope = 1.0f;
    float staticGain = 1.0f;               // target - input, at most maxGain (amplitude)

    // ---- running
    float levelerGain = 1.0f;              // the gain of the current frame (amplitude)
    // The last programme power the log law computed in a pass, and its gain:
    // while the detector stands still the power repeats exactly. -1: none
    // (powers are never negative).
    double lastLawPower = -1.0;
    float lastLawGain = 1.0f;

    // The law flags from mixMode and the corrections.
    void selectLaws();
    // The selected laws' coefficients and staticGain from the settings.
    void deriveCoefficients();
    // The leveler gain for a programme power.
    float gainFor(double programmePower) const;
    // The detector's start level: the power of one channel (of share
    // `channelShare`) at which the low branch gives exactly maxGain.
    float startPower(float channelShare) const;
};

}  // namespace orvanta
