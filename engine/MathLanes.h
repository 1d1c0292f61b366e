// e^x and ln x several values at a time, in vector lanes: two with SSE2,
// four with AVX2 (in code built for it, which defines ORVANTA_AVX2_KERNELS). Each lane performs the same IEEE
// double operations, in the same order, as orvanta::exp and orvanta::log in
// Math.cpp, so each lane gives their bits exactly, special arguments
// included. Lanes that take a special answer (NaN, the infinities, zero,
// negative, over- and underflow) run the main path on a harmless stand-in
// value and are replaced at the end; a group of lanes without one skips
// that work.
#pragma once

#include <cstdint>
#include <immintrin.h>
#include <limits>

namespace orvanta {

typedef double DoubleLanes __attribute__((vector_size(16)));
typedef int64_t LaneMask __attribute__((vector_size(16)));
typedef uint64_t LaneBits __attribute__((vector_size(16)));

// What the lane code needs of a vector width: its types, and the few
// operations the vector extensions do not express.
struct TwoLanes {
    typedef DoubleLanes Double;
    typedef LaneMask Mask;
    typedef LaneBits Bits;
    static Double broadcast(double x) { return Double{} + x; }
    static bool all(Mask m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)) == 3; }
    // Truncation toward zero into the low 32-bit words, as the cast to int.
    static __m128i truncate(Double x) { return _mm_cvttpd_epi32(x); }
    static Double toDouble(__m128i k) { return _mm_cvtepi32_pd(k); }
    // 2^e per lane for e in -1022..1023.
    static Double powerOfTwo(__m128i e) {
        const __m128i biased = _mm_add_epi32(e, _mm_set1_epi32(1023));
        const __m128i wide = _mm_unpacklo_epi32(biased, _mm_setzero_si128());
        return _mm_castsi128_pd(_mm_slli_epi64(wide, 52));
    }
    // Small integers held in int64 lanes, as doubles: 1.5 x 2^52 + k is
    // exact, and so is taking 1.5 x 2^52 away again.
    static Double fromSmallIntegers(Mask k) {
        const Double shift = broadcast(0x1.8p52);
        return reinterpret_cast<Double>(reinterpret_cast<Bits>(k) + reinterpret_cast<Bits>(shift)) - shift;
    }
};

#ifdef ORVANTA_AVX2_KERNELS
typedef double DoubleLanes4 __attribute__((vector_size(32)));
typedef int64_t LaneMask4 __attribute__((vector_size(32)));
typedef uint64_t LaneBits4 __attribute__((vector_size(32)));

struct FourLanes {
    typedef DoubleLanes4 Double;
    typedef LaneMask4 Mask;
    typedef LaneBits4 Bits;
    static Double broadcast(double x) { return Double{} + x; }
    static bool all(Mask m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)) == 15; }
    static __m128i truncate(Double x) { return _mm256_cvttpd_epi32(x); }
    static Double toDouble(__m128i k) { return _mm256_cvtepi32_pd(k); }
    static Double powerOfTwo(__m128i e) {
        const __m128i biased = _mm_add_epi32(e, _mm_set1_epi32(1023));
        return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepu32_epi64(biased), 52));
    }
    static Double fromSmallIntegers(Mask k) {
        const Double shift = broadcast(0x1.8p52);
        return reinterpret_cast<Double>(reinterpret_cast<Bits>(k) + reinterpret_cast<Bits>(shift)) - shift;
    }
};
#endif

template <typename L>
inline typename L::Double expLanesOf(typename L::Double x) {
    constexpr double kOverflow = 7.09782712893383973096e+02;    // ln(largest double)
    constexpr double kUnderflow = -7.45133219101941108420e+02;  // ln(smallest subnormal / 2)
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    constexpr double kInverseLn2 = 1.44269504088896338700e+00;
    // Arguments whose result needs no special answer and no two-step
    // scaling (|k| <= 1021) take the short path.
    const typename L::Mask ordinary = ((x >= 0x1p-28) | (x <= -0x1p-28)) & (x >= -708.0) & (x <= 708.0);
    const bool allOrdinary = L::all(ordinary);
    const typename L::Mask tiny = (x < 0x1p-28) & (x > -0x1p-28);
    const typename L::Mask computed = (x >= kUnderflow) & (x <= kOverflow) & ~tiny;
    const typename L::Double v = allOrdinary ? x : (computed ? x : L::broadcast(1.0));

    const typename L::Double half = v < 0 ? L::broadcast(-0.5) : L::broadcast(0.5);
    const __m128i k = L::truncate(v * kInverseLn2 + half);  // truncates, as the cast does
    const typename L::Double dk = L::toDouble(k);
    const typename L::Double high = v - dk * kLn2High;
    const typename L::Double low = dk * kLn2Low;
    const typename L::Double r = high - low;

    constexpr double P1 = 1.66666666666666019037e-01;
    constexpr double P2 = -2.77777777770155933842e-03;
    constexpr double P3 = 6.61375632143793436117e-05;
    constexpr double P4 = -1.65339022054652515390e-06;
    constexpr double P5 = 4.13813679705723846039e-08;
    const typename L::Double t = r * r;
    const typename L::Double c = r - t * (P1 + t * (P2 + t * (P3 + t * (P4 + t * P5))));
    const typename L::Double y = 1.0 - ((low - (r * c) / (2.0 - c)) - high);

    if (allOrdinary) return y * L::powerOfTwo(k);

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
    typename L::Double result = (y * L::powerOfTwo(exponentA)) * L::powerOfTwo(exponentB);

    result = tiny ? 1.0 + x : result;
    result = x < kUnderflow ? L::broadcast(0.0) : result;
    result = x > kOverflow ? L::broadcast(std::numeric_limits<double>::infinity()) : result;
    return x != x ? x : result;
}

