// The true-peak estimator, frame by frame, and the rings around a pass.
#include <cmath>
#include <cstring>

#include "TruePeakEstimator.h"
#include "TruePeakTable.h"

namespace orvanta {

namespace {

// Four single-precision lanes, one per phase. Lane-wise products and sums
// are the same IEEE operations as the scalar ones, so the result does not
// depend on whether the compiler maps them to vector instructions.
typedef float PhaseLanes __attribute__((vector_size(16)));

constexpr int kTaps = TruePeakEstimator::kTaps;

constexpr PhaseLanes row(int k) {
    return PhaseLanes{kInterpolator[k][0], kInterpolator[k][1], kInterpolator[k][2], kInterpolator[k][3]};
}
constexpr PhaseLanes kRowLanes[kTaps] = {row(0), row(1), row(2), row(3), row(4),  row(5),
                                         row(6), row(7), row(8), row(9), row(10), row(11)};

// The four interpolated values of one ring, newest sample at slot `newest`.
// Sums are formed in single precision from row 0 to row 11.
inline PhaseLanes interpolatePhases(const float* ring, int newest) {
    PhaseLanes sum = kRowLanes[0] * ring[newest];
    int slot = newest;
    for (int k = 1; k < kTaps; ++k) {
        slot = slot == 0 ? kTaps - 1 : slot - 1;
        sum = sum + kRowLanes[k] * ring[slot];
    }
    return sum;
}

}  // namespace

void TruePeakEstimator::clear() { std::memset(ring, 0, sizeof ring); }

float TruePeakEstimator::estimate(const float* gained, int channels, uint32_t countedMask, float* centres,
                                  float* lfePeak) {
    const int newest = write;
    centre = centreSlot(newest);

    float peak = 0.0f;
    for (int ch = 0; ch < channels; ++ch) {
        float* samples = ring[ch];
        samples[newest] = gained[ch];
        const PhaseLanes phase = interpolatePhases(samples, newest);
        const float centreSample = samples[centre];
        centres[ch] = centreSample;

        if (countedMask & (1u << ch)) {
            // A NaN phase is left out (the comparison fails); a NaN centre
            // makes the peak NaN, and no later comparison replaces it.
            for (int p = 0; p < 4; ++p) {
                const float magnitude = std::fabs(phase[p]);
                if (magnitude > peak) peak = magnitude;
            }
            const float centreMagnitude = std::fabs(centreSample);
            if (std::isnan(centreMagnitude)) {
                peak = centreMagnitude;
            } else if (centreMagnitude > peak) {
                peak = centreMagnitude;
            }
        }
        if (lfePeak != nullptr && ch == kLfeChannel) {
            float lfe = std::fabs(centreSample);
            for (int p = 0; p < 4; ++p) {
                const float magnitude = std::fabs(phase[p]);
                if (magnitude > lfe) lfe = magnitude;
            }
            *lfePeak = lfe;
        }
    }
    write = static_cast<uint8_t>(write > kTaps - 2 ? 0 : write + 1);
    return peak;
}

void TruePeakEstimator::history(int ch, float* out) const {
    // The slots after `write` hold the oldest samples, those before it the newest.
    const int oldest = kTaps - 1 - write;
    std::memcpy(out, &ring[ch][write + 1], sizeof(float) * oldest);
    std::memcpy(out + oldest, &ring[ch][0], sizeof(float) * write);
}

void TruePeakEstimator::store(int32_t n, int channels, const float* const* gained) {
    // The last 12 samples of the pass (or all), each in the slot its frame
    // had, in at most two runs: from its first slot to the end, then from 0.
    const int32_t from = n > kTaps ? n - kTaps : 0;
    const int first = static_cast<int>((write + from) % kTaps);
    const int32_t toEnd = n - from < kTaps - first ? n - from : kTaps - first;
    for (int ch = 0; ch < channels; ++ch) {
        std::memcpy(&ring[ch][first], gained[ch] + from, sizeof(float) * toEnd);
        std::memcpy(&ring[ch][0], gained[ch] + from + toEnd, sizeof(float) * (n - from - toEnd));
    }
    centre = centreSlot((write + n - 1) % kTaps);
    write = static_cast<uint8_t>((write + n) % kTaps);
}

}  // namespace orvanta
