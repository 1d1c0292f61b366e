// The engine's own elementary functions against the C library (glibc, whose
// exp, log, pow and tan are correctly rounded in nearly all cases): within
// one unit in the last place everywhere, the same single-precision results
// on every input the setters and the gain law can give them, and the
// special values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "Math.h"
#include "Numerics.h"

namespace {

int64_t unitsApart(double a, double b) {
    int64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    // Map the sign-magnitude bit patterns onto one monotonic integer line.
    if (x < 0) x = std::numeric_limits<int64_t>::min() - x;
    if (y < 0) y = std::numeric_limits<int64_t>::min() - y;
    return x > y ? x - y : y - x;
}

// A fixed pseudo-random sequence in [0, 1).
struct Uniform {
    uint64_t state = 88172645463325252ull;
    double operator()() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) * 0x1p-53;
    }
};

template <class Own, class Library, class Argument>
void expectWithinOneUnit(const char* name, Own own, Library library, Argument argument) {
    Uniform uniform;
    int64_t worst = 0;
    for (int i = 0; i < 200000; ++i) {
        const double x = argument(uniform());
        worst = std::max(worst, unitsApart(own(x), library(x)));
    }
    EXPECT_LE(worst, 1) << name;
}

constexpr double kLn10Over20 = 0.11512925464970228;

TEST(EngineMath, WithinOneUnitOfTheLibrary) {
    expectWithinOneUnit("exp", [](double x) { return orvanta::exp(x); },
                        [](double x) { return std::exp(x); },
                        [](double u) { return -745.0 + 1454.0 * u; });
    expectWithinOneUnit("log", [](double x) { return orvanta::log(x); },
                        [](double x) { return std::log(x); },
                        [](double u) { return std::exp2(-1074.0 + 2097.0 * u); });
    expectWithinOneUnit("log near 1", [](double x) { return orvanta::log(x); },
                        [](double x) { return std::log(x); },
                        [](double u) { return 0.5 + 1.5 * u; });
    expectWithinOneUnit("tan", [](double x) { return orvanta::tan(x); },
                        [](double x) { return std::tan(x); },
                        [](double u) { return -6000.0 + 12000.0 * u; });
    expectWithinOneUnit("pow", [](double x) { return orvanta::pow(0.01, x); },
                        [](double x) { return std::pow(0.01, x); },
                        [](double u) { return 0.02 * u; });
}

// Every level the parameters can set (0.1 dB steps), every maximum gain's
// logarithm, the filter tangents and smoothing coefficients of whole sample
// rates: the same single-precision values as from the library. The
// single-precision logarithm is compared with the double-precision one
// rounded: the library's own single-precision logarithm is off by more than
// half a unit for three maximum gains (-4.3, 0.7 and 6.8 dB).
TEST(EngineMath, SameSinglePrecisionResultsOnEverySetterInput) {
    int differing = 0;
    for (int tenths = -1000; tenths <= 1000; ++tenths) {
        const double exponent = static_cast<double>(static_cast<float>(tenths) * 0.1f) * kLn10Over20;
        differing += static_cast<float>(orvanta::exp(exponent)) != static_cast<float>(std::exp(exponent));
        // The maximum gain as the engine stores it.
        const float maxGain = orvanta::quantize(orvanta::exp(exponent), 16.0);
        differing += maxGain != orvanta::quantize(std::exp(exponent), 16.0);
        differing += orvanta::quantize(orvanta::exp(exponent), 1.0) !=
                     orvanta::quantize(std::exp(exponent), 1.0);
        differing += orvanta::log(maxGain) !=
                     static_cast<float>(std::log(static_cast<double>(maxGain)));
    }
    for (int rate = 8000; rate <= 384000; rate += 7) {
        const double fs = rate;
        differing += static_cast<float>(orvanta::tan(5283.593356660385 / fs)) !=
                     static_cast<float>(std::tan(5283.593356660385 / fs));
        differing += static_cast<float>(orvanta::tan(128.8052987971815 / fs)) !=
                     static_cast<float>(std::tan(128.8052987971815 / fs));
        differing += static_cast<float>(orvanta::pow(0.01, 100.65 / fs)) !=
                     static_cast<float>(std::pow(0.01, 100.65 / fs));
        differing += static_cast<float>(orvanta::exp(-1.0 / (fs * 0.4))) !=
                     static_cast<float>(std::exp(-1.0 / (fs * 0.4)));
    }
    EXPECT_EQ(differing, 0);
}

// The gain law's per-sample e^(a ln P + b), rounded to single precision.
TEST(EngineMath, SameGainLawResultsOverTheProgrammeRange) {
    Uniform uniform;
    int differing = 0;
    for (int i = 0; i < 500000; ++i) {
        const double power = std::exp2(-64.0 + 70.0 * uniform());
        const double slope = -1.0 + 1.5 * uniform(), offset = -4.0 + 8.0 * uniform();
        differing += static_cast<float>(orvanta::exp(orvanta::log(power) * slope + offset)) !=
                     static_cast<float>(std::exp(std::log(power) * slope + offset));
    }
    EXPECT_EQ(differing, 0);
}

TEST(EngineMath, SpecialValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(orvanta::exp(nan)));
    EXPECT_EQ(orvanta::exp(inf), inf);
    EXPECT_EQ(orvanta::exp(-inf), 0.0);
    EXPECT_EQ(orvanta::exp(0.0), 1.0);
    EXPECT_EQ(orvanta::exp(710.0), inf);
    EXPECT_EQ(orvanta::exp(-746.0), 0.0);
    EXPECT_EQ(orvanta::exp(-745.0), std::exp(-745.0));  // the smallest subnormal
    EXPECT_EQ(orvanta::exp(709.0), std::exp(709.0));
    EXPECT_TRUE(std::isnan(orvanta::log(-1.0)));
    EXPECT_TRUE(std::isnan(orvanta::log(nan)));
    EXPECT_EQ(orvanta::log(0.0), -inf);
    EXPECT_EQ(orvanta::log(inf), inf);
    EXPECT_EQ(orvanta::log(1.0), 0.0);
    EXPECT_EQ(orvanta::log(4.9406564584124654e-324), std::log(4.9406564584124654e-324));
    EXPECT_TRUE(std::isnan(orvanta::log(-1.0f)));
    EXPECT_TRUE(std::isnan(orvanta::tan(inf)));
    EXPECT_TRUE(std::isnan(orvanta::tan(nan)));
    EXPECT_EQ(orvanta::tan(0.0), 0.0);
    EXPECT_TRUE(std::signbit(orvanta::tan(-0.0)));
    EXPECT_TRUE(std::isnan(orvanta::pow(-0.01, 0.5)));
    EXPECT_EQ(orvanta::pow(0.01, 0.0), 1.0);
}

}  // namespace
