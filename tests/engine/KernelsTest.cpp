// Every kernel table this processor runs against the frame-by-frame steps,
// bit for bit, over pass lengths from 1 to kPassFrames frames and every
// alignment of the arrays: the detector over every lane count (start-up,
// normal operation, the freeze, gaps and unmeasurable samples), the gain law
// over every choice of laws (with repeated powers and special values), and
// the estimator's interpolation of a counted ring and the LFE ring.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Probe.h"
#include "Signals.h"

using namespace orvanta;

namespace {

constexpr int kCounts[] = {1, 2, 3, 4, 5, 7, 8, 9, 16, 31, 100, 255, kPassFrames};
constexpr int kAlignments = 4;  // array starts shifted by 0..3 elements

// A sample: mostly programme, sometimes silence, rarely beyond measure.
float sampleOf(std::mt19937& rng, float level) {
    const uint32_t pick = rng() % 1000;
    if (pick == 0) return NAN;
    if (pick == 1) return INFINITY;
    if (pick == 2) return -3e30f;
    if (pick < 60) return 0.0f;
    return level * std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
}

std::string where(const PassKernels& k, int lanes, int n, int shift) {
    return std::string(k.name) + ", lanes " + std::to_string(lanes) + ", frames " + std::to_string(n) + ", shift " +
           std::to_string(shift);
}

// Channel states the detector meets: after start-up, in start-up, frozen
// (levels under the threshold), just after a rise with a full gap count.
DetectorChannel channelState(int kind, std::mt19937& rng) {
    DetectorChannel c;
    const float level = std::ldexp(1.0f, -static_cast<int>(rng() % 20));
    c.fastPower = c.heldPower = c.slowPower = c.kPower = level;
    c.calibrationTarget = c.calibration = 1.0f + 0.1f * static_cast<float>(rng() % 8);
    c.startupCount = kind == 1 ? 48000 : 0;
    c.gapCount = static_cast<uint16_t>(kind == 3 ? 5760 : rng() % 100);
    c.highPassState1 = 0.01f * static_cast<float>(rng() % 5);
    c.shelfState1 = -0.02f * static_cast<float>(rng() % 5);
    if (kind == 2) c.fastPower = c.heldPower = c.slowPower = 1e-9f;
    return c;
}

bool sameChannel(const DetectorChannel& a, const DetectorChannel& b) {
    const float DetectorChannel::*levels[] = {
        &DetectorChannel::highPassState1, &DetectorChannel::highPassState2, &DetectorChannel::shelfState1,
        &DetectorChannel::shelfState2,    &DetectorChannel::fastPower,      &DetectorChannel::heldPower,
        &DetectorChannel::slowPower,      &DetectorChannel::kPower,         &DetectorChannel::calibrationTarget,
        &DetectorChannel::calibration};
    for (auto field : levels)
        if (!testsig::sameBits(a.*field, b.*field)) return false;
    return a.startupCount == b.startupCount && a.gapCount == b.gapCount;
}

}  // namespace

TEST(Kernels, DetectorGivesTheStepsBitsForEveryLaneCountLengthAndAlignment) {
    LevelerCore engine;  // 48 kHz
    DetectorSettings settings = LevelerCoreProbe::detector(engine).settings;
    std::mt19937 rng(17);
    const KernelTables tables = runnableKernels();
    DetectorScratch scratch;
    for (int t = 0; t < tables.count; ++t) {
        const PassKernels& k = *tables.table[t];
        for (int lanes = 1; lanes <= k.detectorLanes; ++lanes) {
            for (int n : kCounts) {
                const int shift = static_cast<int>(rng() % kAlignments);
                settings.freezeThreshold = rng() % 2 ? 1e-7f : 0.0f;
                const float offset = rng() % 2 ? kTinyLevel : -kTinyLevel;
                DetectorChannel channels[kMaxDetectorLanes], expected[kMaxDetectorLanes];
                std::vector<std::vector<float>> in(lanes), admitted(lanes), power(lanes);
                const float* inPtr[kMaxDetectorLanes];
                float *admittedPtr[kMaxDetectorLanes], *powerPtr[kMaxDetectorLanes];
                for (int j = 0; j < lanes; ++j) {
                    channels[j] = expected[j] = channelState(static_cast<int>(rng() % 4), rng);
                    in[j].resize(shift + n);
                    const float level = std::ldexp(1.0f, -static_cast<int>(rng() % 12));
                    for (float& x : in[j]) x = sampleOf(rng, level);
                    admitted[j].assign(shift + n, -1.0f);
                    power[j].assign(shift + n, -1.0f);
                    inPtr[j] = in[j].data() + shift;
                    admittedPtr[j] = admitted[j].data() + shift;
                    powerPtr[j] = power[j].data() + shift;
                }
                k.detect(settings, channels, lanes, offset, inPtr, admittedPtr, powerPtr, n, scratch);

                SCOPED_TRACE(where(k, lanes, n, shift));
                for (int j = 0; j < lanes; ++j) {
                    float u = offset;
                    for (int i = 0; i < n; ++i, u = -u) {
                        bool rejected = false;
                        const float x = inPtr[j][i];
                        const float p = expected[j].step(settings, x + u, rejected);
                        ASSERT_TRUE(testsig::sameBits(powerPtr[j][i], p)) << "lane " << j << " frame " << i;
                        ASSERT_TRUE(testsig::sameBits(admittedPtr[j][i], rejected ? 0.0f : x)) << j << " " << i;
                    }
                    ASSERT_TRUE(sameChannel(channels[j], expected[j])) << "lane " << j;
                }
            }
        }
    }
}

