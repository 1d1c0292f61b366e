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
static_assert(LFE == kLfeChannel, "the 5.1 channel order");
// Detector channel d reads audio channel kMainChannel[d]; the limiter's
// sample ring r carries audio channel kMainChannel[r].
constexpr int kMainChannel[kLimitedChannels] = {FL, FR, C, BL, BR};
constexpr uint32_t kCountedForGroupPeak = (1u << FL) | (1u << FR) | (1u << C) | (1u << BL) | (1u << BR);

// Programme power of a 5.1 frame from its detector channels' powers c(0..4).
template <class Power>
inline double surroundPower(Power c) {
    const double front = (static_cast<double>(c(0)) + c(1)) + c(2);
    return front + kBackChannelWeight * (static_cast<double>(c(4)) + c(3));
}

inline int32_t atMost(int32_t remaining, int32_t limit) { return remaining < limit ? remaining : limit; }

// A block in passes of up to kPassFrames frames: pass(in, out, done, n) with
// every channel's buffers from the pass's first frame `done` on.
template <int Channels, class Pass>
inline void inPasses(const float* const* inputs, float* const* outputs, int32_t count, Pass pass) {
    for (int32_t done = 0; done < count; done += kPassFrames) {
        const float* in[Channels];
        float* out[Channels];
        for (int ch = 0; ch < Channels; ++ch) {
            in[ch] = inputs[ch] + done;
            out[ch] = outputs[ch] + done;
        }
        pass(in, out, done, atMost(count - done, kPassFrames));
    }
}
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
    inPasses<Channels>(inputs, outputs, count, [this](const float* const* in, float* const* out, int32_t, int32_t n) {
        if (channelsPass<Channels>(in, out, n)) return;
        for (int32_t i = 0; i < n; ++i) channelsFrame<Channels>(in, out, i);
    });
}

void LevelerCore::computeLevelerGain(double programmePower) {
    gainLaw.levelerGain = gainLaw.gainFor(programmePower);
    detector.state.antiDenormal = -detector.state.antiDenormal;
}

template <int Channels>
void LevelerCore::channelsFrame(const float* const inputs[Channels], float* const outputs[Channels],
                                int32_t i) {
    float x[Channels];
    for (int ch = 0; ch < Channels; ++ch) x[ch] = inputs[ch][i];
    if (gainLaw.staticGainMode) {
        gainLaw.levelerGain = gainLaw.staticGain;
        for (int ch = 0; ch < Channels; ++ch) x[ch] = admitSample(x[ch]);
    } else {
        float c[Channels];
        for (int d = 0; d < Channels; ++d) {
            bool rejected = false;
            c[d] = detector.state.channel[d].step(detector.settings, x[d] + detector.state.antiDenormal, rejected);
            if (rejected) x[d] = 0.0f;  // an unmeasurable sample leaves as silence
        }
        // A mono signal counts as two identical channels.
        computeLevelerGain(static_cast<double>(c[0]) + static_cast<double>(c[Channels - 1]));
    }

    float gained[Channels];
    for (int ch = 0; ch < Channels; ++ch) gained[ch] = lookahead.exchange(ch, x[ch]) * gainLaw.levelerGain;
    lookahead.advance();

    float centres[Channels];
    const float peak = truePeak.estimate(gained, Channels, (1u << Channels) - 1u, centres, nullptr);
    float out[Channels];
    limitSample(limiterPeak(peak, centres, Channels, Recovery::Group), centres, out, Channels);
    for (int ch = 0; ch < Channels; ++ch) outputs[ch][i] = out[ch];
}

template <int Channels>
bool LevelerCore::channelsPass(const float* const inputs[Channels], float* const outputs[Channels],
                               int32_t n) {
    const PassUndo before = undoPoint();
    float* admitted[Channels];
    for (int ch = 0; ch < Channels; ++ch) admitted[ch] = pass.admitted[ch];
    if (gainLaw.staticGainMode) {
        staticGainPass(Channels, inputs, admitted, n);
    } else {
        // A mono signal counts as two identical channels.
        detectAndGainPass(Channels, inputs, admitted, n, [](const float (*c)[kPassFrames], int32_t i) {
            return static_cast<double>(c[0][i]) + static_cast<double>(c[Channels - 1][i]);
        });
    }
    if (!truePeakPass(n, Channels, (1u << Channels) - 1u, -1)) {
        undo(before);
        return false;
    }
    commitPass(n, Channels);
    const float* centres[Channels];
    for (int ch = 0; ch < Channels; ++ch) centres[ch] = passCentres(ch);
    limitPass(n, centres, outputs, Channels, nullptr, nullptr, nullptr, nullptr);
    return true;
}

