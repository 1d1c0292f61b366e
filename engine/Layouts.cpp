// Processing loops of the three channel layouts. Per sample frame: detector
// channels -> programme power -> leveler gain -> look-ahead delay -> true-peak
// estimator -> limiter. All channels of a group share one leveler gain and
// one limiter envelope.
//
// Blocks are cut into passes of up to kPassFrames frames, and each pass runs
// stage by stage (see LevelerCore.h); a pass that meets an overflow recovery
// is undone and walked frame by frame. Both paths give the same bits.
#include <cmath>
#include <cstring>

#include "LevelerCore.h"
#include "Numerics.h"

using namespace orvanta;

namespace {
// Back channels of 5.1 weigh 181/128 in the programme power.
constexpr double kBackChannelWeight = 1.4140625;

enum { FL, FR, C, LFE, BL, BR };
// Detector channel d reads audio channel kMainChannel[d]; the limiter's
// sample ring r carries audio channel kMainChannel[r].
constexpr int kMainChannel[LevelerCore::kLimitedChannels] = {FL, FR, C, BL, BR};
constexpr uint32_t kCountedForGroupPeak = (1u << FL) | (1u << FR) | (1u << C) | (1u << BL) | (1u << BR);

inline int32_t atMost(int32_t remaining, int32_t limit) { return remaining < limit ? remaining : limit; }
}  // namespace

// ------------------------------------------------------- mono and stereo

void LevelerCore::processMono(const float* input, float* output, int32_t count) {
    processChannels<1>(&input, &output, count);
}

void LevelerCore::processStereo(const float* inL, const float* inR, float* outL, float* outR,
                                int32_t count) {
    const float* const inputs[2] = {inL, inR};
    float* const outputs[2] = {outL, outR};
    processChannels<2>(inputs, outputs, count);
}

template <int Channels>
void LevelerCore::processChannels(const float* const inputs[Channels], float* const outputs[Channels],
                                  int32_t count) {
    static_assert(Channels == 1 || Channels == 2, "mono or stereo: 5.1 has its own loops");
    for (int32_t done = 0; done < count; done += kPassFrames) {
        const int32_t n = atMost(count - done, kPassFrames);
        const float* in[Channels];
        float* out[Channels];
        for (int ch = 0; ch < Channels; ++ch) {
            in[ch] = inputs[ch] + done;
            out[ch] = outputs[ch] + done;
        }
        if (channelsPass<Channels>(in, out, n)) continue;
        for (int32_t i = 0; i < n; ++i) channelsFrame<Channels>(in, out, i);
    }
}

template <int Channels>
void LevelerCore::channelsFrame(const float* const inputs[Channels], float* const outputs[Channels],
                                int32_t i) {
    float x[Channels];
    for (int ch = 0; ch < Channels; ++ch) x[ch] = inputs[ch][i];
    if (staticGainMode) {
        levelerGain = staticGain;
        for (int ch = 0; ch < Channels; ++ch) x[ch] = admitSample(x[ch]);
    } else {
        float c[Channels];
        for (int d = 0; d < Channels; ++d) {
            bool rejected = false;
            c[d] = detectChannel(d, x[d], rejected);
            if (rejected) x[d] = 0.0f;  // an unmeasurable sample leaves as silence
        }
        // A mono signal counts as two identical channels.
        computeLevelerGain(static_cast<double>(c[0]) + static_cast<double>(c[Channels - 1]));
    }

    float gained[Channels];
    for (int ch = 0; ch < Channels; ++ch) {
        float& delayed = lookaheadDelay[ch][lookaheadIndex];
        gained[ch] = delayed * levelerGain;
        delayed = x[ch];
    }
    advanceLookahead();

    float centres[Channels];
    const float peak = estimateTruePeak(gained, Channels, (1u << Channels) - 1u, centres, nullptr);
    float out[Channels];
    limitSample(limiterPeak(peak, centres, Channels), centres, out, Channels);
    for (int ch = 0; ch < Channels; ++ch) outputs[ch][i] = out[ch];
}

