// LevelerCore: the whole signal-processing state of one channel group.
//
// K-weighted loudness detector -> gain law -> 34 ms look-ahead delay ->
// 4-phase true-peak estimator -> look-ahead true-peak limiter.
//
// Each stage keeps its state in one value struct with its fields documented
// there (Detector.h, GainLaw.h, LookaheadDelay.h, TruePeakEstimator.h,
// Limiter.h, Meters.h); this class sets them up and runs the processing
// loops over them. engine/README.md says what must change together when a
// stage changes.
//
// Mono and stereo instances own one engine; a 5.1 instance owns two (see
// Surround51), the second of which only limits the LFE channel.
//
// Numerics are part of the result: filters run in single precision, levels
// and coefficients are stored in single precision, smoother steps are formed
// in double precision from the stored values and rounded once when stored.
// Build with -ffp-contract=off.
//
// Threads: the engine takes no locks and allocates only in the constructor,
// setSampleRate and reset. Every operation must be called from one thread at
// a time; front ends hand parameter changes to the audio thread themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "Channels.h"
#include "Detector.h"
#include "GainLaw.h"
#include "Limiter.h"
#include "LookaheadDelay.h"
#include "Meters.h"
#include "PassKernels.h"
#include "TruePeakEstimator.h"

class LevelerCore {
public:
    // Channel counts of one group: up to six audio channels, of which up to
    // five feed the detector and the limiter's sample rings.
    static constexpr int kAudioChannels = orvanta::kAudioChannels;
    static constexpr int kDetectorChannels = orvanta::kDetectorChannels;
    static constexpr int kLimitedChannels = orvanta::kLimitedChannels;
    static constexpr int kTruePeakTaps = orvanta::TruePeakEstimator::kTaps;

    LevelerCore();
    LevelerCore(const LevelerCore&) = delete;
    LevelerCore& operator=(const LevelerCore&) = delete;

    void setSampleRate(float hz);
    void reset();

    void setTargetLevel(float lufs);
    void setTruePeak(float dbtp);
    void setMaxGain(float db);
    void setFreezeLevel(float lufs);
    void setInputLevel(float lufs);
    void setCorrectionHigh(float percent);
    void setCorrectionLow(float percent);
    void setMixMode(int mode);
    void setLfeGain(float db);
    void setChannelShare(float share);
    // For offline use, where the programme's loudness is known beforehand:
    // the detector starts as in a pause of a programme of that loudness
    // instead of where the gain law gives Max Gain, so the first second is
    // levelled as the rest is.
    // Acts only on a fresh engine, after the last setter (they restart the
    // detector); the plug-ins never call it.
    void startDetectorAt(float lufs);

    // Samples between an input sample and its output: look-ahead delay +
    // limiter look-ahead + the estimator's centre tap.
    uint32_t latency() const;

    // Processing loops. A count of 0 or less processes nothing. Every input
    // sample is read before the output at the same index is written, so an
    // output buffer may be its own channel's input buffer.
    void processMono(const float* input, float* output, int32_t count);
    void processStereo(const float* inL, const float* inR, float* outL, float* outR,
                       int32_t count);
    // Main engine of a 5.1 group. Channel order: front left, front right,
    // centre, LFE, back left, back right. Hands the LFE over to the LFE engine
    // through lfeCentreOut (the LFE centre samples) and lfePeakOut (the
    // unscaled LFE peaks); Surround51 wires the two engines together.
    // With `lfeEngine`, the LFE engine of the same group also limits the LFE
    // into outputs[3] within this call, as limitLfe after it would.
    void processSurround(const float* const inputs[6], float* const outputs[6],
                         float* lfeCentreOut, float* lfePeakOut, int32_t count,
                         LevelerCore* lfeEngine = nullptr);
    // LFE engine of a 5.1 group: limits the LFE centre samples with the
    // handed-over peaks and writes the limited LFE.
    void limitLfe(const float* lfeCentre, const float* lfePeak, float* lfeOut,
                  int32_t count);