template <typename L>
inline typename L::Double logLanesOf(typename L::Double x) {
    constexpr double kLn2High = 6.93147180369123816490e-01;
    constexpr double kLn2Low = 1.90821492927058770002e-10;
    // Normal positive arguments take the short path.
    const typename L::Mask normal = (x >= 0x1p-1022) & (x < std::numeric_limits<double>::infinity());
    const bool allNormal = L::all(normal);
    typename L::Double v = x;
    typename L::Mask k = {};
    if (!allNormal) {
        const typename L::Mask positive = x > 0.0;
        const typename L::Mask subnormal = positive & (x < 0x1p-1022);
        // The rest take special answers at the end.
        v = (normal | subnormal) ? x : L::broadcast(1.0);
        // Subnormals are scaled into the normal range first.
        v = subnormal ? v * 0x1p54 : v;
        k = subnormal & int64_t{-54};
    }
    const typename L::Bits bits = reinterpret_cast<typename L::Bits>(v);
    typename L::Bits high = bits >> 32;
    k += reinterpret_cast<typename L::Mask>(high >> 20) - int64_t{1023};
    high &= 0x000FFFFF;
    // Choose the exponent so that 1 + f lies in [sqrt(2)/2, sqrt(2)).
    const typename L::Bits aboveRootTwo = (high + 0x95F64) & 0x100000;
    high |= aboveRootTwo ^ 0x3FF00000;
    k += reinterpret_cast<typename L::Mask>(aboveRootTwo >> 20);
    const typename L::Double mantissa = reinterpret_cast<typename L::Double>((high << 32) | (bits & 0xFFFFFFFFull));
    const typename L::Double f = mantissa - 1.0;

    constexpr double Lg1 = 6.666666666666735130e-01;
    constexpr double Lg2 = 3.999999999940941908e-01;
    constexpr double Lg3 = 2.857142874366239149e-01;
    constexpr double Lg4 = 2.222219843214978396e-01;
    constexpr double Lg5 = 1.818357216161805012e-01;
    constexpr double Lg6 = 1.531383769920937332e-01;
    constexpr double Lg7 = 1.479819860511658591e-01;
    const typename L::Double s = f / (2.0 + f);
    const typename L::Double z = s * s;
    const typename L::Double w = z * z;
    const typename L::Double oddTerms = w * (Lg2 + w * (Lg4 + w * Lg6));
    const typename L::Double evenTerms = z * (Lg1 + w * (Lg3 + w * (Lg5 + w * Lg7)));
    const typename L::Double R = evenTerms + oddTerms;
    const typename L::Double halfSquare = 0.5 * f * f;
    const typename L::Double dk = L::fromSmallIntegers(k);
    typename L::Double result = dk * kLn2High - ((halfSquare - (s * (halfSquare + R) + dk * kLn2Low)) - f);

    if (allNormal) return result;
    result = x == std::numeric_limits<double>::infinity() ? x : result;
    result = x == 0.0 ? L::broadcast(-std::numeric_limits<double>::infinity()) : result;
    result = x < 0.0 ? L::broadcast(std::numeric_limits<double>::quiet_NaN()) : result;
    return x != x ? x : result;
}

inline DoubleLanes expLanes(DoubleLanes x) { return expLanesOf<TwoLanes>(x); }
inline DoubleLanes logLanes(DoubleLanes x) { return logLanesOf<TwoLanes>(x); }
#ifdef ORVANTA_AVX2_KERNELS
inline DoubleLanes4 expLanes(DoubleLanes4 x) { return expLanesOf<FourLanes>(x); }
inline DoubleLanes4 logLanes(DoubleLanes4 x) { return logLanesOf<FourLanes>(x); }
#endif

}  // namespace orvanta