template <int Channels>
bool LevelerCore::channelsPass(const float* const inputs[Channels], float* const outputs[Channels],
                               int32_t n) {
    if (sampleBySampleOnly) return false;
    DetectorState before;
    saveDetector(before);
    if (staticGainMode) {
        levelerGain = staticGain;
        for (int32_t i = 0; i < n; ++i) {
            pass.gain[i] = staticGain;
            for (int ch = 0; ch < Channels; ++ch) pass.admitted[ch][i] = admitSample(inputs[ch][i]);
        }
    } else {
        float* admitted[Channels];
        for (int ch = 0; ch < Channels; ++ch) admitted[ch] = pass.admitted[ch];
        detectPass(0, Channels, inputs, admitted, n);
        for (int32_t i = 0; i < n; ++i)
            pass.programme[i] =
                static_cast<double>(pass.power[0][i]) + static_cast<double>(pass.power[Channels - 1][i]);
        levelerGainPass(n);
    }
    gainDelayedPass(n, Channels, -1);
    if (!truePeakPass(n, Channels, (1u << Channels) - 1u, -1)) {
        restoreDetector(before);
        return false;
    }
    commitLookahead(n, Channels);
    commitTruePeakRings(n, Channels);
    const float* centres[Channels];
    for (int ch = 0; ch < Channels; ++ch) centres[ch] = pass.gained[ch] + kTruePeakHistory - 6;
    limitPass(n, centres, outputs, Channels, nullptr, nullptr, nullptr, nullptr);
    return true;
}

// ------------------------------------------------------------------- 5.1

void LevelerCore::processSurround(const float* const inputs[6], float* const outputs[6],
                                  float* lfeCentreOut, float* lfePeakOut, int32_t count,
                                  LevelerCore* lfeEngine) {
    for (int32_t done = 0; done < count; done += kPassFrames) {
        const int32_t n = atMost(count - done, kPassFrames);
        const float* in[kAudioChannels];
        float* out[kAudioChannels];
        for (int ch = 0; ch < kAudioChannels; ++ch) {
            in[ch] = inputs[ch] + done;
            out[ch] = outputs[ch] + done;
        }
        if (surroundPass(in, out, lfeCentreOut + done, lfePeakOut + done, n, lfeEngine)) continue;
        for (int32_t i = 0; i < n; ++i) surroundFrame(in, out, i, lfeCentreOut + done, lfePeakOut + done);
        // Every LFE input sample of the pass has been read.
        if (lfeEngine != nullptr) lfeEngine->limitLfe(lfeCentreOut + done, lfePeakOut + done, out[LFE], n);
    }
}

