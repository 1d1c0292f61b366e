// Classic argument reduction plus a minimax polynomial or rational kernel per
// function, all in double precision. The engine is compiled with
// -ffp-contract=off, so every operation here rounds the same way on every
// system (no fused multiply-add, no x87 intermediates).
#include "Math.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace orvanta {

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

// 2^k as a double, for -1022 <= k <= 1023.
double powerOfTwo(int k) { return fromBits(static_cast<uint64_t>(k + 1023) << 52); }

// x with its low 32 bits cleared: a value whose products with short
// integers are exact.
double upperHalf(double x) { return fromBits(bitsOf(x) & 0xFFFFFFFF00000000ull); }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// ln 2 split in two: the high part has 32 significant bits, so k x high part
// is exact for |k| < 2^20; the low part carries the rest.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kInverseLn2 = 1.44269504088896338700e+00;

}  // namespace

// e^x = 2^k e^r with k = round(x / ln 2) and |r| <= ln 2 / 2. e^r comes from
// a rational form in r whose polynomial part (degree 10 in r) has a relative
// error below 2^-59 on that interval.
double exp(double x) {
    if (x != x) return x;
    constexpr double kOverflow = 7.09782712893383973096e+02;    // ln(largest double)
    constexpr double kUnderflow = -7.45133219101941108420e+02;  // ln(smallest subnormal / 2)
    if (x > kOverflow) return kInfinity;
    if (x < kUnderflow) return 0.0;
    const double magnitude = x < 0 ? -x : x;
    if (magnitude < 0x1p-28) return 1.0 + x;  // e^x rounds to 1 + x

    const int k = static_cast<int>(x * kInverseLn2 + (x < 0 ? -0.5 : 0.5));
    const double high = x - k * kLn2High;  // exact
    const double low = k * kLn2Low;
    const double r = high - low;

    constexpr double P1 = 1.66666666666666019037e-01;
    constexpr double P2 = -2.77777777770155933842e-03;
    constexpr double P3 = 6.61375632143793436117e-05;
    constexpr double P4 = -1.65339022054652515390e-06;
    constexpr double P5 = 4.13813679705723846039e-08;
    const double t = r * r;
    const double c = r - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
    const double y = 1.0 - ((low - (r * c) / (2.0 - c)) - high);

    // Scale by 2^k in two steps where 2^k alone would not be a normal number.
    if (k > 1023) return y * 2.0 * powerOfTwo(k - 1);
    if (k < -1021) return y * powerOfTwo(k + 1000) * 0x1p-1000;
    return y * powerOfTwo(k);
}

// x = 2^k (1 + f) with sqrt(2)/2 <= 1 + f < sqrt(2); ln(1 + f) = 2 atanh(s)
// with s = f / (2 + f), evaluated as f - (f^2/2 - s (f^2/2 + R(s^2))),
// R a minimax polynomial of degree 14 in s (error below 2^-58).
double log(double x) {
    if (x != x) return x;
    if (x < 0.0) return kNaN;
    if (x == 0.0) return -kInfinity;
    if (x == kInfinity) return x;

    int k = 0;
    uint64_t bits = bitsOf(x);
    if ((bits >> 52) == 0) {  // subnormal: scale into the normal range first
        x *= 0x1p54;
        bits = bitsOf(x);
        k -= 54;
    }
    uint32_t high = static_cast<uint32_t>(bits >> 32);
    k += static_cast<int>(high >> 20) - 1023;
    high &= 0x000FFFFF;
    // Choose the exponent so that 1 + f lies in [sqrt(2)/2, sqrt(2)).
    const uint32_t aboveRootTwo = (high + 0x95F64) & 0x100000;
    high |= aboveRootTwo ^ 0x3FF00000;
    k += static_cast<int>(aboveRootTwo >> 20);
    const double mantissa = fromBits((static_cast<uint64_t>(high) << 32) | (bits & 0xFFFFFFFFull));
    const double f = mantissa - 1.0;

    constexpr double Lg1 = 6.666666666666735130e-01;
    constexpr double Lg2 = 3.999999999940941908e-01;
    constexpr double Lg3 = 2.857142874366239149e-01;
    constexpr double Lg4 = 2.222219843214978396e-01;
    constexpr double Lg5 = 1.818357216161805012e-01;
    constexpr double Lg6 = 1.531383769920937332e-01;
    constexpr double Lg7 = 1.479819860511658591e-01;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double w = z * z;
    const double oddTerms = w * (Lg2 + w * (Lg4 + w * Lg6));
    const double evenTerms = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
    const double R = evenTerms + oddTerms;
    const double halfSquare = 0.5 * f * f;
    const double dk = k;
    return dk * kLn2High - ((halfSquare - (s * (halfSquare + R) + dk * kLn2Low)) - f);
}