    // Read access for tests, benchmarks and diagnostics.
    float getSampleRate() const { return sampleRate; }
    float getLevelerGain() const { return gainLaw.levelerGain; }
    float getEnvelope() const { return limiter.envelope; }
    float getCeiling() const { return limiter.ceiling; }
    float getOutScale() const { return limiter.outScale; }
    int getMixMode() const { return gainLaw.mixMode; }
    // Meter of the limiter's deepest reduction: the largest envelope that
    // scaled an output sample since the last clearDeepestEnvelope() (0 when
    // none did). The limiter's gain is ceiling / envelope. Reading or
    // clearing it never changes the audio.
    float getDeepestEnvelope() const { return meters.deepestEnvelope; }
    void clearDeepestEnvelope() { meters.deepestEnvelope = 0.0f; }
    // The same meter in dB: the deepest envelope over the level at which the
    // envelope rests (2^-10, 0.0085 dB, above the ceiling), so an idle
    // limiter, or a meter that saw no sample, reads exactly 0.
    double deepestReductionDb() const;
    // Samples on which the overflow recovery ran since construction.
    uint32_t overflowRecoveryCount() const { return meters.overflowRecoveries; }

private:
    friend struct LevelerCoreProbe;  // white-box access for the engine tests

    // ---- set-up (LevelerCore.cpp)
    // The gain law's coefficients from its settings; a fresh engine's
    // detector starts from the new law.
    void updateGainLaw();
    // The law flags, then updateGainLaw.
    void updateMixMode();
    // The detector's start levels, only while the engine is fresh.
    void initDetector();
    // Delay lines, filter memories and gap counters to zero (in place, no
    // allocation), then initDetector.
    void clearSignalState();
    // Every ring and line refilled at its length, then clearSignalState.
    void resizeBuffers();

    // ---- the overflow recovery (LevelerCore.cpp)
    // A true-peak estimate above 1e37 or NaN means a sample beyond measure
    // reached the estimator. The recovery: the frame's centre samples leave
    // as silence, the limiter's envelope restarts from the top with the
    // ceiling as the frame's peak, and, for a channel group, the leveler's
    // delay lines and filter memories clear. The LFE engine, which has
    // neither in use, runs only the limiter's part.
    enum class Recovery { Group, LimiterOnly };
    // The scaled peak of a frame for the limiter, or the recovery's.
    float limiterPeak(float peak, float* centres, int channels, Recovery reach) {
        return orvanta::isOverflowPeak(peak) ? overflowRecovery(centres, channels, reach)
                                             : peak * orvanta::kScaledFullScale;
    }
    float overflowRecovery(float* centres, int channels, Recovery reach) {
        ++meters.overflowRecoveries;
        const float peak = limiter.recoverFromOverflow(centres, channels);
        if (reach == Recovery::Group) clearSignalState();
        return peak;
    }

    // ---- frame by frame (Layouts.cpp): every stage for one frame, recovery
    // included. Mono and stereo share them over the channel count: a mono
    // signal counts as two identical channels in the programme power.
    void computeLevelerGain(double programmePower);
    template <int Channels>
    void processChannels(const float* const inputs[Channels], float* const outputs[Channels], int32_t count);
    template <int Channels>
    void channelsFrame(const float* const inputs[Channels], float* const outputs[Channels], int32_t i);
    void surroundFrame(const float* const inputs[6], float* const outputs[6], int32_t i,
                       float* lfeCentreOut, float* lfePeakOut);

    // ---- staged passes (Layouts.cpp)
    // Without an overflow recovery no stage feeds back into an earlier one:
    // the detector and the gain law never see the limiter. A pass therefore
    // runs each stage over up to kPassFrames frames before the next stage
    // starts, through the kernels of `kernels`. When a frame of the pass
    // would need the recovery (which clears the delay lines and filters in
    // the middle of the walk), the pass undoes what it did and the frames go
    // through the frame-by-frame path. Both paths give the same bits.
    static constexpr int kPassFrames = orvanta::kPassFrames;
    static constexpr int kTruePeakHistory = orvanta::TruePeakEstimator::kHistory;

    // What a pass changes before it knows whether it may finish. (The gain
    // law's memo of its last power and gain may stay: it holds for the law
    // whichever frames computed it.)
    struct PassUndo {
        orvanta::DetectorState detector;
        float levelerGain;
    };
    PassUndo undoPoint() const { return {detector.state, gainLaw.levelerGain}; }
    void undo(const PassUndo& before) {
        detector.state = before.detector;
        gainLaw.levelerGain = before.levelerGain;
    }

