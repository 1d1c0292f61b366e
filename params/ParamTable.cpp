#include "ParamTable.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// LADSPA range-hint bits (the values of ladspa.h; the front end's tests check
// them against the header, so this file needs no LADSPA include).
constexpr int32_t kHintBoundedBelow = 0x1;
constexpr int32_t kHintBoundedAbove = 0x2;
constexpr int32_t kHintInteger = 0x20;
constexpr int32_t kHintDefaultMinimum = 0x40;
constexpr int32_t kHintDefaultLow = 0x80;     // 0.75 lower + 0.25 upper
constexpr int32_t kHintDefaultMiddle = 0xC0;  // mean of the bounds
constexpr int32_t kHintDefaultMaximum = 0x140;

constexpr int32_t kBounded = kHintBoundedBelow | kHintBoundedAbove;

// Every bound, default and mapping constant is exact in single precision.
// Each default equals what the hint bits select from the bounds, so LADSPA
// hosts that start from the hints and the VST effect start alike.
constexpr float kStepEngineUnits = 0.1f;  // one step of the VST mapping

constexpr int32_t kModeCount = 4;
constexpr const char* kModeTexts[kModeCount] = {"0 LLiHLi", "1 LLgHLi", "2 LLiHLg", "3 LLgHLg"};

// The mode an engine value stands for, with every float defined: NaN and
// negative values give 0, values of 3 and above give 3.
int32_t modeFromEngineValue(float value) {
    if (!(value >= 0.0f)) return 0;
    if (value >= static_cast<float>(kModeCount - 1)) return kModeCount - 1;
    return static_cast<int32_t>(value);
}

}  // namespace

const ParamInfo paramTable[kParamCount] = {
    // vstName, vstLabel, portName, lower, upper, hints, default, normalised default, A, B
    {"Target Level", "LUFS", "Target Level (LUFS)", -30.0f, -10.0f,
     kBounded | kHintDefaultMiddle, -20.0f, 0.5f, 200.5f, 300.0f},
    {"True Peak", "dBTP", "True Peak (dBTP)", -5.0f, 0.0f,
     kBounded | kHintDefaultMaximum, 0.0f, 1.0f, 50.5f, 50.0f},
    {"Max Gain", "dB", "Max Gain (dB)", -10.0f, 30.0f,
     kBounded | kHintDefaultLow, 0.0f, 0.25f, 400.5f, 100.0f},
    {"Freeze Level", "LUFS", "Freeze Level (LUFS)", -70.0f, -10.0f,
     kBounded | kHintDefaultMiddle, -40.0f, 0.5f, 600.5f, 700.0f},
    // The upper bound is negative zero: the mean of the bounds is then -20.0
    // either way, and hosts that print the bound show "-0".
    {"Input Level", "LUFS", "Input Level (LUFS)", -40.0f, -0.0f,
     kBounded | kHintDefaultMiddle, -20.0f, 0.5f, 400.5f, 400.0f},
    {"Correction High", "%", "Correction High (%)", 0.0f, 100.0f,
     kBounded | kHintDefaultMaximum, 100.0f, 1.0f, 1000.5f, 0.0f},
    {"Correction Low", "%", "Correction Low (%)", 0.0f, 100.0f,
     kBounded | kHintDefaultMaximum, 100.0f, 1.0f, 1000.5f, 0.0f},
    {"Corr Mix Mode", "", "Corr Mix Mode", 0.0f, 3.0f,
     kBounded | kHintInteger | kHintDefaultMinimum, 0.0f, 0.0f, 0.0f, 0.0f},
    {"LFE Gain", "dB", "LFE Gain (dB)", -10.0f, 30.0f,
     kBounded | kHintDefaultLow, 0.0f, 0.25f, 400.5f, 100.0f},
};

int32_t paramCount(Layout layout) {
    return layout == Layout::Surround51 ? kParamCount : kParamCount - 1;
}

float channelShare(Layout layout) {
    return layout == Layout::Surround51 ? 0.2f : 0.5f;
}

bool isValidParam(ParamId id) {
    const auto index = static_cast<int32_t>(id);
    return index >= 0 && index < kParamCount;
}

