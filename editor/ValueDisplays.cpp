#include "ValueDisplays.h"

#include <cstdio>

#include "ParamTable.h"

namespace {

constexpr size_t kValueTextBytes = 256;

// The engine value of `id` for normalised `value`, printed with `format`
// (one float argument, widened to double as printf takes it).
bool formatEngineValue(ParamId id, const char* format, float value, char* text) {
    if (!text) return false;
    const float engineValue = toEngineValue(id, value);
    std::snprintf(text, kValueTextBytes, format, static_cast<double>(engineValue));
    return true;
}

}  // namespace

bool formatTargetLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::TargetLevel, "%.1f LUFS", value, utf8String);
}

bool formatTruePeak(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::TruePeak, "%.1f dBTP", value, utf8String);
}

bool formatGain(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::MaxGain, "%.1f dB", value, utf8String);
}

bool formatFreezeLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::FreezeLevel, "%.1f LUFS", value, utf8String);
}

bool formatInputLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::InputLevel, "%.1f LUFS", value, utf8String);
}

bool formatPercent(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatEngineValue(ParamId::CorrectionHigh, "%.1f %%", value, utf8String);
}

bool formatMixMode(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    if (!utf8String) return false;
    std::snprintf(utf8String, kValueTextBytes, "%s", mixModeText(normalisedToMode(value)));
    return true;
}
