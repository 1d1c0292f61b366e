// The parameter table: rows, the host mapping, display texts, the LADSPA mode
// rounding, the hostile-input helpers and the default set-up of a new engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <iterator>
#include <random>
#include <utility>
#include <vector>

#include "ParamTable.h"
#include "Probe.h"

using P = LevelerCoreProbe;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const ParamInfo& row(ParamId id) { return paramTable[static_cast<int>(id)]; }

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The default a LADSPA host derives from a row's hint bits (ladspa.h rules).
float hintedDefault(const ParamInfo& info) {
    switch (info.hintDescriptor & 0x3C0) {
        case 0x40: return info.lower;
        case 0x80: return 0.75f * info.lower + 0.25f * info.upper;
        case 0xC0: return 0.5f * (info.lower + info.upper);
        case 0x140: return info.upper;
        default: return kNaN;
    }
}

// Leaves a marker in the stack memory that the next call's locals will
// occupy, so that a copy from an unset local shows up as the marker.
__attribute__((noinline)) void markStack() {
    volatile char scratch[4096];
    for (char& c : const_cast<char(&)[4096]>(scratch)) c = '@';
}

std::string display(ParamId id, float value) {
    char text[kDisplayTextBytes + 8];
    std::memset(text, '#', sizeof text);
    markStack();
    formatValue(id, value, text);
    // The 9-byte text is the display, then zeros: no byte of it is left
    // unset or copied from unset memory. Nothing beyond it is touched.
    const size_t length = strnlen(text, kDisplayTextBytes);
    EXPECT_LT(length, static_cast<size_t>(kDisplayTextBytes));
    for (size_t i = length; i < kDisplayTextBytes; ++i) EXPECT_EQ(text[i], '\0') << "byte " << i;
    for (size_t i = kDisplayTextBytes; i < sizeof text; ++i) EXPECT_EQ(text[i], '#');
    return text;
}

std::vector<float> noise(int samples, unsigned seed, float amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-amplitude, amplitude);
    std::vector<float> out(samples);
    for (float& x : out) x = u(rng);
    return out;
}

}  // namespace

TEST(ParamTable, RowsAsHostsSeeThem) {
    const char* names[] = {"Target Level", "True Peak", "Max Gain", "Freeze Level", "Input Level",
                           "Correction High", "Correction Low", "Corr Mix Mode", "LFE Gain"};
    const char* labels[] = {"LUFS", "dBTP", "dB", "LUFS", "LUFS", "%", "%", "", "dB"};
    const char* ports[] = {"Target Level (LUFS)", "True Peak (dBTP)", "Max Gain (dB)",
                           "Freeze Level (LUFS)", "Input Level (LUFS)", "Correction High (%)",
                           "Correction Low (%)", "Corr Mix Mode", "LFE Gain (dB)"};
    const int hints[] = {195, 323, 131, 195, 195, 323, 323, 99, 131};
    const float lower[] = {-30, -5, -10, -70, -40, 0, 0, 0, -10};
    const float upper[] = {-10, 0, 30, -10, -0.0f, 100, 100, 3, 30};
    const float engineDefault[] = {-20, 0, 0, -40, -20, 100, 100, 0, 0};
    const float normDefault[] = {0.5f, 1.0f, 0.25f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.25f};
    // Symbols, units and steps are the LV2 bundle's tests, option names the
    // offline tool's; here, that each symbol finds its row.
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(i);
        const ParamInfo& info = paramTable[i];
        ParamId found;
        ASSERT_TRUE(paramFromSymbol(info.symbol, std::strlen(info.symbol), found));
        EXPECT_EQ(found, static_cast<ParamId>(i));
        EXPECT_STREQ(info.vstName, names[i]);
        EXPECT_STREQ(info.vstLabel, labels[i]);
        EXPECT_STREQ(info.portName, ports[i]);
        EXPECT_EQ(info.hintDescriptor, hints[i]);
        EXPECT_TRUE(sameBits(info.lower, lower[i]));
        EXPECT_TRUE(sameBits(info.upper, upper[i]));
        EXPECT_EQ(info.engineDefault, engineDefault[i]);
        EXPECT_EQ(info.normalisedDefault, normDefault[i]);
        // Both front ends start alike: the hint bits select the engine
        // default, and the normalised default maps onto it.
        EXPECT_EQ(hintedDefault(info), info.engineDefault);
        EXPECT_EQ(toEngineValue(static_cast<ParamId>(i), info.normalisedDefault), info.engineDefault);
        if (i != static_cast<int>(ParamId::CorrMixMode)) {
            // A is the count of 0.1 steps plus one half, B ten times -lower.
            EXPECT_EQ(info.mapA, (info.upper - info.lower) * 10.0f + 0.5f);
            EXPECT_EQ(info.mapB, -10.0f * info.lower);
        }
    }
    EXPECT_TRUE(std::signbit(row(ParamId::InputLevel).upper));
    EXPECT_EQ(paramCount(Layout::Mono), 8);
    EXPECT_EQ(paramCount(Layout::Stereo), 8);
    EXPECT_EQ(paramCount(Layout::Surround51), 9);
}

