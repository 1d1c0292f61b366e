// Shared numeric helpers of the engine. Every coefficient and ceiling is
// stored through quantize(), which fixes its last bits independently of how
// the double-precision expression before it was evaluated.
#pragma once

#include <cstdint>

namespace orvanta {

// ln(10) / 20: dB to the natural-log exponent of an amplitude, 10^(dB/20).
constexpr double kLn10Over20 = 0.11512925464970228;

// Level offset of BS.1770 loudness: L LUFS is the summed channel power
// 10^((L + 0.691)/10). Added in single precision.
constexpr float kLoudnessOffsetLu = 0.691f;

// The limiter's scaled domain: amplitudes x (32 - 2^-18), so that full scale
// is about 32 and every level keeps the same relative precision.
constexpr float kScaledFullScale = 31.999996185302734f;

// 2^-32 (-192.66 dB): the anti-denormal offset and the smallest start level.
constexpr float kTinyLevel = 2.3283064365386963e-10f;

// A true-peak estimate above 1e37 (or NaN) starts the overflow recovery.
constexpr float kOverflowPeak = 1e37f;
inline bool isOverflowPeak(float peak) { return peak > kOverflowPeak || peak != peak; }

// A sample whose square overflows single precision (an enormous value, an
// infinity or NaN) cannot be levelled or limited sensibly: the paths that run
// no detector let it in as silence, as the detector does on its own path.
inline float admitSample(float x) {
    const float square = x * x;
    return square - square == 0.0f ? x : 0.0f;
}

// Round x to the single-precision spacing at K: (f32)((f32)(x + K) - K),
// with both additions in double precision.
inline float quantize(double x, double k) {
    const float sum = static_cast<float>(x + k);
    return static_cast<float>(static_cast<double>(sum) - k);
}

// Samples in t seconds at rate fs: the integer part of fs * t + 0.49999999,
// computed in double precision and held in 16 bits.
inline uint16_t lengthFromSeconds(double fs, double seconds) {
    return static_cast<uint16_t>(static_cast<uint32_t>(fs * seconds + 0.49999999));
}

}  // namespace orvanta
