// The two-lane exp and log against the scalar ones, bit for bit: the gain
// law's kernels use the lanes, the frame-by-frame path and the setters the
// scalars, and both must give the same gains. (The kernels themselves, with
// the four-lane build, are compared in KernelsTest.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <immintrin.h>

#include "Math.h"
// The lanes as the baseline kernels build them.
#include "LanesSse.inc"
#include "MathLanes.inc"

namespace {

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
typedef orvanta::TwoDoubles::Double Lanes;

template <typename Function, typename Scalar>
int64_t countDifferences(const char* name, const std::vector<double>& arguments, Function lanes, Scalar scalar) {
    int64_t differing = 0;
    for (size_t i = 0; i + 1 < arguments.size(); i += 2) {
        const Lanes result = lanes(Lanes{arguments[i], arguments[i + 1]});
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
Lanes expLanes(Lanes x) { return orvanta::expLanes<orvanta::TwoDoubles>(x); }
Lanes logLanes(Lanes x) { return orvanta::logLanes<orvanta::TwoDoubles>(x); }

TEST(EngineMathLanes, SpecialArgumentsGiveTheScalarBits) {
    const std::vector<double> arguments = specialArguments();
    EXPECT_EQ(countDifferences("exp", arguments, expLanes, expScalar), 0);
    EXPECT_EQ(countDifferences("log", arguments, logLanes, logScalar), 0);
}

TEST(EngineMathLanes, RandomArgumentsGiveTheScalarBits) {
    constexpr size_t kPerKind = 2000000;
    for (int kind = 0; kind < 5; ++kind) {
        const std::vector<double> arguments = randomArguments(kind, kPerKind, 1234u + kind);
        EXPECT_EQ(countDifferences("exp", arguments, expLanes, expScalar), 0) << "kind " << kind;
        EXPECT_EQ(countDifferences("log", arguments, logLanes, logScalar), 0) << "kind " << kind;
    }
}

}  // namespace
