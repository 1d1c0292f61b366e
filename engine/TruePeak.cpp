// True-peak estimator: a 12-tap, 4-phase interpolator over a 12-sample ring
// per channel. The four phases lie between the centre sample (6 samples
// behind the newest) and its newer neighbour; the peak is the largest
// magnitude among them and the centre sample.
#include <cmath>
#include <cstring>

#include "LevelerCore.h"
#include "Numerics.h"
#include "TruePeakTable.h"

using namespace orvanta;

namespace {

constexpr int kRingSize = LevelerCore::kTruePeakTaps;
constexpr int kCentreTap = 6;
constexpr int kLfeRing = 3;

// Four single-precision lanes, one per phase. Lane-wise products and sums
// are the same IEEE operations as the scalar ones, so the result does not
// depend on whether the compiler maps them to vector instructions.
typedef float PhaseLanes __attribute__((vector_size(16)));

constexpr PhaseLanes kRowLanes[kRingSize] = {
    {kInterpolator[0][0], kInterpolator[0][1], kInterpolator[0][2], kInterpolator[0][3]},
    {kInterpolator[1][0], kInterpolator[1][1], kInterpolator[1][2], kInterpolator[1][3]},
    {kInterpolator[2][0], kInterpolator[2][1], kInterpolator[2][2], kInterpolator[2][3]},
    {kInterpolator[3][0], kInterpolator[3][1], kInterpolator[3][2], kInterpolator[3][3]},
    {kInterpolator[4][0], kInterpolator[4][1], kInterpolator[4][2], kInterpolator[4][3]},
    {kInterpolator[5][0], kInterpolator[5][1], kInterpolator[5][2], kInterpolator[5][3]},
    {kInterpolator[6][0], kInterpolator[6][1], kInterpolator[6][2], kInterpolator[6][3]},
    {kInterpolator[7][0], kInterpolator[7][1], kInterpolator[7][2], kInterpolator[7][3]},
    {kInterpolator[8][0], kInterpolator[8][1], kInterpolator[8][2], kInterpolator[8][3]},
    {kInterpolator[9][0], kInterpolator[9][1], kInterpolator[9][2], kInterpolator[9][3]},
    {kInterpolator[10][0], kInterpolator[10][1], kInterpolator[10][2], kInterpolator[10][3]},
    {kInterpolator[11][0], kInterpolator[11][1], kInterpolator[11][2], kInterpolator[11][3]},
};

// The four interpolated values of one ring, newest sample at slot `newest`.
// Sums are formed in single precision from row 0 to row 11.
inline PhaseLanes interpolatePhases(const float* ring, int newest) {
    PhaseLanes sum = kRowLanes[0] * ring[newest];
    int slot = newest;
    for (int k = 1; k < kRingSize; ++k) {
        slot = slot == 0 ? kRingSize - 1 : slot - 1;
        sum = sum + kRowLanes[k] * ring[slot];
    }
    return sum;
}

}  // namespace

float LevelerCore::estimateTruePeak(const float* gained, int channels, uint32_t countedMask,
                                    float* centres, float* lfePeak) {
    const int newest = tpWrite;
    tpCentre = static_cast<uint8_t>(newest > 5 ? newest - kCentreTap : newest + kCentreTap);

    float peak = 0.0f;
    for (int ch = 0; ch < channels; ++ch) {
        float* ring = tpRing[ch].data();
        ring[newest] = gained[ch];
        const PhaseLanes phase = interpolatePhases(ring, newest);
        const float centre = ring[tpCentre];
        centres[ch] = centre;

        if (countedMask & (1u << ch)) {
            // A NaN phase is left out (the comparison fails); a NaN centre
            // makes the peak NaN, and no later comparison replaces it.
            for (int p = 0; p < 4; ++p) {
                const float magnitude = std::fabs(phase[p]);
                if (magnitude > peak) peak = magnitude;
            }
            const float centreMagnitude = std::fabs(centre);
            if (std::isnan(centreMagnitude)) {
                peak = centreMagnitude;
            } else if (centreMagnitude > peak) {
                peak = centreMagnitude;
            }
        }
        if (lfePeak != nullptr && ch == kLfeRing) {
            float lfe = std::fabs(centre);
            for (int p = 0; p < 4; ++p) {
                const float magnitude = std::fabs(phase[p]);
                if (magnitude > lfe) lfe = magnitude;
            }
            *lfePeak = lfe;
        }
    }
    tpWrite = static_cast<uint8_t>(tpWrite > 10 ? 0 : tpWrite + 1);
    return peak;
}

float LevelerCore::limiterPeak(float peak, float* centres, int channels) {
    if (!isOverflowPeak(peak)) return peak * kScaledFullScale;
    // Overflow recovery: the faulty samples leave as silence, the envelope
    // restarts from the top and the leveler's delay lines and filters clear.
    ++overflowRecoveries;
    for (int ch = 0; ch < channels; ++ch) centres[ch] = 0.0f;
    envelope = 32.0f;
    clearSignalState();
    return ceiling;
}

bool LevelerCore::truePeakPass(int32_t n, int channels, uint32_t countedMask, int lfeRing) {
    // Each ring's history: the 11 samples before the pass, oldest first.
    for (int ch = 0; ch < channels; ++ch) {
        const float* ring = tpRing[ch].data();
        float* history = pass.gained[ch];
        for (int k = 1; k <= kTruePeakHistory; ++k)
            history[kTruePeakHistory - k] = ring[(tpWrite + kRingSize - k) % kRingSize];
    }

    for (int32_t i = 0; i < n; ++i) pass.peak[i] = 0.0f;
    for (int ch = 0; ch < channels; ++ch) {
        const bool counted = (countedMask & (1u << ch)) != 0;
        const bool lfe = ch == lfeRing;
        if (!counted && !lfe) continue;
        if (useAvx2)
            interpolatePassAvx2(pass.gained[ch], n, counted, lfe);
        else
            interpolatePassBaseline(pass.gained[ch], n, counted, lfe);
    }

    bool recovery = false;
    for (int32_t i = 0; i < n; ++i) recovery |= isOverflowPeak(pass.peak[i]);
    return !recovery;
}

void LevelerCore::commitTruePeakRings(int32_t n, int channels) {
    const int32_t from = n > kRingSize ? n - kRingSize : 0;
    for (int ch = 0; ch < channels; ++ch) {
        float* ring = tpRing[ch].data();
        for (int32_t i = from; i < n; ++i)
            ring[(tpWrite + i) % kRingSize] = pass.gained[ch][kTruePeakHistory + i];
    }
    const int newest = (tpWrite + n - 1) % kRingSize;
    tpCentre = static_cast<uint8_t>(newest > 5 ? newest - kCentreTap : newest + kCentreTap);
    tpWrite = static_cast<uint8_t>((tpWrite + n) % kRingSize);
}
