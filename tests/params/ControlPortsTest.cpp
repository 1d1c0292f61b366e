// Change detection of the control ports: what reaches the engine, and when.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "ControlPorts.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Eight control ports at their defaults, and the calls the scan makes.
struct Ports {
    float values[8];
    const float* pointers[8];
    float lastValues[8];
    std::vector<std::pair<ParamId, float>> calls;

    Ports() {
        for (int i = 0; i < 8; ++i) {
            values[i] = lastValues[i] = paramTable[i].engineDefault;
            pointers[i] = &values[i];
        }
    }
    void scan() {
        calls.clear();
        orvanta_controls::scanControlPorts(pointers, lastValues,
                                         [this](ParamId id, float v) { calls.emplace_back(id, v); });
    }
};

}  // namespace

TEST(ControlPorts, OnlyChangedFiniteValuesReachTheEngine) {
    Ports p;
    p.scan();
    EXPECT_TRUE(p.calls.empty());  // a first run at the defaults calls no setter

    p.values[0] = -20.05f;  // unrounded
    p.values[2] = 12.0f;
    p.scan();
    ASSERT_EQ(p.calls.size(), 2u);
    EXPECT_EQ(p.calls[0], std::make_pair(ParamId::TargetLevel, -20.05f));
    EXPECT_EQ(p.calls[1], std::make_pair(ParamId::MaxGain, 12.0f));
    p.scan();
    EXPECT_TRUE(p.calls.empty());

    // Non-finite values are remembered but never applied; NaN is "changed"
    // at every run, and the first finite value after it is applied again.
    p.values[1] = kNaN;
    p.scan();
    EXPECT_TRUE(p.calls.empty());
    EXPECT_TRUE(std::isnan(p.lastValues[1]));
    p.scan();
    EXPECT_TRUE(p.calls.empty());
    p.values[1] = kInf;
    p.scan();
    EXPECT_TRUE(p.calls.empty());
    EXPECT_EQ(p.lastValues[1], kInf);
    p.values[1] = 0.0f;
    p.scan();
    ASSERT_EQ(p.calls.size(), 1u);
    EXPECT_EQ(p.calls[0], std::make_pair(ParamId::TruePeak, 0.0f));
}

TEST(ControlPorts, ClampingAndModeRounding) {
    Ports p;
    p.values[1] = 1e10f;   // would overflow the ceiling
    p.values[3] = -1e30f;
    p.values[4] = 0.0f;    // inside: +0 and the upper bound -0 compare equal
    p.values[7] = 1.49f;
    p.scan();
    ASSERT_EQ(p.calls.size(), 4u);
    EXPECT_EQ(p.calls[0].second, 0.0f);
    EXPECT_EQ(p.calls[1].second, -70.0f);
    EXPECT_EQ(p.calls[2].second, 0.0f);
    EXPECT_EQ(p.calls[3].second, 1.0f);
    EXPECT_EQ(p.lastValues[1], 1e10f);  // the port value as read, not the clamped one

    // Corr Mix Mode: 1.2 to 1.4 is a change of the port (remembered) with
    // the same mode; the engine ignores an unchanged mode.
    const std::pair<float, float> modes[] = {{1.2f, 1.0f}, {1.4f, 1.0f}, {1.5f, 2.0f}, {2.5f, 3.0f},
                                             {-0.7f, 0.0f}, {9.0f, 3.0f}, {3e9f, 3.0f}, {-3e9f, 0.0f}};
    for (const auto& [port, mode] : modes) {
        p.values[7] = port;
        p.scan();
        ASSERT_EQ(p.calls.size(), 1u) << port;
        EXPECT_EQ(p.calls[0].second, mode) << port;
        EXPECT_EQ(p.lastValues[7], port);
    }
}

TEST(ControlPorts, UnconnectedPortKeepsItsValue) {
    Ports p;
    p.values[0] = -25.0f;
    p.scan();
    p.pointers[0] = nullptr;
    p.scan();
    EXPECT_TRUE(p.calls.empty());
    EXPECT_EQ(p.lastValues[0], -25.0f);
}
