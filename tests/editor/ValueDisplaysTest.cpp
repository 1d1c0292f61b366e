// The value displays' texts: the engine value of the normalised value, to one
// decimal, with its unit; and the same number the effect's own display
// text gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
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

TEST(ValueDisplays, RangeEndsAndStepsOfEveryContinuousParameter) {
    EXPECT_EQ(show(formatTargetLevel, 0.0f), "-30.0 LUFS");
    EXPECT_EQ(show(formatTargetLevel, 0.5f), "-20.0 LUFS");
    EXPECT_EQ(show(formatTargetLevel, 0.9975f), "-10.1 LUFS");
    EXPECT_EQ(show(formatTargetLevel, 0.99751f), "-10.0 LUFS");
    EXPECT_EQ(show(formatTargetLevel, 1.0f), "-10.0 LUFS");

    EXPECT_EQ(show(formatTruePeak, 0.0f), "-5.0 dBTP");
    EXPECT_EQ(show(formatTruePeak, 0.25f), "-3.8 dBTP");  // floor(-37.375) = -38
    EXPECT_EQ(show(formatTruePeak, 1.0f), "0.0 dBTP");

    EXPECT_EQ(show(formatGain, 0.0f), "-10.0 dB");
    EXPECT_EQ(show(formatGain, 0.25f), "0.0 dB");
    EXPECT_EQ(show(formatGain, 0.5f), "10.0 dB");
    EXPECT_EQ(show(formatGain, 1.0f), "30.0 dB");  // no plus sign

    EXPECT_EQ(show(formatFreezeLevel, 0.0f), "-70.0 LUFS");
    EXPECT_EQ(show(formatFreezeLevel, 0.5f), "-40.0 LUFS");
    EXPECT_EQ(show(formatFreezeLevel, 1.0f), "-10.0 LUFS");

    EXPECT_EQ(show(formatInputLevel, 0.0f), "-40.0 LUFS");
    EXPECT_EQ(show(formatInputLevel, 0.5f), "-20.0 LUFS");
    EXPECT_EQ(show(formatInputLevel, 1.0f), "0.0 LUFS");

    EXPECT_EQ(show(formatPercent, 0.0f), "0.0 %");
    EXPECT_EQ(show(formatPercent, 0.9975f), "99.7 %");
    EXPECT_EQ(show(formatPercent, 1.0f), "100.0 %");
}

TEST(ValueDisplays, MixModeByQuarters) {
    EXPECT_EQ(show(formatMixMode, 0.0f), "0 LLiHLi");
    EXPECT_EQ(show(formatMixMode, 0.2499f), "0 LLiHLi");
    EXPECT_EQ(show(formatMixMode, 0.25f), "1 LLgHLi");
    EXPECT_EQ(show(formatMixMode, 1.0f / 3.0f), "1 LLgHLi");
    EXPECT_EQ(show(formatMixMode, 2.0f / 3.0f), "2 LLiHLg");
    EXPECT_EQ(show(formatMixMode, 0.75f), "3 LLgHLg");
    EXPECT_EQ(show(formatMixMode, 1.0f), "3 LLgHLg");
}

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

// The display never hands these values on (it limits to 0..1), but the
// functions stand alone: whatever they get, they write a terminated text
// into the buffer and nothing past it.
TEST(ValueDisplays, AnyFloatGivesATerminatedTextWithinTheBuffer) {
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::max(),
                             -std::numeric_limits<float>::max(),
                             -1.0f,
                             2.0f,
                             1e-45f};
    const ValueToText functions[] = {formatTargetLevel, formatTruePeak,   formatGain,
                                     formatFreezeLevel, formatInputLevel, formatPercent,
                                     formatMixMode};
    for (ValueToText function : functions) {
        for (float value : hostile) {
            char text[300];
            std::memset(text, 'x', sizeof text);
            ASSERT_TRUE(function(value, text, nullptr));
            ASSERT_LT(std::strlen(text), 256u);
            for (size_t i = 256; i < sizeof text; ++i) ASSERT_EQ(text[i], 'x');
        }
        EXPECT_FALSE(function(0.5f, nullptr, nullptr));
    }
    // Outside 0..1 the mode is still one of the four.
    EXPECT_EQ(show(formatMixMode, -1.0f), "0 LLiHLi");
    EXPECT_EQ(show(formatMixMode, 7.0f), "3 LLgHLg");
    EXPECT_EQ(show(formatMixMode, std::numeric_limits<float>::quiet_NaN()), "0 LLiHLi");
}

}  // namespace