float log(float x) { return static_cast<float>(log(static_cast<double>(x))); }

double pow(double base, double exponent) {
    if (base != base || exponent != exponent || base < 0.0) return kNaN;
    if (exponent == 0.0) return 1.0;
    return exp(exponent * log(base));
}

namespace {

// tan(x + tail) for |x| <= pi/4 (tail: the low part of a reduced argument);
// -1 / tan when `reciprocal`. Near pi/4 the argument is mirrored to
// pi/4 - x, where the polynomial converges fast, and the identity
// tan(pi/4 - y) = (1 - tan y) / (1 + tan y) brings it back.
double tanKernel(double x, double tail, bool reciprocal) {
    constexpr double T[] = {
        3.33333333333334091986e-01,  1.33333333333201242699e-01,  5.39682539762260521377e-02,
        2.18694882948595424599e-02,  8.86323982359930005737e-03,  3.59207910759131235356e-03,
        1.45620945432529025516e-03,  5.88041240820264096874e-04,  2.46463134818469906812e-04,
        7.81794442939557092300e-05,  7.14072491382608190305e-05,  -1.85586374855275456654e-05,
        2.59073051863633712884e-05,
    };
    constexpr double kPiOver4 = 7.85398163397448278999e-01;
    constexpr double kPiOver4Low = 3.06161699786838301793e-17;
    const bool negative = x < 0;
    const double magnitude = negative ? -x : x;
    if (magnitude < 0x1p-28 && !reciprocal) return tail == 0.0 ? x : x + tail;
    const bool mirrored = magnitude >= 0.6744;
    if (mirrored) {
        if (negative) {
            x = -x;
            tail = -tail;
        }
        x = (kPiOver4 - x) + (kPiOver4Low - tail);
        tail = 0.0;
    }
    const double z = x * x;
    const double w = z * z;
    // Odd and even coefficients as two polynomials in w = x^4.
    double r = T[1] + w * (T[3] + w * (T[5] + w * (T[7] + w * (T[9] + w * T[11]))));
    const double v = z * (T[2] + w * (T[4] + w * (T[6] + w * (T[8] + w * (T[10] + w * T[12])))));
    const double s = z * x;
    r = tail + z * (s * (r + v) + tail);
    r += T[0] * s;
    const double sum = x + r;
    if (mirrored) {
        const double sign = negative ? -1.0 : 1.0;
        const double unit = reciprocal ? -1.0 : 1.0;
        return sign * (unit - 2.0 * (x - (sum * sum / (sum + unit) - r)));
    }
    if (!reciprocal) return sum;
    // -1 / (x + r) with the rounding error of the sum and of the division
    // compensated: both are taken apart into an exact high half and a rest.
    const double sumHigh = upperHalf(sum);
    const double sumRest = r - (sumHigh - x);
    const double quotient = -1.0 / sum;
    const double quotientHigh = upperHalf(quotient);
    const double residue = 1.0 + quotientHigh * sumHigh;
    return quotientHigh + quotient * (residue + quotientHigh * sumRest);
}

}  // namespace

// Reduction by multiples of pi/2 in three parts (33 + 33 bits and the rest),
// exact for every argument below 2^19, where the multiple has at most 20
// bits; then tan or -1/tan of the rest.
double tan(double x) {
    if (x != x || x == kInfinity || x == -kInfinity) return kNaN;
    const double magnitude = x < 0 ? -x : x;
    constexpr double kPiOver4 = 7.85398163397448278999e-01;
    if (magnitude <= kPiOver4) return tanKernel(x, 0.0, false);
    if (magnitude > 0x1p19) return 0.0;

    constexpr double kTwoOverPi = 6.36619772367581382433e-01;
    constexpr double kPiOver2Part1 = 1.57079632673412561417e+00;
    constexpr double kPiOver2Part2 = 6.07710050630396597660e-11;
    constexpr double kPiOver2Rest = 2.02226624879595063154e-21;
    const double n = static_cast<double>(
        static_cast<int64_t>(x * kTwoOverPi + (x < 0 ? -0.5 : 0.5)));
    // Each product of n (at most 20 bits) with a 33-bit part is exact.
    const double afterFirst = x - n * kPiOver2Part1;
    const double second = n * kPiOver2Part2;
    const double afterSecond = afterFirst - second;
    const double secondError = (afterFirst - afterSecond) - second;
    const double third = n * kPiOver2Rest - secondError;
    const double reduced = afterSecond - third;
    const double tail = (afterSecond - reduced) - third;
    const bool odd = (static_cast<int64_t>(n) & 1) != 0;
    return tanKernel(reduced, tail, odd);
}

}  // namespace orvanta