    // Staged passes; false (and nothing changed) when the frames need the
    // frame-by-frame path.
    template <int Channels>
    bool channelsPass(const float* const inputs[Channels], float* const outputs[Channels], int32_t n);
    bool surroundPass(const float* const inputs[6], float* const outputs[6], float* lfeCentreOut,
                      float* lfePeakOut, int32_t n, LevelerCore* lfeEngine);
    // Detector and gain stages of a pass: detector channel d runs on in[d]
    // and admitted[d] receives what goes on; programmePower(pass.power, i)
    // weighs the channels' powers of frame i as the layout does, and the
    // gain law turns the result into pass.gain.
    template <class ProgrammePower>
    void detectAndGainPass(int channels, const float* const* in, float* const* admitted, int32_t n,
                           ProgrammePower programmePower);
    // Static gain: every frame gets staticGain and the samples are admitted
    // without a detector.
    void staticGainPass(int channels, const float* const* in, float* const* admitted, int32_t n);
    // Look-ahead and estimator stages: pass.gained from the delay lines (the
    // LFE ring, when `lfeRing` >= 0, times lfeGain), unscaled group peaks in
    // pass.peak and the LFE ring's in pass.lfePeak. False when a frame's peak
    // starts the overflow recovery; then nothing is stored.
    bool truePeakPass(int32_t n, int channels, uint32_t countedMask, int lfeRing);
    // Stores the pass in the delay lines and the estimator's rings.
    void commitPass(int32_t n, int channels);
    // The centre samples of a pass's frames, channel ch: pass.gained taken
    // kCentreDelay frames behind.
    const float* passCentres(int ch) const {
        return pass.gained[ch] + kTruePeakHistory - orvanta::TruePeakEstimator::kCentreDelay;
    }

    // ---- the limiter stage of the loops (Limiter.cpp, where they inline
    // the limiter's step)
    void limitSample(float p, const float* centres, float* outputs, int channels);
    template <int channels>
    void limitFrame(float p, const float* centres, float* outputs);
    // The LFE engine's frame: its reduced recovery, then the limiter.
    void limitLfeFrame(float centre, float peak, float* output);
    void limitLfeEnvelope(float centre, float peak, int32_t i);
    // Limiter stage of a pass: frame i limits centres[ch][i] with the scaled
    // pass.peak[i] into outputs[ch][i]. For 5.1, `lfeEngine` (when not null)
    // steps along, limiting lfeCentre with lfePeak into lfeOut.
    void limitPass(int32_t n, const float* const* centres, float* const* outputs, int channels,
                   LevelerCore* lfeEngine, const float* lfeCentre, const float* lfePeak, float* lfeOut);
    template <int channels>
    void limitPassWith(int32_t n, const float* const* centres, float* const* outputs, LevelerCore* lfeEngine,
                       const float* lfeCentre, const float* lfePeak, float* lfeOut);

    // ---- the stages
    orvanta::Detector detector;
    orvanta::GainLaw gainLaw;
    orvanta::LookaheadDelay lookahead;
    orvanta::TruePeakEstimator truePeak;
    orvanta::Limiter limiter;
    orvanta::Meters meters;
    float sampleRate = 0.0f;  // clamped sample rate in Hz; 0 until the first rate set-up
    // The pass kernels, chosen for this processor when the engine is built.
    const orvanta::PassKernels* kernels = &orvanta::chosenKernels();

    // Scratch of one staged pass, fixed in size.
    struct PassScratch {
        float gain[kPassFrames + orvanta::kPassPad];
        float admitted[kAudioChannels][kPassFrames];
        // The estimator's history before the pass, then the pass's own
        // gained samples.
        float gained[kAudioChannels][kTruePeakHistory + kPassFrames + orvanta::kPassPad];
        float peak[kPassFrames + orvanta::kPassPad];
        float lfePeak[kPassFrames + orvanta::kPassPad];
        float power[kDetectorChannels][kPassFrames];
        double programme[kPassFrames + orvanta::kPassPad];
        // The gain of the limiter's envelope after each frame, and the LFE
        // engine's centre samples as its limiter takes them.
        float envelope[kPassFrames];
        float limitedCentre[kPassFrames];
        orvanta::DetectorScratch detector;
    } pass = {};
};
