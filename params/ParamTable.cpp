#include "ParamTable.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

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
    // vstName, vstLabel, portName, symbol, optionName, unit, steps,
    // lower, upper, hints, default, normalised default, A, B
    {"Target Level", "LUFS", "Target Level (LUFS)", "target_level", "target", ParamUnit::Lufs, 0,
     -30.0f, -10.0f, kBounded | kHintDefaultMiddle, -20.0f, 0.5f, 200.5f, 300.0f},
    {"True Peak", "dBTP", "True Peak (dBTP)", "true_peak", "true-peak", ParamUnit::Dbtp, 0,
     -5.0f, 0.0f, kBounded | kHintDefaultMaximum, 0.0f, 1.0f, 50.5f, 50.0f},
    {"Max Gain", "dB", "Max Gain (dB)", "max_gain", "max-gain", ParamUnit::Db, 0,
     -10.0f, 30.0f, kBounded | kHintDefaultLow, 0.0f, 0.25f, 400.5f, 100.0f},
    {"Freeze Level", "LUFS", "Freeze Level (LUFS)", "freeze_level", "freeze", ParamUnit::Lufs, 0,
     -70.0f, -10.0f, kBounded | kHintDefaultMiddle, -40.0f, 0.5f, 600.5f, 700.0f},
    // The upper bound is negative zero: the mean of the bounds is then -20.0
    // either way, and hosts that print the bound show "-0".
    {"Input Level", "LUFS", "Input Level (LUFS)", "input_level", "input-level", ParamUnit::Lufs, 0,
     -40.0f, -0.0f, kBounded | kHintDefaultMiddle, -20.0f, 0.5f, 400.5f, 400.0f},
    {"Correction High", "%", "Correction High (%)", "correction_high", "correction-high",
     ParamUnit::Percent, 0, 0.0f, 100.0f, kBounded | kHintDefaultMaximum, 100.0f, 1.0f, 1000.5f, 0.0f},
    {"Correction Low", "%", "Correction Low (%)", "correction_low", "correction-low",
     ParamUnit::Percent, 0, 0.0f, 100.0f, kBounded | kHintDefaultMaximum, 100.0f, 1.0f, 1000.5f, 0.0f},
    {"Corr Mix Mode", "", "Corr Mix Mode", "corr_mix_mode", "mix-mode", ParamUnit::Unitless, kModeCount - 1,
     0.0f, 3.0f, kBounded | kHintInteger | kHintDefaultMinimum, 0.0f, 0.0f, 0.0f, 0.0f},
    {"LFE Gain", "dB", "LFE Gain (dB)", "lfe_gain", "lfe-gain", ParamUnit::Db, 0,
     -10.0f, 30.0f, kBounded | kHintDefaultLow, 0.0f, 0.25f, 400.5f, 100.0f},
};

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

float toNormalised(ParamId id, float plain) {
    if (!isValidParam(id) || std::isnan(plain)) return 0.0f;
    if (id == ParamId::CorrMixMode) return modeToNormalised(clampMode(portValueToMode(plain)));
    const ParamInfo& row = paramTable[static_cast<int32_t>(id)];
    // The grid value of step k is floor(v * A - B) = k - B; the middle of its
    // share of 0..1, (k + 0.5) / A, lies half a step away from both of its
    // edges, far more than any rounding of v * A. The ends take 0 and 1.
    const double lastStep = static_cast<double>(row.mapA) - 0.5;
    const double steps = (static_cast<double>(clampToRange(id, plain)) - row.lower) / kStepEngineUnits;
    const double step = std::floor(steps + 0.5);
    if (step <= 0.0) return 0.0f;
    if (step >= lastStep) return 1.0f;
    return static_cast<float>((step + 0.5) / row.mapA);
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

namespace {

const char* skipSpaces(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    return text;
}

bool equalsIgnoringCase(const char* a, size_t length, const char* b) {
    if (std::strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A finite number at the start of `text`, with a point or a comma for the
// decimals, whatever the process's locale; `end` is where it stopped.
bool leadingNumber(const char* text, float& value, const char** end) {
    constexpr size_t kMaxNumberChars = 63;
    char number[kMaxNumberChars + 1];
    size_t n = 0;
    for (; n < kMaxNumberChars && text[n] != '\0' && std::strchr("+-.,0123456789eE", text[n]); ++n)
        number[n] = text[n] == ',' ? '.' : text[n];
    number[n] = '\0';
    const char* first = number[0] == '+' ? number + 1 : number;
    const auto result = std::from_chars(first, number + n, value);
    if (result.ec != std::errc() || !std::isfinite(value)) return false;
    *end = text + (result.ptr - number);
    return true;
}

}  // namespace

void formatValueWithUnit(ParamId id, float engineValue, char* text, size_t bytes) {
    if (text == nullptr || bytes == 0) return;
    if (!isValidParam(id)) {
        text[0] = '\0';
        return;
    }
    if (id == ParamId::CorrMixMode) {
        std::snprintf(text, bytes, "%s", mixModeText(modeFromEngineValue(engineValue)));
        return;
    }
    std::snprintf(text, bytes, "%.1f %s", static_cast<double>(engineValue),
                  paramTable[static_cast<int32_t>(id)].vstLabel);
}

bool plainFromText(ParamId id, const char* text, float& plain) {
    if (!isValidParam(id) || text == nullptr) return false;
    const char* start = skipSpaces(text);
    size_t length = std::strlen(start);
    while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\t')) --length;
    if (id == ParamId::CorrMixMode) {
        for (int32_t mode = 0; mode < kModeCount; ++mode) {
            const char* name = kModeTexts[mode];
            if (equalsIgnoringCase(start, length, name) || equalsIgnoringCase(start, length, name + 2)) {
                plain = static_cast<float>(mode);
                return true;
            }
        }
    }
    float value;
    const char* end;
    if (!leadingNumber(start, value, &end)) return false;
    const char* unit = skipSpaces(end);
    const size_t unitLength = length - static_cast<size_t>(unit - start);
    if (unitLength != 0 && !equalsIgnoringCase(unit, unitLength, paramTable[static_cast<int32_t>(id)].vstLabel))
        return false;
    plain = plainFromPort(id, value);
    return true;
}

bool paramFromSymbol(const char* symbol, size_t length, ParamId& id) {
    for (int32_t i = 0; i < kParamCount; ++i) {
        if (std::strlen(paramTable[i].symbol) == length &&
            std::memcmp(paramTable[i].symbol, symbol, length) == 0) {
            id = static_cast<ParamId>(i);
            return true;
        }
    }
    return false;
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

float plainFromPort(ParamId id, float portValue) {
    if (id == ParamId::CorrMixMode) return static_cast<float>(clampMode(portValueToMode(portValue)));
    return clampToRange(id, portValue);
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