// ------------------------------------------------------------------- 5.1

void LevelerCore::processSurround(const float* const inputs[6], float* const outputs[6],
                                  float* lfeCentreOut, float* lfePeakOut, int32_t count,
                                  LevelerCore* lfeEngine) {
    inPasses<kAudioChannels>(inputs, outputs, count, [&](const float* const* in, float* const* out, int32_t done,
                                                         int32_t n) {
        float* lfeCentre = lfeCentreOut + done;
        float* lfePeak = lfePeakOut + done;
        if (surroundPass(in, out, lfeCentre, lfePeak, n, lfeEngine)) return;
        for (int32_t i = 0; i < n; ++i) surroundFrame(in, out, i, lfeCentre, lfePeak);
        // Every LFE input sample of the pass has been read.
        if (lfeEngine != nullptr) lfeEngine->limitLfe(lfeCentre, lfePeak, out[LFE], n);
    });
}

void LevelerCore::surroundFrame(const float* const inputs[6], float* const outputs[6], int32_t i,
                                float* lfeCentreOut, float* lfePeakOut) {
    float x[kAudioChannels];
    for (int ch = 0; ch < kAudioChannels; ++ch) x[ch] = inputs[ch][i];
    // The LFE feeds no detector: it is admitted here on every path.
    x[LFE] = admitSample(x[LFE]);

    if (gainLaw.staticGainMode) {
        gainLaw.levelerGain = gainLaw.staticGain;
        for (int r = 0; r < kLimitedChannels; ++r) x[kMainChannel[r]] = admitSample(x[kMainChannel[r]]);
    } else {
        float c[kDetectorChannels];
        for (int d = 0; d < kDetectorChannels; ++d) {
            bool rejected = false;
            c[d] = detector.state.channel[d].step(detector.settings,
                                                  x[kMainChannel[d]] + detector.state.antiDenormal, rejected);
            if (rejected) x[kMainChannel[d]] = 0.0f;
        }
        computeLevelerGain(surroundPower([&c](int d) { return c[d]; }));
    }

    // The LFE is never levelled: it gets its own fixed gain.
    float gained[kAudioChannels];
    for (int ch = 0; ch < kAudioChannels; ++ch)
        gained[ch] = lookahead.exchange(ch, x[ch]) * (ch == LFE ? gainLaw.lfeGain : gainLaw.levelerGain);
    lookahead.advance();

    float centres[kAudioChannels];
    float lfePeak = 0.0f;
    const float peak = truePeak.estimate(gained, kAudioChannels, kCountedForGroupPeak, centres, &lfePeak);
    // The LFE leaves for the LFE engine as estimated; a recovery of the
    // main group does not touch it.
    lfeCentreOut[i] = centres[LFE];
    lfePeakOut[i] = lfePeak;

    float mainCentres[kLimitedChannels];
    for (int r = 0; r < kLimitedChannels; ++r) mainCentres[r] = centres[kMainChannel[r]];
    float out[kLimitedChannels];
    limitSample(limiterPeak(peak, mainCentres, kLimitedChannels, Recovery::Group), mainCentres, out,
                kLimitedChannels);
    for (int r = 0; r < kLimitedChannels; ++r) outputs[kMainChannel[r]][i] = out[r];
}

