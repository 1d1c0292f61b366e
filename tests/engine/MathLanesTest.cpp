// The two-lane exp and log against the scalar ones, bit for bit: the gain
// pass uses the lanes, the frame-by-frame path and the setters the scalars,
// and both must give the same gains.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Math.h"
#include "LogLawPass.h"

namespace {

uint32_t bitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

uint64_t bitsOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double fromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Counts the arguments whose lane result differs from the scalar one, in
// either lane, and reports the first few.
template <typename Lanes, typename Scalar>
int64_t countDifferences(const char* name, const std::vector<double>& arguments, Lanes lanes, Scalar scalar) {
    int64_t differing = 0;
    for (size_t i = 0; i + 1 < arguments.size(); i += 2) {
        const orvanta::DoubleLanes result = lanes(orvanta::DoubleLanes{arguments[i], arguments[i + 1]});
        for (int k = 0; k < 2; ++k) {
            const double x = arguments[i + k];
            if (bitsOf(result[k]) == bitsOf(scalar(x))) continue;
            if (++differing <= 5)
                ADD_FAILURE() << name << "(" << x << " = 0x" << std::hex << bitsOf(x) << "): lane 0x"
                              << bitsOf(result[k]) << ", scalar 0x" << bitsOf(scalar(x)) << std::dec;
        }
    }
    return differing;
}

std::vector<double> specialArguments() {
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> special = {
        0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        fromBits(0x7FF0000000000001ull), fromBits(0x7FF8DEADBEEF0000ull), fromBits(0xFFF4000000000123ull),
        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::min(), std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
        1.0, -1.0, 0x1p-28, -0x1p-28, 0x1.fffffffffffffp-29, -0x1.fffffffffffffp-29,
        7.09782712893383973096e+02, -7.45133219101941108420e+02, 709.0, 710.0, -745.0, -746.0,
        -708.3964185322641, -708.39641853226408, -707.0, -744.44007192138126, 0.5 * M_LN2, -0.5 * M_LN2,
        M_SQRT1_2, M_SQRT2, 1e-12, 1e4,
    };
    // Neighbours of each, one unit of least precision either way.
    const size_t count = special.size();
    for (size_t i = 0; i < count; ++i) {
        special.push_back(std::nextafter(special[i], inf));
        special.push_back(std::nextafter(special[i], -inf));
    }
    // Every pairing of two specials, so each meets the other in the other lane.
    std::vector<double> paired;
    for (double a : special)
        for (double b : special) {
            paired.push_back(a);
            paired.push_back(b);
        }
    return paired;
}

// Random arguments: any bit pattern (every exponent, sign and special),
// uniform over the range where exp neither overflows nor underflows, the
// subnormal and tiny ranges, and the programme powers of the gain law with
// the exponents that law gives.
std::vector<double> randomArguments(int kind, size_t count, unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> arguments(count);
    for (double& x : arguments) {
        switch (kind) {
            case 0: x = fromBits(random()); break;
            case 1: x = -760.0 + 1480.0 * uniform(random); break;
            case 2: x = std::exp2(-1074.0 + 1050.0 * uniform(random)) * (random() & 1 ? -1.0 : 1.0); break;
            case 3: x = std::exp2(-40.0 + 54.0 * uniform(random)); break;  // about 1e-12 .. 1e4
            default: x = -30.0 + 40.0 * uniform(random); break;
        }
    }
    return arguments;
}

double expScalar(double x) { return orvanta::exp(x); }
double logScalar(double x) { return orvanta::log(x); }

TEST(EngineMathLanes, SpecialArgumentsGiveTheScalarBits) {
    const std::vector<double> arguments = specialArguments();
    EXPECT_EQ(countDifferences("exp", arguments, orvanta::expLanes, expScalar), 0);
    EXPECT_EQ(countDifferences("log", arguments, orvanta::logLanes, logScalar), 0);
}

TEST(EngineMathLanes, RandomArgumentsGiveTheScalarBits) {
    constexpr size_t kPerKind = 2000000;
    for (int kind = 0; kind < 5; ++kind) {
        const std::vector<double> arguments = randomArguments(kind, kPerKind, 1234u + kind);
        EXPECT_EQ(countDifferences("exp", arguments, orvanta::expLanes, expScalar), 0) << "kind " << kind;
        EXPECT_EQ(countDifferences("log", arguments, orvanta::logLanes, logScalar), 0) << "kind " << kind;
    }
}

// The gain law as the pass computes it, power by power, over the engine's
// power range and the slopes and offsets the settings give.
TEST(EngineMathLanes, GainLawGivesTheScalarBits) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    int64_t differing = 0;
    for (int i = 0; i < 2000000; ++i) {
        const double slope = static_cast<float>(-0.5 * uniform(random));
        const double offset = static_cast<float>(-5.0 + 10.0 * uniform(random));
        const orvanta::DoubleLanes power = {std::exp2(-40.0 + 54.0 * uniform(random)),
                                            std::exp2(-40.0 + 54.0 * uniform(random))};
        const orvanta::DoubleLanes gain = orvanta::expLanes(orvanta::logLanes(power) * slope + offset);
        for (int k = 0; k < 2; ++k)
            differing += bitsOf(gain[k]) != bitsOf(orvanta::exp(orvanta::log(power[k]) * slope + offset));
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace

namespace {

// The pass's log law, with four lanes where the processor has AVX2 and with
// two, against the scalar law frame by frame: powers over the engine's range,
// repeats (the reused gain), specials, and both branches.
TEST(EngineMathLanes, LogLawPassGivesTheScalarGains) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const std::vector<double> special = specialArguments();
    const orvanta::LogLawSettings law = {1e-3, true, true, static_cast<float>(-0.35), static_cast<float>(-0.2),
                                         static_cast<float>(0.7), static_cast<float>(-1.3), 15.85f};
    const bool avx2 = __builtin_cpu_supports("avx2");
    int64_t differing = 0;
    for (int pass = 0; pass < 20000; ++pass) {
        double programme[256];
        const int32_t n = 1 + static_cast<int32_t>(random() % 256);
        for (double& p : programme) {
            const uint64_t pick = random() % 16;
            p = pick == 0 ? special[random() % special.size()]
                : pick < 4 ? programme[0] : std::exp2(-40.0 + 54.0 * uniform(random));
        }
        float two[256], four[256];
        // No power computed yet (the engine's -1 could meet the specials' -1).
        double lastPowerTwo = std::nan(""), lastPowerFour = std::nan("");
        float lastGainTwo = 1.0f, lastGainFour = 1.0f;
        orvanta::logLawGains<orvanta::TwoLanes>(programme, two, n, law, lastPowerTwo, lastGainTwo);
        if (avx2) orvanta::logLawGainsAvx2(programme, four, n, law, lastPowerFour, lastGainFour);
        for (int32_t i = 0; i < n; ++i) {
            const double p = programme[i];
            const bool high = p > law.inputPower;
            const float rounded = static_cast<float>(orvanta::exp(orvanta::log(p) * (high ? law.highSlope : law.lowSlope) +
                                                                 (high ? law.highOffset : law.lowOffset)));
            const float expected = rounded > law.maxGain ? law.maxGain : rounded;
            differing += bitsOf(two[i]) != bitsOf(expected);
            if (avx2) differing += bitsOf(four[i]) != bitsOf(expected);
        }
    }
    EXPECT_EQ(differing, 0);
}

}  // namespace