TEST(ParamMapping, BoundsAndTheTopStep) {
    for (int i = 0; i < kParamCount; ++i) {
        const auto id = static_cast<ParamId>(i);
        if (id == ParamId::CorrMixMode) continue;
        SCOPED_TRACE(i);
        const ParamInfo& info = paramTable[i];
        EXPECT_EQ(toEngineValue(id, 0.0f), info.lower);
        EXPECT_EQ(toEngineValue(id, 1.0f), info.upper == 0.0f ? 0.0f : info.upper);
        // The top value holds from (A - 0.5)/A up: the last step is full width.
        const float topStart = std::nextafter((info.mapA - 0.5f) / info.mapA, 2.0f);
        EXPECT_FLOAT_EQ(toEngineValue(id, topStart), info.upper);
        EXPECT_FLOAT_EQ(toEngineValue(id, std::nextafter(topStart * 0.999f, 0.0f)),
                        info.upper - 0.1f);
    }
}

// Hosts that hand back what they read (a saved normalised value, a VST 3 or
// CLAP parameter set from its plain value) must land on the same engine value.
TEST(ParamMapping, NormalisedValueOfEveryGridValueMapsBackExactly) {
    for (int i = 0; i < kParamCount; ++i) {
        const auto id = static_cast<ParamId>(i);
        const ParamInfo& info = paramTable[i];
        SCOPED_TRACE(i);
        const int steps = id == ParamId::CorrMixMode ? 3 : static_cast<int>(info.mapA - 0.5f);
        for (int k = 0; k <= steps; ++k) {
            const float v = id == ParamId::CorrMixMode ? modeToNormalised(k) : (k + 0.5f) / info.mapA;
            const float plain = toEngineValue(id, std::fmin(v, 1.0f));
            const float back = toNormalised(id, plain);
            ASSERT_EQ(toEngineValue(id, back), plain) << "step " << k;
            ASSERT_GE(back, 0.0f);
            ASSERT_LE(back, 1.0f);
        }
        EXPECT_EQ(toNormalised(id, info.lower), 0.0f);
        EXPECT_EQ(toNormalised(id, info.upper), 1.0f);
        EXPECT_EQ(toNormalised(id, info.upper + 50.0f), 1.0f);
        EXPECT_EQ(toNormalised(id, kNaN), 0.0f);
    }
    // Off the grid: the nearest grid value.
    EXPECT_EQ(toEngineValue(ParamId::TargetLevel, toNormalised(ParamId::TargetLevel, -20.04f)), -20.0f);
    EXPECT_EQ(toNormalised(ParamId::CorrMixMode, 1.5f), modeToNormalised(2));
}

