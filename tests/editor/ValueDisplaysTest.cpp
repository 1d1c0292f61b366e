// The value displays' texts: the same number the effect's own display text
// gives, with the row's unit (the mapping, its examples and hostile values
// are the table's tests).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ParamTable.h"
#include "ValueDisplays.h"

namespace {

using ValueToText = bool (*)(float, char[256], VSTGUI::CParamDisplay*);

std::string show(ValueToText function, float value) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    EXPECT_TRUE(function(value, text, nullptr));
    return text;
}

struct Row {
    ParamId id;
    ValueToText function;
    const char* unit;
};

const Row kRows[] = {
    {ParamId::TargetLevel, formatTargetLevel, " LUFS"},
    {ParamId::TruePeak, formatTruePeak, " dBTP"},
    {ParamId::MaxGain, formatGain, " dB"},
    {ParamId::FreezeLevel, formatFreezeLevel, " LUFS"},
    {ParamId::InputLevel, formatInputLevel, " LUFS"},
    {ParamId::CorrectionHigh, formatPercent, " %"},
    {ParamId::CorrectionLow, formatPercent, " %"},
    {ParamId::LfeGain, formatGain, " dB"},
};

// The editor and the host's generic view must never disagree: for every
// parameter and a fine sweep of values, the display's number is the number
// of the effect's display text (formatValue of the engine value).
TEST(ValueDisplays, NumberEqualsTheEffectsDisplayTextAcrossTheRange) {
    constexpr int kSteps = 20000;
    for (const Row& row : kRows) {
        for (int step = 0; step <= kSteps; ++step) {
            const float value = static_cast<float>(step) / kSteps;
            const std::string text = show(row.function, value);
            char effectText[kDisplayTextBytes];
            formatValue(row.id, toEngineValue(row.id, value), effectText);
            ASSERT_EQ(text, std::string(effectText) + row.unit)
                << paramTable[int(row.id)].vstName << " at " << value;
        }
    }
    for (int step = 0; step <= kSteps; ++step) {
        const float value = static_cast<float>(step) / kSteps;
        char effectText[kDisplayTextBytes];
        formatValue(ParamId::CorrMixMode, toEngineValue(ParamId::CorrMixMode, value), effectText);
        ASSERT_EQ(show(formatMixMode, value), effectText) << value;
    }
}

}  // namespace