float toEngineValue(ParamId id, float normalised) {
    if (!isValidParam(id)) return 0.0f;
    if (id == ParamId::CorrMixMode) return static_cast<float>(normalisedToMode(normalised));
    const ParamInfo& row = paramTable[static_cast<int32_t>(id)];
    // Each step rounds to single precision: the product, the difference, the
    // floor (std::floor of a float stays float, so NaN and the infinities
    // pass through without any integer conversion), and the scaling.
    const float scaled = normalised * row.mapA;
    const float shifted = scaled - row.mapB;
    const float steps = std::floor(shifted);
    return steps * kStepEngineUnits;
}

int32_t normalisedToMode(float normalised) {
    const float quarters = normalised * static_cast<float>(kModeCount);
    // Compare before converting: only values in [0, 3) are truncated.
    return modeFromEngineValue(quarters);
}

float modeToNormalised(int32_t mode) {
    return static_cast<float>(static_cast<double>(mode) * (1.0 / 3.0));
}

int32_t portValueToMode(float portValue) {
    // In double precision the sum is exact for every float that still has a
    // fractional part, so 0.49999997 selects 0 and 2.5 selects 3.
    const double rounded = static_cast<double>(portValue) + 0.5;
    if (std::isnan(rounded)) return 0;
    if (rounded >= 2147483648.0) return INT32_MAX;
    if (rounded <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(rounded);
}

const char* mixModeText(int32_t mode) {
    if (mode < 0 || mode >= kModeCount) return "";
    return kModeTexts[mode];
}

namespace {
// Fills the whole display text: at most kDisplayTextChars characters of
// `source`, then zeros to the end. Hosts may copy or compare the whole
// buffer, so every byte of it is written, none from memory nobody set.
void writeDisplayText(char* text, const char* source) {
    int32_t i = 0;
    for (; i < kDisplayTextChars && source[i] != '\0'; ++i) text[i] = source[i];
    for (; i < kDisplayTextBytes; ++i) text[i] = '\0';
}
}  // namespace

void formatValue(ParamId id, float engineValue, char* text) {
    if (text == nullptr) return;
    if (!isValidParam(id)) {
        writeDisplayText(text, "");
        return;
    }
    if (id == ParamId::CorrMixMode) {
        writeDisplayText(text, mixModeText(modeFromEngineValue(engineValue)));
        return;
    }
    // "%.1f" of a float can run to 47 characters; format in full, keep 8.
    char full[64];
    std::snprintf(full, sizeof full, "%.1f", static_cast<double>(engineValue));
    writeDisplayText(text, full);
}

float clampToRange(ParamId id, float engineValue) {
    if (!isValidParam(id)) return engineValue;
    const ParamInfo& row = paramTable[static_cast<int32_t>(id)];
    // Written so that NaN fails both tests and passes through.
    if (engineValue < row.lower) return row.lower;
    if (engineValue > row.upper) return row.upper;
    return engineValue;
}

int32_t clampMode(int32_t mode) {
    if (mode < 0) return 0;
    if (mode > kModeCount - 1) return kModeCount - 1;
    return mode;
}

void applyEngineValue(LevelerCore& engine, LevelerCore* lfeEngine, ParamId id, float value) {
    switch (id) {
        case ParamId::TargetLevel: engine.setTargetLevel(value); break;
        case ParamId::TruePeak:
            engine.setTruePeak(value);
            if (lfeEngine != nullptr) lfeEngine->setTruePeak(value);
            break;
        case ParamId::MaxGain: engine.setMaxGain(value); break;
        case ParamId::FreezeLevel: engine.setFreezeLevel(value); break;
        case ParamId::InputLevel: engine.setInputLevel(value); break;
        case ParamId::CorrectionHigh: engine.setCorrectionHigh(value); break;
        case ParamId::CorrectionLow: engine.setCorrectionLow(value); break;
        case ParamId::CorrMixMode: engine.setMixMode(modeFromEngineValue(value)); break;
        case ParamId::LfeGain: engine.setLfeGain(value); break;
    }
}

void applyInitialParameters(LevelerCore& engine, Layout layout) {
    engine.setChannelShare(channelShare(layout));
    const int32_t count = paramCount(layout);
    for (int32_t index = 0; index < count; ++index) {
        applyEngineValue(engine, nullptr, static_cast<ParamId>(index),
                         paramTable[index].engineDefault);
    }
}
