// e^x and ln x two values at a time, in SSE2 lanes. Each lane performs the
// same IEEE double operations, in the same order, as orvanta::exp and
// orvanta::log in Math.cpp, so each lane gives their bits exactly, special
// arguments included. Lanes that take a special answer (NaN, the infinities,
// zero, negative, over- and underflow) run the main path on a harmless
// stand-in value and are replaced at the end.
#pragma once

#include <cstdint>
#include <emmintrin.h>
#include <limits>

namespace orvanta {

typedef double DoubleLanes __attribute__((vector_size(16)));
typedef int64_t LaneMask __attribute__((vector_size(16)));
typedef uint64_t LaneBits __attribute__((vector_size(16)));

namespace lanes {

inline DoubleLanes broadcast(double x) { return DoubleLanes{} + x; }
inline LaneBits bitsOf(DoubleLanes x) { return reinterpret_cast<LaneBits>(x); }
inline DoubleLanes fromBits(LaneBits bits) { return reinterpret_cast<DoubleLanes>(bits); }

// 2^e per lane from the 32-bit integers in the two low words of `e`, each
// in -1022..1023.
inline DoubleLanes powerOfTwo(__m128i e) {
    const __m128i biased = _mm_add_epi32(e, _mm_set1_epi32(1023));
    const __m128i wide = _mm_unpacklo_epi32(biased, _mm_setzero_si128());
    return _mm_castsi128_pd(_mm_slli_epi64(wide, 52));
}

// Small integers held in int64 lanes, as doubles: 1.5 x 2^52 + k is exact,
// and so is taking 1.5 x 2^52 away again.
inline DoubleLanes toDouble(LaneMask k) {
    const double kShift = 0x1.8p52;
    return fromBits(reinterpret_cast<LaneBits>(k) + bitsOf(broadcast(kShift))) - kShift;
}

}  // namespace lanes

inline DoubleLanes expLanes(DoubleLanes x) {
    constexpr double kOverflow = 7.09782712893383973096e+02;    // ln(largest double)
    constexpr double kUnderflow = -7.45133219101941108420e+02;  // ln(smallest subnormal / 2)
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kInverseLn2 = 1.44269504088896338700e+00;
    // Arguments whose result needs no special answer and no two-step
    // scaling (|k| <= 1021) take the short path.
    const LaneMask ordinary = ((x >= 0x1p-28) | (x <= -0x1p-28)) & (x >= -708.0) & (x <= 708.0);
    const bool allOrdinary = _mm_movemask_pd(reinterpret_cast<__m128d>(ordinary)) == 3;
    const LaneMask tiny = (x < 0x1p-28) & (x > -0x1p-28);
    const LaneMask computed = (x >= kUnderflow) & (x <= kOverflow) & ~tiny;
    const DoubleLanes v = allOrdinary ? x : (computed ? x : lanes::broadcast(1.0));

    const DoubleLanes half = v < 0 ? lanes::broadcast(-0.5) : lanes::broadcast(0.5);
    const __m128i k = _mm_cvttpd_epi32(v * kInverseLn2 + half);  // truncates, as the cast does
    const DoubleLanes dk = _mm_cvtepi32_pd(k);
    const DoubleLanes high = v - dk * kLn2High;
    const DoubleLanes low = dk * kLn2Low;
    const DoubleLanes r = high - low;

    constexpr double P1 = 1.66666666666666019037e-01;
    constexpr double P2 = -2.77777777770155933842e-03;
    constexpr double P3 = 6.61375632143793436117e-05;
    constexpr double P4 = -1.65339022054652515390e-06;
    constexpr double P5 = 4.13813679705723846039e-08;
    const DoubleLanes t = r * r;
    const DoubleLanes c = r - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
    const DoubleLanes y = 1.0 - ((low - (r * c) / (2.0 - c)) - high);

    if (allOrdinary) return y * lanes::powerOfTwo(k);

    // The scalar scaling y x 2^k, (y x 2) x 2^(k-1) or (y x 2^(k+1000)) x
    // 2^-1000, written as (y x A) x B; B is 1 in the common case, which
    // changes nothing.
    const __m128i big = _mm_cmpgt_epi32(k, _mm_set1_epi32(1023));
    const __m128i small = _mm_cmplt_epi32(k, _mm_set1_epi32(-1021));
    const __m128i plain = _mm_andnot_si128(_mm_or_si128(big, small), k);
    const __m128i exponentA = _mm_or_si128(
        plain, _mm_or_si128(_mm_and_si128(big, _mm_set1_epi32(1)),
                            _mm_and_si128(small, _mm_add_epi32(k, _mm_set1_epi32(1000)))));
    const __m128i exponentB =
        _mm_or_si128(_mm_and_si128(big, _mm_sub_epi32(k, _mm_set1_epi32(1))),
                     _mm_and_si128(small, _mm_set1_epi32(-1000)));
    DoubleLanes result = (y * lanes::powerOfTwo(exponentA)) * lanes::powerOfTwo(exponentB);

    result = tiny ? 1.0 + x : result;
    result = x < kUnderflow ? lanes::broadcast(0.0) : result;
    result = x > kOverflow ? lanes::broadcast(std::numeric_limits<double>::infinity()) : result;
    return x != x ? x : result;
}

inline DoubleLanes logLanes(DoubleLanes x) {
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    // Normal positive arguments take the short path.
    const LaneMask normal = (x >= 0x1p-1022) & (x < std::numeric_limits<double>::infinity());
    const bool allNormal = _mm_movemask_pd(reinterpret_cast<__m128d>(normal)) == 3;
    DoubleLanes v = x;
    LaneMask k = {};
    if (!allNormal) {
        const LaneMask positive = x > 0.0;
        const LaneMask subnormal = positive & (x < 0x1p-1022);
        // The rest take special answers at the end.
        v = (normal | subnormal) ? x : lanes::broadcast(1.0);
        // Subnormals are scaled into the normal range first.
        v = subnormal ? v * 0x1p54 : v;
        k = subnormal & int64_t{-54};
    }
    const LaneBits bits = lanes::bitsOf(v);
    LaneBits high = bits >> 32;
    k += reinterpret_cast<LaneMask>(high >> 20) - int64_t{1023};
    high &= 0x000FFFFF;
    // Choose the exponent so that 1 + f lies in [sqrt(2)/2, sqrt(2)).
    const LaneBits aboveRootTwo = (high + 0x95F64) & 0x100000;
    high |= aboveRootTwo ^ 0x3FF00000;
    k += reinterpret_cast<LaneMask>(aboveRootTwo >> 20);
    const DoubleLanes mantissa = lanes::fromBits((high << 32) | (bits & 0xFFFFFFFFull));
    const DoubleLanes f = mantissa - 1.0;

    constexpr double Lg1 = 6.666666666666735130e-01;
    constexpr double Lg2 = 3.999999999940941908e-01;
    constexpr double Lg3 = 2.857142874366239149e-01;
    constexpr double Lg4 = 2.222219843214978396e-01;
    constexpr double Lg5 = 1.818357216161805012e-01;
    constexpr double Lg6 = 1.531383769920937332e-01;
    constexpr double Lg7 = 1.479819860511658591e-01;
    const DoubleLanes s = f / (2.0 + f);
    const DoubleLanes z = s * s;
    const DoubleLanes w = z * z;
    const DoubleLanes oddTerms = w * (Lg2 + w * (Lg4 + w * Lg6));
    const DoubleLanes evenTerms = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
    const DoubleLanes R = evenTerms + oddTerms;
    const DoubleLanes halfSquare = 0.5 * f * f;
    const DoubleLanes dk = lanes::toDouble(k);
    DoubleLanes result = dk * kLn2High - ((halfSquare - (s * (halfSquare + R) + dk * kLn2Low)) - f);

    if (allNormal) return result;
    result = x == std::numeric_limits<double>::infinity() ? x : result;
    result = x == 0.0 ? lanes::broadcast(-std::numeric_limits<double>::infinity()) : result;
    result = x < 0.0 ? lanes::broadcast(std::numeric_limits<double>::quiet_NaN()) : result;
    return x != x ? x : result;
}

}  // namespace orvanta
