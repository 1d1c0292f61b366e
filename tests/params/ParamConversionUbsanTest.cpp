// Every conversion of the parameter table, for floats from every binade and
// the special values, built with the undefined-behaviour sanitizer (a report
// aborts the run). Results are checked only for being defined and in range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "ParamTable.h"

namespace {

std::vector<float> hostileFloats() {
    std::vector<float> values = {
        0.0f, -0.0f, 0.5f, -0.5f, 2.5f, 3.5f, 127.5f, 128.0f, -129.0f, 2147483520.0f,
        2147483648.0f, -2147483648.0f, -2147483904.0f, 4294967296.0f, 1e10f, -1e10f,
        std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(),
        std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::signaling_NaN()};
    // Every 2^15th bit pattern: all exponents, both signs, NaN payloads.
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 1u << 15) {
        const uint32_t b = static_cast<uint32_t>(bits);
        float f;
        std::memcpy(&f, &b, sizeof f);
        values.push_back(f);
    }
    return values;
}

}  // namespace

TEST(ParamUbsan, EveryConversionIsDefinedForEveryFloat) {
    LevelerCore engine, lfe;
    char text[kDisplayTextBytes];
    for (float v : hostileFloats()) {
        const int32_t mode = portValueToMode(v);
        ASSERT_GE(clampMode(mode), 0);
        ASSERT_LE(clampMode(mode), 3);
        const int32_t quarters = normalisedToMode(v);
        ASSERT_GE(quarters, 0);
        ASSERT_LE(quarters, 3);
        for (int i = 0; i < kParamCount; ++i) {
            const auto id = static_cast<ParamId>(i);
            const float engineValue = toEngineValue(id, v);
            const float clamped = clampToRange(id, v);
            if (!std::isnan(v)) {
                ASSERT_GE(clamped, paramTable[i].lower);
                ASSERT_LE(clamped, paramTable[i].upper);
            }
            formatValue(id, v, text);
            ASSERT_LE(std::strlen(text), 8u);
            formatValue(id, engineValue, text);
            ASSERT_LE(std::strlen(text), 8u);
            const float normalised = toNormalised(id, v);
            ASSERT_TRUE(normalised >= 0.0f && normalised <= 1.0f);
            char full[64];
            formatValueWithUnit(id, v, full, sizeof full);
            float parsed;
            if (plainFromText(id, full, parsed)) {
                ASSERT_TRUE(std::isfinite(parsed));
            }
        }
        // The mode operation converts its float itself.
        applyEngineValue(engine, &lfe, ParamId::CorrMixMode, v);
        ASSERT_GE(engine.getMixMode(), 0);
        ASSERT_LE(engine.getMixMode(), 3);
    }
}