bool LevelerCore::surroundPass(const float* const inputs[6], float* const outputs[6],
                               float* lfeCentreOut, float* lfePeakOut, int32_t n, LevelerCore* lfeEngine) {
    const PassUndo before = undoPoint();
    // The LFE feeds no detector: it is admitted here on every path.
    for (int32_t i = 0; i < n; ++i) pass.admitted[LFE][i] = admitSample(inputs[LFE][i]);
    const float* in[kDetectorChannels];
    float* admitted[kDetectorChannels];
    for (int d = 0; d < kDetectorChannels; ++d) {
        in[d] = inputs[kMainChannel[d]];
        admitted[d] = pass.admitted[kMainChannel[d]];
    }
    if (gainLaw.staticGainMode) {
        staticGainPass(kDetectorChannels, in, admitted, n);
    } else {
        detectAndGainPass(kDetectorChannels, in, admitted, n, [](const float (*c)[kPassFrames], int32_t i) {
            return surroundPower([c, i](int d) { return c[d][i]; });
        });
    }
    if (!truePeakPass(n, kAudioChannels, kCountedForGroupPeak, LFE)) {
        undo(before);
        return false;
    }
    commitPass(n, kAudioChannels);
    // The LFE leaves for the LFE engine as estimated.
    std::memcpy(lfeCentreOut, passCentres(LFE), sizeof(float) * n);
    std::memcpy(lfePeakOut, pass.lfePeak, sizeof(float) * n);
    const float* centres[kLimitedChannels];
    float* out[kLimitedChannels];
    for (int r = 0; r < kLimitedChannels; ++r) {
        centres[r] = passCentres(kMainChannel[r]);
        out[r] = outputs[kMainChannel[r]];
    }
    limitPass(n, centres, out, kLimitedChannels, lfeEngine, lfeCentreOut, lfePeakOut, outputs[LFE]);
    return true;
}

// ------------------------------------------------------ shared pass stages

template <class ProgrammePower>
void LevelerCore::detectAndGainPass(int channels, const float* const* in, float* const* admitted, int32_t n,
                                    ProgrammePower programmePower) {
    float* power[kDetectorChannels];
    for (int d = 0; d < kDetectorChannels; ++d) power[d] = pass.power[d];
    const int width = kernels->detectorLanes;
    for (int d = 0; d < channels; d += width) {
        const int lanes = atMost(channels - d, width);
        kernels->detect(detector.settings, &detector.state.channel[d], lanes, detector.state.antiDenormal, in + d,
                        admitted + d, power + d, n, pass.detector);
    }
    for (int32_t i = 0; i < n; ++i) pass.programme[i] = programmePower(pass.power, i);
    kernels->gains(gainLaw, pass.programme, pass.gain, n);
    gainLaw.levelerGain = pass.gain[n - 1];
    if (n & 1) detector.state.antiDenormal = -detector.state.antiDenormal;
}

void LevelerCore::staticGainPass(int channels, const float* const* in, float* const* admitted, int32_t n) {
    gainLaw.levelerGain = gainLaw.staticGain;
    for (int32_t i = 0; i < n; ++i) pass.gain[i] = gainLaw.staticGain;
    for (int ch = 0; ch < channels; ++ch)
        for (int32_t i = 0; i < n; ++i) admitted[ch][i] = admitSample(in[ch][i]);
}

bool LevelerCore::truePeakPass(int32_t n, int channels, uint32_t countedMask, int lfeRing) {
    for (int ch = 0; ch < channels; ++ch) {
        float* history = pass.gained[ch];
        truePeak.history(ch, history);
        if (ch == lfeRing)
            lookahead.leaving(ch, n, gainLaw.lfeGain, history + kTruePeakHistory);
        else
            lookahead.leaving(ch, n, pass.gain, history + kTruePeakHistory);
    }

    for (int32_t i = 0; i < n; ++i) pass.peak[i] = 0.0f;
    for (int ch = 0; ch < channels; ++ch) {
        const bool counted = (countedMask & (1u << ch)) != 0;
        const bool lfe = ch == lfeRing;
        if (counted || lfe)
            kernels->interpolate(pass.gained[ch], n, counted ? pass.peak : nullptr, lfe ? pass.lfePeak : nullptr);
    }

    bool recovery = false;
    for (int32_t i = 0; i < n; ++i) recovery |= isOverflowPeak(pass.peak[i]);
    return !recovery;
}

void LevelerCore::commitPass(int32_t n, int channels) {
    const float* admitted[kAudioChannels];
    const float* gained[kAudioChannels];
    for (int ch = 0; ch < channels; ++ch) {
        admitted[ch] = pass.admitted[ch];
        gained[ch] = pass.gained[ch] + kTruePeakHistory;
    }
    lookahead.store(n, channels, admitted);
    truePeak.store(n, channels, gained);
}