void LevelerCore::surroundFrame(const float* const inputs[6], float* const outputs[6], int32_t i,
                                float* lfeCentreOut, float* lfePeakOut) {
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

bool LevelerCore::surroundPass(const float* const inputs[6], float* const outputs[6],
                               float* lfeCentreOut, float* lfePeakOut, int32_t n, LevelerCore* lfeEngine) {
    if (sampleBySampleOnly) return false;
    DetectorState before;
    saveDetector(before);
    // The LFE feeds no detector: it is admitted here on every path.
    for (int32_t i = 0; i < n; ++i) pass.admitted[LFE][i] = admitSample(inputs[LFE][i]);
    if (staticGainMode) {
        levelerGain = staticGain;
        for (int32_t i = 0; i < n; ++i) {
            pass.gain[i] = staticGain;
            for (int r = 0; r < kLimitedChannels; ++r)
                pass.admitted[kMainChannel[r]][i] = admitSample(inputs[kMainChannel[r]][i]);
        }
    } else {
        const float* in[kDetectorChannels];
        float* admitted[kDetectorChannels];
        for (int d = 0; d < kDetectorChannels; ++d) {
            in[d] = inputs[kMainChannel[d]];
            admitted[d] = pass.admitted[kMainChannel[d]];
        }
        for (int d = 0; d < kDetectorChannels; d += passLanes()) {
            const int lanes = kDetectorChannels - d < passLanes() ? kDetectorChannels - d : passLanes();
            detectPass(d, lanes, in + d, admitted + d, n);
        }
        const auto& c = pass.power;
        for (int32_t i = 0; i < n; ++i) {
            const double front = (static_cast<double>(c[0][i]) + c[1][i]) + c[2][i];
            pass.programme[i] = front + kBackChannelWeight * (static_cast<double>(c[4][i]) + c[3][i]);
        }
        levelerGainPass(n);
    }
    gainDelayedPass(n, kAudioChannels, LFE);
    if (!truePeakPass(n, kAudioChannels, kCountedForGroupPeak, LFE)) {
        restoreDetector(before);
        return false;
    }
    commitLookahead(n, kAudioChannels);
    commitTruePeakRings(n, kAudioChannels);
    // The LFE leaves for the LFE engine as estimated.
    std::memcpy(lfeCentreOut, pass.gained[LFE] + kTruePeakHistory - 6, sizeof(float) * n);
    std::memcpy(lfePeakOut, pass.lfePeak, sizeof(float) * n);
    const float* centres[kLimitedChannels];
    float* out[kLimitedChannels];
    for (int r = 0; r < kLimitedChannels; ++r) {
        centres[r] = pass.gained[kMainChannel[r]] + kTruePeakHistory - 6;
        out[r] = outputs[kMainChannel[r]];
    }
    limitPass(n, centres, out, kLimitedChannels, lfeEngine, lfeCentreOut, lfePeakOut, outputs[LFE]);
    return true;
}

// ------------------------------------------------------ shared pass stages

void LevelerCore::saveDetector(DetectorState& s) const {
    std::memcpy(s.shelfState1, shelfState1, sizeof shelfState1);
    std::memcpy(s.shelfState2, shelfState2, sizeof shelfState2);
    std::memcpy(s.highPassState1, highPassState1, sizeof highPassState1);
    std::memcpy(s.highPassState2, highPassState2, sizeof highPassState2);
    std::memcpy(s.fastPower, fastPower, sizeof fastPower);
    std::memcpy(s.heldPower, heldPower, sizeof heldPower);
    std::memcpy(s.slowPower, slowPower, sizeof slowPower);
    std::memcpy(s.kPower, kPower, sizeof kPower);
    std::memcpy(s.calibrationTarget, calibrationTarget, sizeof calibrationTarget);
    std::memcpy(s.calibration, calibration, sizeof calibration);
    std::memcpy(s.startupCount, startupCount, sizeof startupCount);
    std::memcpy(s.gapCount, gapCount, sizeof gapCount);
    s.antiDenormal = antiDenormal;
    s.levelerGain = levelerGain;
}

void LevelerCore::restoreDetector(const DetectorState& s) {
    std::memcpy(shelfState1, s.shelfState1, sizeof shelfState1);
    std::memcpy(shelfState2, s.shelfState2, sizeof shelfState2);
    std::memcpy(highPassState1, s.highPassState1, sizeof highPassState1);
    std::memcpy(highPassState2, s.highPassState2, sizeof highPassState2);
    std::memcpy(fastPower, s.fastPower, sizeof fastPower);
    std::memcpy(heldPower, s.heldPower, sizeof heldPower);
    std::memcpy(slowPower, s.slowPower, sizeof slowPower);
    std::memcpy(kPower, s.kPower, sizeof kPower);
    std::memcpy(calibrationTarget, s.calibrationTarget, sizeof calibrationTarget);
    std::memcpy(calibration, s.calibration, sizeof calibration);
    std::memcpy(startupCount, s.startupCount, sizeof startupCount);
    std::memcpy(gapCount, s.gapCount, sizeof gapCount);
    antiDenormal = s.antiDenormal;
    levelerGain = s.levelerGain;
}

void LevelerCore::gainDelayedPass(int32_t n, int channels, int lfeRing) {
    // The frames of the pass read the lines from lookaheadIndex on, in at
    // most two runs: up to the end of the lines, then from slot 0.
    const int32_t firstRun = lookaheadLength - lookaheadIndex < n ? lookaheadLength - lookaheadIndex : n;
    for (int ch = 0; ch < channels; ++ch) {
        const float* line = lookaheadDelay[ch].data();
        float* gained = pass.gained[ch] + kTruePeakHistory;
        if (ch == lfeRing) {
            for (int32_t i = 0; i < firstRun; ++i) gained[i] = line[lookaheadIndex + i] * lfeGain;
            for (int32_t i = firstRun; i < n; ++i) gained[i] = line[i - firstRun] * lfeGain;
        } else {
            for (int32_t i = 0; i < firstRun; ++i) gained[i] = line[lookaheadIndex + i] * pass.gain[i];
            for (int32_t i = firstRun; i < n; ++i) gained[i] = line[i - firstRun] * pass.gain[i];
        }
    }
}

void LevelerCore::commitLookahead(int32_t n, int channels) {
    const int32_t firstRun = lookaheadLength - lookaheadIndex < n ? lookaheadLength - lookaheadIndex : n;
    for (int ch = 0; ch < channels; ++ch) {
        float* line = lookaheadDelay[ch].data();
        std::memcpy(line + lookaheadIndex, pass.admitted[ch], sizeof(float) * firstRun);
        std::memcpy(line, pass.admitted[ch] + firstRun, sizeof(float) * (n - firstRun));
    }
    lookaheadIndex = static_cast<uint16_t>(firstRun < n ? n - firstRun : lookaheadIndex + n);
    if (lookaheadIndex == lookaheadLength) lookaheadIndex = 0;
}
