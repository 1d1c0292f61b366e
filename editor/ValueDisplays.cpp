#include "ValueDisplays.h"

#include "EditorParameters.h"
#include "ParamTable.h"

namespace {

// The engine value of `id` for normalised `value`, by the table's own
// mapping, as the table writes it with its unit.
bool formatRow(ParamId id, float value, char* text) {
    if (!text) return false;
    formatValueWithUnit(id, toEngineValue(id, value), text, EditorParameters::kDisplayTextBytes);
    return true;
}

}  // namespace

bool formatTargetLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::TargetLevel, value, utf8String);
}

bool formatTruePeak(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::TruePeak, value, utf8String);
}

bool formatGain(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::MaxGain, value, utf8String);
}

bool formatFreezeLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::FreezeLevel, value, utf8String);
}

bool formatInputLevel(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::InputLevel, value, utf8String);
}

bool formatPercent(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::CorrectionHigh, value, utf8String);
}

bool formatMixMode(float value, char utf8String[256], VSTGUI::CParamDisplay*) {
    return formatRow(ParamId::CorrMixMode, value, utf8String);
}

// An index outside the table gives the empty text.
void EditorParameters::displayText(int32_t index, float normalised, char text[kDisplayTextBytes]) const {
    formatRow(static_cast<ParamId>(index), normalised, text);
}