TEST(ParamDisplay, TextWithUnitAndItsInverse) {
    // Both display texts read back as the value they show.
    const std::pair<ParamId, float> shown[] = {{ParamId::TargetLevel, -20.0f}, {ParamId::CorrectionHigh, 99.7f},
                                               {ParamId::CorrMixMode, 2.0f}, {ParamId::InputLevel, -0.0f}};
    const char* withUnit[] = {"-20.0 LUFS", "99.7 %", "2 LLiHLg", "-0.0 LUFS"};
    char text[64];
    for (size_t i = 0; i < std::size(shown); ++i) {
        const auto [id, value] = shown[i];
        formatValueWithUnit(id, value, text, sizeof text);
        EXPECT_STREQ(text, withUnit[i]);
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) formatValue(id, value, text);
            float plain = 1234.0f;
            ASSERT_TRUE(plainFromText(id, text, plain)) << text;
            EXPECT_FLOAT_EQ(plain, value) << text;
        }
    }
    formatValueWithUnit(ParamId::MaxGain, 1.0f, text, 4);
    EXPECT_STREQ(text, "1.0");

    // Other texts by the port rules, or not at all.
    struct Row {
        ParamId id;
        const char* text;
        bool accepted;
        float plain;
    };
    const Row rows[] = {
        {ParamId::TargetLevel, "  -16.5 lufs ", true, -16.5f}, {ParamId::TargetLevel, "-16,5", true, -16.5f},
        {ParamId::TargetLevel, "+5", true, -10.0f},            {ParamId::TruePeak, "-99 dBTP", true, -5.0f},
        {ParamId::CorrectionLow, "50%", true, 50.0f},          {ParamId::CorrMixMode, "LLgHLi", true, 1.0f},
        {ParamId::CorrMixMode, "2.6", true, 3.0f},             {ParamId::CorrMixMode, "3 llghlg", true, 3.0f},
        {ParamId::TargetLevel, "-16 dB", false, 0},            {ParamId::TargetLevel, "", false, 0},
        {ParamId::TargetLevel, "loud", false, 0},              {ParamId::TargetLevel, "nan", false, 0},
        {ParamId::TargetLevel, "-inf", false, 0},              {ParamId::TargetLevel, "1e99", false, 0},
        {ParamId::CorrMixMode, "LLiHLx", false, 0},            {static_cast<ParamId>(9), "1", false, 0},
        {ParamId::TargetLevel, nullptr, false, 0},
    };
    for (const Row& row : rows) {
        float plain = 1234.0f;
        EXPECT_EQ(plainFromText(row.id, row.text, plain), row.accepted) << (row.text ? row.text : "null");
        EXPECT_EQ(plain, row.accepted ? row.plain : 1234.0f) << (row.text ? row.text : "null");
    }
}

TEST(ParamMapping, ExamplesInSinglePrecision) {
    EXPECT_EQ(toEngineValue(ParamId::TargetLevel, 0.5f), -20.0f);
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::TargetLevel, 0.9975f), -10.1f);
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::TargetLevel, 0.99751f), -10.0f);
    // floor(0.25 * 50.5 - 50) = floor(-37.375) = -38: -3.8, not -3.75.
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::TruePeak, 0.25f), -3.8f);
    EXPECT_EQ(toEngineValue(ParamId::MaxGain, 0.25f), 0.0f);
    EXPECT_EQ(toEngineValue(ParamId::LfeGain, 0.25f), 0.0f);
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::LfeGain, 0.5f), 10.0f);
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::CorrectionHigh, 0.9975f), 99.7f);
    EXPECT_EQ(toEngineValue(ParamId::TruePeak, 0.0f), -5.0f);
    // Host values outside 0..1 map by the same formula; non-finite ones stay
    // non-finite (the front end decides what to do with them).
    EXPECT_FLOAT_EQ(toEngineValue(ParamId::TargetLevel, 2.0f), 10.1f);  // floor(401 - 300)
    EXPECT_TRUE(std::isnan(toEngineValue(ParamId::TargetLevel, kNaN)));
    EXPECT_EQ(toEngineValue(ParamId::TruePeak, kInf), kInf);
    EXPECT_EQ(toEngineValue(static_cast<ParamId>(kParamCount), 0.7f), 0.0f);
}

TEST(ParamMapping, CorrMixModeByQuarters) {
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 0.0f), 0.0f);
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 0.2499f), 0.0f);
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 0.25f), 1.0f);
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 0.6f), 2.0f);
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 0.75f), 3.0f);
    EXPECT_EQ(toEngineValue(ParamId::CorrMixMode, 1.0f), 3.0f);
    EXPECT_EQ(normalisedToMode(5.0f), 3);
    EXPECT_EQ(normalisedToMode(-0.7f), 0);
    EXPECT_EQ(normalisedToMode(kNaN), 0);
    EXPECT_EQ(normalisedToMode(-kInf), 0);
    EXPECT_EQ(modeToNormalised(2), static_cast<float>(2.0 / 3.0));
    for (int mode = 0; mode < 4; ++mode) EXPECT_EQ(normalisedToMode(modeToNormalised(mode)), mode);
}