TEST(Kernels, GainLawGivesGainForsBitsForEveryLawLengthAndAlignment) {
    const double inf = std::numeric_limits<double>::infinity();
    const double specials[] = {0.0, -0.0, inf, -1.0, std::nan(""), 1e-300, 5e-324, 1e300};
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const KernelTables tables = runnableKernels();
    for (int t = 0; t < tables.count; ++t) {
        const PassKernels& k = *tables.table[t];
        GainLaw law;
        for (int pass = 0; pass < 8000; ++pass) {
            if (pass % 10 == 0) {
                // A new law, as the setters leave it: its memo of the last
                // power is forgotten.
                law.highUsesLogLaw = (pass / 10) % 2;
                law.lowUsesLogLaw = (pass / 20) % 2;
                law.inputPower = static_cast<float>(std::exp2(-30.0 + 25.0 * uniform(rng)));
                law.maxGain = static_cast<float>(std::exp2(-2.0 + 7.0 * uniform(rng)));
                law.highLogSlope = static_cast<float>(-0.5 * uniform(rng));
                law.lowLogSlope = static_cast<float>(-0.5 * uniform(rng));
                law.highLogOffset = static_cast<float>(-5.0 + 10.0 * uniform(rng));
                law.lowLogOffset = static_cast<float>(-5.0 + 10.0 * uniform(rng));
                law.highLinearScale = static_cast<float>(uniform(rng));
                law.lowLinearScale = static_cast<float>(uniform(rng));
                law.highLinearOffset = static_cast<float>(uniform(rng));
                law.lowLinearOffset = static_cast<float>(uniform(rng));
                law.lastLawPower = -1.0;
            }
            const int n = pass % 13 == 0 ? kCounts[pass / 13 % std::size(kCounts)] : 1 + static_cast<int>(rng() % 256);
            const int shift = pass % kAlignments;
            std::vector<double> programme(shift + n + kPassPad, 1.0);
            std::vector<float> gain(shift + n + kPassPad);
            for (int i = 0; i < n; ++i) {
                const uint32_t pick = rng() % 64;
                // Standing still (the power repeats), a special value, or a
                // power over the engine's range.
                double& p = programme[shift + i];
                p = pick < 16 && i > 0 ? programme[shift + i - 1]
                    : pick == 16      ? specials[rng() % std::size(specials)]
                                      : std::exp2(-40.0 + 54.0 * uniform(rng));
            }
            k.gains(law, programme.data() + shift, gain.data() + shift, n);
            for (int i = 0; i < n; ++i)
                ASSERT_TRUE(testsig::sameBits(gain[shift + i], law.gainFor(programme[shift + i])))
                    << where(k, 0, n, shift) << ", pass " << pass << ", frame " << i << ", power "
                    << programme[shift + i];
        }
    }
}

// The kernel runs a counted ring (raising the group's peak from zeros) and
// then the LFE ring, which is counted too here: the estimator frame by frame
// over both rings gives the group peak, and the LFE ring's own peak.
TEST(Kernels, InterpolationGivesTheEstimatorsPeaksForEveryLengthAndAlignment) {
    constexpr int kHistory = TruePeakEstimator::kHistory;
    constexpr uint32_t kCounted = (1u << 0) | (1u << kLfeChannel);
    std::mt19937 rng(3);
    const KernelTables tables = runnableKernels();
    for (int t = 0; t < tables.count; ++t) {
        const PassKernels& k = *tables.table[t];
        for (int n : kCounts) {
            for (int shift = 0; shift < 2 * kAlignments; ++shift) {
                std::vector<float> rings[2], groupPeak(shift + n + kPassPad, 0.0f), lfePeak(shift + n + kPassPad);
                for (auto& ring : rings) {
                    ring.assign(shift + kHistory + n + kPassPad, 0.0f);
                    for (int i = 0; i < kHistory + n; ++i) ring[shift + i] = sampleOf(rng, 2.0f);
                }
                k.interpolate(rings[0].data() + shift, n, groupPeak.data() + shift, nullptr);
                k.interpolate(rings[1].data() + shift, n, groupPeak.data() + shift, lfePeak.data() + shift);

                TruePeakEstimator estimator;
                float gained[kLfeChannel + 1] = {}, centres[kLfeChannel + 1], lfe = 0.0f;
                for (int i = 0; i < kHistory + n; ++i) {
                    gained[0] = rings[0][shift + i];
                    gained[kLfeChannel] = rings[1][shift + i];
                    const float peak = estimator.estimate(gained, kLfeChannel + 1, kCounted, centres, &lfe);
                    if (i < kHistory) continue;
                    const int frame = i - kHistory;
                    ASSERT_TRUE(testsig::sameBits(groupPeak[shift + frame], peak)) << where(k, 1, n, shift) << " " << frame;
                    ASSERT_TRUE(testsig::sameBits(lfePeak[shift + frame], lfe)) << where(k, 1, n, shift) << " " << frame;
                }
            }
        }
    }
}
