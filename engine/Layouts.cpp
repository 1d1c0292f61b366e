// Processing loops of the three channel layouts. Per sample frame: detector
// channels -> programme power -> leveler gain -> look-ahead delay -> true-peak
// estimator -> limiter. All channels of a group share one leveler gain and
// one limiter envelope.
#include <cmath>

#include "LevelerCore.h"
#include "Numerics.h"

using namespace orvanta;

namespace {
// Back channels of 5.1 weigh 181/128 in the programme power.
constexpr double kBackChannelWeight = 1.4140625;
}  // namespace

void LevelerCore::processMono(const float* input, float* output, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        float x = input[i];
        if (staticGainMode) {
            levelerGain = staticGain;
            x = admitSample(x);
        } else {
            bool rejected = false;
            const float c0 = detectChannel(0, x, rejected);
            if (rejected) x = 0.0f;  // an unmeasurable sample leaves as silence
            // A mono signal counts as two identical channels.
            computeLevelerGain(static_cast<double>(c0) + static_cast<double>(c0));
        }

        float& delayed = lookaheadDelay[0][lookaheadIndex];
        const float gained = delayed * levelerGain;
        delayed = x;
        advanceLookahead();

        float centre;
        const float peak = estimateTruePeak(&gained, 1, 0x1u, &centre, nullptr);
        limitSample(limiterPeak(peak, &centre, 1), &centre, &output[i], 1);
    }
}

void LevelerCore::processStereo(const float* inL, const float* inR, float* outL, float* outR,
                                int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        float x[2] = {inL[i], inR[i]};
        if (staticGainMode) {
            levelerGain = staticGain;
            x[0] = admitSample(x[0]);
            x[1] = admitSample(x[1]);
        } else {
            bool rejectedL = false, rejectedR = false;
            const float c0 = detectChannel(0, x[0], rejectedL);
            const float c1 = detectChannel(1, x[1], rejectedR);
            if (rejectedL) x[0] = 0.0f;
            if (rejectedR) x[1] = 0.0f;
            computeLevelerGain(static_cast<double>(c0) + static_cast<double>(c1));
        }

        float gained[2];
        for (int ch = 0; ch < 2; ++ch) {
            float& delayed = lookaheadDelay[ch][lookaheadIndex];
            gained[ch] = delayed * levelerGain;
            delayed = x[ch];
        }
        advanceLookahead();

        float centres[2];
        const float peak = estimateTruePeak(gained, 2, 0x3u, centres, nullptr);
        float out[2];
        limitSample(limiterPeak(peak, centres, 2), centres, out, 2);
        outL[i] = out[0];
        outR[i] = out[1];
    }
}

void LevelerCore::processSurround(const float* const inputs[6], float* const outputs[6],
                                  float* lfeCentreOut, float* lfePeakOut, int32_t count) {
    enum { FL, FR, C, LFE, BL, BR };
    // Detector channel d reads audio channel kDetectorSource[d]; the limiter's
    // sample ring r carries audio channel kMainChannel[r].
    static constexpr int kMainChannel[kLimitedChannels] = {FL, FR, C, BL, BR};
    constexpr uint32_t kCountedForGroupPeak = (1u << FL) | (1u << FR) | (1u << C) | (1u << BL) | (1u << BR);

    for (int32_t i = 0; i < count; ++i) {
        float x[kAudioChannels];
        for (int ch = 0; ch < kAudioChannels; ++ch) x[ch] = inputs[ch][i];
        // The LFE feeds no detector: it is admitted here on every path.
        x[LFE] = admitSample(x[LFE]);

        if (staticGainMode) {
            levelerGain = staticGain;
            for (int r = 0; r < kLimitedChannels; ++r) x[kMainChannel[r]] = admitSample(x[kMainChannel[r]]);
        } else {
            float c[kDetectorChannels];
            for (int d = 0; d < kDetectorChannels; ++d) {
                bool rejected = false;
                c[d] = detectChannel(d, x[kMainChannel[d]], rejected);
                if (rejected) x[kMainChannel[d]] = 0.0f;
            }
            const double front = (static_cast<double>(c[0]) + c[1]) + c[2];
            computeLevelerGain(front + kBackChannelWeight * (static_cast<double>(c[4]) + c[3]));
        }

        // The LFE is never levelled: it gets its own fixed gain.
        float gained[kAudioChannels];
        for (int ch = 0; ch < kAudioChannels; ++ch) {
            float& delayed = lookaheadDelay[ch][lookaheadIndex];
            gained[ch] = delayed * (ch == LFE ? lfeGain : levelerGain);
            delayed = x[ch];
        }
        advanceLookahead();

        float centres[kAudioChannels];
        float lfePeak = 0.0f;
        const float peak = estimateTruePeak(gained, kAudioChannels, kCountedForGroupPeak, centres, &lfePeak);
        // The LFE leaves for the LFE engine as estimated; a recovery of the
        // main group does not touch it.
        lfeCentreOut[i] = centres[LFE];
        lfePeakOut[i] = lfePeak;

        float mainCentres[kLimitedChannels];
        for (int r = 0; r < kLimitedChannels; ++r) mainCentres[r] = centres[kMainChannel[r]];
        float out[kLimitedChannels];
        limitSample(limiterPeak(peak, mainCentres, kLimitedChannels), mainCentres, out, kLimitedChannels);
        for (int r = 0; r < kLimitedChannels; ++r) outputs[kMainChannel[r]][i] = out[r];
    }
}

void LevelerCore::limitLfe(const float* lfeCentre, const float* lfePeak, float* lfeOut,
                           int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        float centre = lfeCentre[i];
        const float peak = lfePeak[i];
        float scaled;
        // The LFE engine's reduced recovery: nothing of it but the limiter runs.
        if (isOverflowPeak(peak)) {
            ++overflowRecoveries;
            scaled = ceiling;
            envelope = 32.0f;
            centre = 0.0f;
        } else {
            scaled = peak * kScaledFullScale;
        }
        limitSample(scaled, &centre, &lfeOut[i], 1);
    }
}