TEST(ParamMapping, LadspaModeRoundsHalfUp) {
    EXPECT_EQ(portValueToMode(1.49f), 1);
    EXPECT_EQ(portValueToMode(1.5f), 2);
    EXPECT_EQ(portValueToMode(2.49f), 2);
    EXPECT_EQ(portValueToMode(2.5f), 3);
    EXPECT_EQ(portValueToMode(1.2f), 1);
    EXPECT_EQ(portValueToMode(1.4f), 1);
    EXPECT_EQ(portValueToMode(0.49999997f), 0);  // the sum is exact, not rounded up to 1
    EXPECT_EQ(portValueToMode(-0.9f), 0);         // trunc(-0.4): toward zero
    EXPECT_EQ(portValueToMode(-1.6f), -1);
    EXPECT_EQ(portValueToMode(3.6f), 4);          // not clamped here
    EXPECT_EQ(portValueToMode(3e9f), INT32_MAX);
    EXPECT_EQ(portValueToMode(-3e9f), INT32_MIN);
    EXPECT_EQ(portValueToMode(kInf), INT32_MAX);
    EXPECT_EQ(portValueToMode(kNaN), 0);
    EXPECT_EQ(clampMode(portValueToMode(3.6f)), 3);
    EXPECT_EQ(clampMode(INT32_MIN), 0);
}

TEST(ParamDisplay, TextsAndTheirLimit) {
    EXPECT_EQ(display(ParamId::TargetLevel, -20.0f), "-20.0");
    EXPECT_EQ(display(ParamId::CorrectionHigh, 100.0f), "100.0");
    EXPECT_EQ(display(ParamId::TruePeak, 0.0f), "0.0");
    EXPECT_EQ(display(ParamId::TruePeak, toEngineValue(ParamId::TruePeak, 0.25f)), "-3.8");
    EXPECT_EQ(display(ParamId::CorrMixMode, 0.0f), "0 LLiHLi");
    EXPECT_EQ(display(ParamId::CorrMixMode, 1.0f), "1 LLgHLi");
    EXPECT_EQ(display(ParamId::CorrMixMode, 2.0f), "2 LLiHLg");
    EXPECT_EQ(display(ParamId::CorrMixMode, 3.0f), "3 LLgHLg");
    EXPECT_EQ(display(ParamId::CorrMixMode, 9.0f), "3 LLgHLg");
    EXPECT_EQ(display(ParamId::CorrMixMode, kNaN), "0 LLiHLi");
    // Cut to 8 characters, whatever the value.
    EXPECT_EQ(display(ParamId::MaxGain, -1234567.0f), "-1234567");
    EXPECT_EQ(display(ParamId::MaxGain, 123456.7f), "123456.7");
    EXPECT_EQ(display(ParamId::MaxGain, 3.4e38f).size(), 8u);
    EXPECT_EQ(display(ParamId::MaxGain, -kInf), "-inf");
    EXPECT_EQ(display(ParamId::MaxGain, std::fabs(kNaN)), "nan");
    EXPECT_EQ(display(static_cast<ParamId>(-1), 1.0f), "");
    EXPECT_STREQ(mixModeText(4), "");
    EXPECT_STREQ(mixModeText(-1), "");
}

TEST(ParamHostile, ClampingKeepsInRangeValuesExact) {
    EXPECT_EQ(clampToRange(ParamId::TargetLevel, -20.05f), -20.05f);
    EXPECT_EQ(clampToRange(ParamId::TruePeak, 1e10f), 0.0f);
    EXPECT_EQ(clampToRange(ParamId::TruePeak, -kInf), -5.0f);
    EXPECT_EQ(clampToRange(ParamId::MaxGain, kInf), 30.0f);
    EXPECT_TRUE(std::isnan(clampToRange(ParamId::MaxGain, kNaN)));
    EXPECT_TRUE(std::signbit(clampToRange(ParamId::InputLevel, 5.0f)));
    EXPECT_EQ(clampToRange(ParamId::CorrectionLow, -3.0f), 0.0f);
    EXPECT_EQ(clampToRange(ParamId::CorrMixMode, 7.0f), 3.0f);
}

TEST(ParamEngine, OperationsReachTheRightEngines) {
    LevelerCore main, lfe;
    applyEngineValue(main, &lfe, ParamId::TruePeak, -3.0f);
    EXPECT_LT(main.getCeiling(), 32.0f);
    EXPECT_EQ(lfe.getCeiling(), main.getCeiling());

    applyEngineValue(main, &lfe, ParamId::LfeGain, 10.0f);
    EXPECT_GT(P::lfeGain(main), 3.0f);
    EXPECT_EQ(P::lfeGain(lfe), 1.0f);

    applyEngineValue(main, &lfe, ParamId::CorrMixMode, 2.0f);
    EXPECT_EQ(main.getMixMode(), 2);
    EXPECT_EQ(lfe.getMixMode(), 0);
    // A mode value the engine's 8-bit field cannot hold is clamped, not wrapped.
    applyEngineValue(main, nullptr, ParamId::CorrMixMode, 256.0f);
    EXPECT_EQ(main.getMixMode(), 3);
    applyEngineValue(main, nullptr, ParamId::CorrMixMode, kNaN);
    EXPECT_EQ(main.getMixMode(), 0);

    applyEngineValue(main, nullptr, ParamId::TargetLevel, -23.0f);
    EXPECT_EQ(P::targetLevel(main), -23.0f + 0.691f);
    applyEngineValue(main, nullptr, ParamId::CorrectionHigh, 50.0f);
    EXPECT_EQ(P::correctionHigh(main), 0.5);
}

// A new engine brought to the defaults must equal the engine that the
// construction sequence describes: the constructor's own defaults with the
// layout's channel share. Compared on the set-up fields and on the output bits
// of a programme that exercises detector, gain law and limiter.
TEST(ParamEngine, InitialParametersForEveryLayout) {
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround51}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const float share = layout == Layout::Surround51 ? 0.2f : 0.5f;
        LevelerCore set, reference;
        applyInitialParameters(set, layout);
        reference.setChannelShare(share);

        EXPECT_EQ(P::channelShare(set), share);
        EXPECT_EQ(P::freezeThreshold(set), static_cast<float>(share * std::exp(-9.051231306380506)));
        EXPECT_EQ(P::targetLevel(set), -19.309f);
        EXPECT_EQ(P::maxGain(set), 1.0f);
        EXPECT_EQ(static_cast<float>(P::inputPower(set)), static_cast<float>(std::pow(10.0, -1.9309)));
        EXPECT_EQ(P::correctionHigh(set), 1.0);
        EXPECT_EQ(P::correctionLow(set), 1.0);
        EXPECT_EQ(set.getMixMode(), 0);
        EXPECT_EQ(P::lfeGain(set), 1.0f);
        EXPECT_EQ(set.getCeiling(), 32.0f);
        EXPECT_EQ(set.getEnvelope(), 32.0f);
        EXPECT_EQ(set.getSampleRate(), 48000.0f);
        EXPECT_EQ(set.latency(), 1698u);

        const int n = 48000;
        const std::vector<float> a = noise(n, 1, 0.9f), b = noise(n, 2, 0.05f);
        std::vector<float> outSet(n), outRef(n), outSet2(n), outRef2(n);
        if (layout == Layout::Mono) {
            set.processMono(a.data(), outSet.data(), n);
            reference.processMono(a.data(), outRef.data(), n);
        } else {
            set.processStereo(a.data(), b.data(), outSet.data(), outSet2.data(), n);
            reference.processStereo(a.data(), b.data(), outRef.data(), outRef2.data(), n);
        }
        EXPECT_EQ(0, std::memcmp(outSet.data(), outRef.data(), n * sizeof(float)));
        EXPECT_EQ(0, std::memcmp(outSet2.data(), outRef2.data(), n * sizeof(float)));
        EXPECT_EQ(set.getLevelerGain(), reference.getLevelerGain());
    }
}

TEST(ParamEngine, InitialParametersUndoEveryNonDefault) {
    // A front end may rebuild an engine's parameters: every parameter of the
    // layout must be driven, so an engine moved away from all defaults comes
    // back to the defaults' behaviour.
    LevelerCore moved;
    for (int i = 0; i < kParamCount; ++i)
        applyEngineValue(moved, nullptr, static_cast<ParamId>(i),
                         i == static_cast<int>(ParamId::CorrMixMode) ? 3.0f : paramTable[i].lower);
    applyInitialParameters(moved, Layout::Surround51);
    EXPECT_EQ(P::targetLevel(moved), -19.309f);
    EXPECT_EQ(moved.getCeiling(), 32.0f);
    EXPECT_EQ(P::maxGain(moved), 1.0f);
    EXPECT_EQ(static_cast<float>(P::inputPower(moved)), static_cast<float>(std::pow(10.0, -1.9309)));
    EXPECT_EQ(P::freezeThreshold(moved), static_cast<float>(0.2f * std::exp(-9.051231306380506)));
    EXPECT_EQ(P::correctionHigh(moved), 1.0);
    EXPECT_EQ(P::correctionLow(moved), 1.0);
    EXPECT_EQ(moved.getMixMode(), 0);
    EXPECT_EQ(P::lfeGain(moved), 1.0f);
}
