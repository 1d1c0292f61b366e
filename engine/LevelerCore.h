// LevelerCore: the whole signal-processing state of one channel group.
//
// K-weighted loudness detector -> gain law -> 34 ms look-ahead delay ->
// 4-phase true-peak estimator -> look-ahead true-peak limiter.
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

class LevelerCore {
public:
    // Channel counts of one group: up to six audio channels, of which up to
    // five feed the detector and the limiter's sample rings.
    static constexpr int kAudioChannels = 6;
    static constexpr int kDetectorChannels = 5;
    static constexpr int kLimitedChannels = 5;
    static constexpr int kTruePeakTaps = 12;

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
    float getLevelerGain() const { return levelerGain; }
    float getEnvelope() const { return envelope; }
    float getCeiling() const { return ceiling; }
    float getOutScale() const { return outScale; }
    int getMixMode() const { return mixMode; }
    // Meter of the limiter's deepest reduction: the largest envelope that
    // scaled an output sample since the last clearDeepestEnvelope() (0 when
    // none did). The limiter's gain is ceiling / envelope. Reading or
    // clearing it never changes the audio.
    float getDeepestEnvelope() const { return deepestEnvelope; }
    void clearDeepestEnvelope() { deepestEnvelope = 0.0f; }
    // The same meter in dB: the deepest envelope over the level at which the
    // envelope rests (2^-10, 0.0085 dB, above the ceiling), so an idle
    // limiter, or a meter that saw no sample, reads exactly 0.
    double deepestReductionDb() const;
    // Samples on which the overflow recovery ran since construction.
    uint32_t overflowRecoveryCount() const { return overflowRecoveries; }

private:
    friend struct LevelerCoreProbe;  // white-box access for the engine tests

    // Which level a previous peak must exceed to restart the look-ahead
    // window early.
    enum class WatchedLevel : uint8_t { WindowStart, WindowPeak, Envelope };

    // ---- set-up (LevelerCore.cpp) ----
    void updateGainLaw();
    void updateMixMode();
    void clearSignalState();
    void resizeBuffers();
    void restartLimiter();

    // ---- detector (Detector.cpp) ----
    void designKWeighting(float rate);
    void initDetector();
    // One detector step; returns the calibrated channel power. A sample whose
    // filter or power values overflow is rejected: the channel's filter
    // memories clear, its levels hold, and `rejected` is set.
    float detectChannel(int d, float x, bool& rejected);

    // Detector stage of a pass, channels side by side as the lanes of one
    // vector: lane j < `lanes` runs detector channel first + j on in[j]. The
    // channel powers go to pass.power, the samples that go on (an
    // unmeasurable one as silence) to admitted[j]. Same bits as
    // detectChannel. Two lanes per call on the baseline instruction set, up
    // to eight with AVX2 (passLanes()).
    void detectPass(int first, int lanes, const float* const* in, float* const* admitted, int32_t n);
    int passLanes() const { return useAvx2 ? 8 : 2; }
    void detectPassBaseline(int first, int lanes, const float* const* in, float* const* admitted, int32_t n);
    void detectPassAvx2(int first, int lanes, const float* const* in, float* const* admitted, int32_t n);
    template <class Wide>
    void detectPassWith(int first, int lanes, const float* const* in, float* const* admitted, int32_t n);

    // ---- gain law and look-ahead delay (GainLaw.cpp) ----
    // The leveler gain for a programme power, as the law and maxGain give it.
    float lawGain(double programmePower) const;
    void computeLevelerGain(double programmePower);
    // Gain stage of a pass: pass.gain from pass.programme, and the
    // antiDenormal flips of the pass's frames.
    void levelerGainPass(int32_t n);
    void advanceLookahead();

    // ---- true-peak estimator (TruePeak.cpp) ----
    // Writes the gained samples of `channels` rings, returns the largest
    // magnitude over the counted rings (NaN when a counted centre is NaN) and
    // their centre samples. `lfePeak`, when not null, receives the peak of
    // ring 3 alone.
    float estimateTruePeak(const float* gained, int channels, uint32_t countedMask,
                           float* centres, float* lfePeak);
    // The scaled peak to hand the limiter. An estimate above 1e37 or NaN
    // instead runs the group's overflow recovery (centres silenced, envelope
    // to 32, delay lines and filter memories cleared) and hands on the ceiling.
    float limiterPeak(float peak, float* centres, int channels);

    // ---- staged passes (Layouts.cpp, TruePeak.cpp) ----
    // Without an overflow recovery no stage feeds back into an earlier one:
    // the detector and the gain law never see the limiter. A pass therefore
    // runs each stage over up to kPassFrames frames before the next stage
    // starts. When a frame of the pass would need the recovery (which clears
    // the delay lines and filters in the middle of the walk), the pass undoes
    // what it did and the frames go through the sample-by-sample path.
    //
    // No more frames than the shortest look-ahead delay (272 samples at
    // 8 kHz): no frame of a pass reads a delay slot that the pass writes.
    static constexpr int kPassFrames = 256;
    static constexpr int kTruePeakHistory = kTruePeakTaps - 1;
    // Room for the estimator's groups of up to eight frames past the end of
    // a pass.
    static constexpr int kPassPad = 7;

    // The detector fields a pass changes, kept to undo it.
    struct DetectorState {
        float shelfState1[kDetectorChannels], shelfState2[kDetectorChannels];
        float highPassState1[kDetectorChannels], highPassState2[kDetectorChannels];
        float fastPower[kDetectorChannels], heldPower[kDetectorChannels];
        float slowPower[kDetectorChannels], kPower[kDetectorChannels];
        float calibrationTarget[kDetectorChannels], calibration[kDetectorChannels];
        int32_t startupCount[kDetectorChannels];
        uint16_t gapCount[kDetectorChannels];
        float antiDenormal, levelerGain;
    };
    void saveDetector(DetectorState& state) const;
    void restoreDetector(const DetectorState& state);

    // Frame-by-frame path: every stage for one frame, recovery included.
    // Mono and stereo share them over the channel count: a mono signal
    // counts as two identical channels in the programme power.
    template <int Channels>
    void processChannels(const float* const inputs[Channels], float* const outputs[Channels], int32_t count);
    template <int Channels>
    void channelsFrame(const float* const inputs[Channels], float* const outputs[Channels], int32_t i);
    void surroundFrame(const float* const inputs[6], float* const outputs[6], int32_t i,
                       float* lfeCentreOut, float* lfePeakOut);
    // Staged passes; false (and nothing changed) when the frames need the
    // frame-by-frame path.
    template <int Channels>
    bool channelsPass(const float* const inputs[Channels], float* const outputs[Channels], int32_t n);
    bool surroundPass(const float* const inputs[6], float* const outputs[6], float* lfeCentreOut,
                      float* lfePeakOut, int32_t n, LevelerCore* lfeEngine);
    // Look-ahead stage of a pass: pass.gained[ch] receives the delayed
    // samples times the frame's gain (the LFE ring, when `lfeRing` >= 0,
    // times lfeGain); commitLookahead stores pass.admitted in the lines.
    void gainDelayedPass(int32_t n, int channels, int lfeRing);
    void commitLookahead(int32_t n, int channels);
    // Estimator stage of a pass over pass.gained: unscaled group peaks into
    // pass.peak, the LFE ring's peaks into pass.lfePeak when `lfeRing` >= 0.
    // False when a frame's peak starts the overflow recovery.
    bool truePeakPass(int32_t n, int channels, uint32_t countedMask, int lfeRing);
    // One ring's phases over a pass: raises pass.peak where `counted`, sets
    // pass.lfePeak where `lfe`. Four frames per vector on the baseline, eight
    // with AVX2.
    void interpolatePassBaseline(const float* history, int32_t n, bool counted, bool lfe);
    void interpolatePassAvx2(const float* history, int32_t n, bool counted, bool lfe);
    void commitTruePeakRings(int32_t n, int channels);

    // ---- limiter (Limiter.cpp) ----
    void limitSample(float p, const float* centres, float* outputs, int channels);
    template <int channels>
    void limitFrame(float p, const float* centres, float* outputs);
    void limitEnvelope(float p);
    void limitLfeEnvelope(float centre, float peak, int32_t i);
    float lfeLimiterPeak(float peak, float& centre);
    // The sample side of a pass's limiter: the centres delayed by limLen
    // through the sample rings (from `firstSlot` on), scaled by the gains
    // in pass.envelope.
    void scaleDelayedPass(int32_t n, uint16_t firstSlot, const float* const* centres, float* const* outputs,
                          int channels);
    // The LFE engine's step for one frame: its reduced recovery, then the limiter.
    void limitLfeFrame(float centre, float peak, float* output);
    // Limiter stage of a pass: frame i limits centres[ch][i] with the scaled
    // pass.peak[i] into outputs[ch][i]. For 5.1, `lfeEngine` (when not null)
    // steps along, limiting lfeCentre with lfePeak into lfeOut.
    void limitPass(int32_t n, const float* const* centres, float* const* outputs, int channels,
                   LevelerCore* lfeEngine, const float* lfeCentre, const float* lfePeak, float* lfeOut);
    template <int channels>
    void limitPassWith(int32_t n, const float* const* centres, float* const* outputs, LevelerCore* lfeEngine,
                       const float* lfeCentre, const float* lfePeak, float* lfeOut);
    void limitBlock();
    float watchedValue() const;

    // ---- fields, in declaration order of the engine's data model ----
    std::vector<float> levelRing, peakRing, sampleRing[kLimitedChannels];
    std::vector<float> tpRing[kAudioChannels];
    std::vector<float> lookaheadDelay[kAudioChannels];

    float ceiling, releaseFloor, floorKnee, holdMin, floorMin, blockFloor;
    float sampleRate;
    float outScale;

    float shelfA1, shelfA2, shelfB0, shelfB1, shelfB2;
    float highPassA1, highPassA2;
    float shelfState1[kDetectorChannels], shelfState2[kDetectorChannels];
    float highPassState1[kDetectorChannels], highPassState2[kDetectorChannels];
    float fastPower[kDetectorChannels], heldPower[kDetectorChannels];
    float slowPower[kDetectorChannels], kPower[kDetectorChannels];
    float calibrationTarget[kDetectorChannels], calibration[kDetectorChannels];

    double coef100ms, coef500ms, coef800ms, coef8s;
    double targetAmplitude;
    float targetLevel;
    float maxGain;
    float freezeThreshold;
    float freezeLevel;
    float inputLevel;
    double inputAmplitudeInverse;
    double inputPower;
    double correctionHigh, correctionLow;
    double highLinearScale, lowLinearScale;
    float staticGain;
    double highLinearOffset, lowLinearOffset, highLogOffset, lowLogOffset;
    double highLogSlope, lowLogSlope;
    float lfeGain;
    float channelShare;
    float levelerGain;
    float antiDenormal;
    int32_t startupCount[kDetectorChannels];
    uint16_t gapCount[kDetectorChannels];
    uint16_t gapHoldLength;
    uint16_t lookaheadLength;
    uint16_t lookaheadLast;
    uint16_t lookaheadIndex;
    int8_t mixMode;
    uint8_t highUsesLogLaw, lowUsesLogLaw, staticGainMode;

    // limiter lengths and counters
    uint16_t limLen, limLast, windowCount, holdLen, holdCount, longHoldLen, longHoldCount;
    uint8_t blockHoldLen, blockHoldCount;

    // limiter levels (scaled domain: amplitude x 31.999996185302734)
    float windowStart, shortHold, longHold, holdLevel, peakTarget, peakMemory, blockHold;
    float releaseZone, creepLimit, windowPeak, levelRef;
    WatchedLevel watchedLevel;
    float lastPeak;
    double attackDiv, releaseCoef, levelRise, levelFall, attackStep;
    float attackGoal, quietLevel, quietGate, levelGate, levelGateActive, envelope;
    float slowPeak, slowHold;
    uint8_t quietBlocks, quietHang, gateHang;
    uint32_t levelHang;
    uint16_t floorHang, refHang;
    uint16_t limPos;
    uint8_t tpWrite, tpCentre;
    bool floorPending, refArm, attackFlag;

    uint32_t overflowRecoveries = 0;  // diagnostics only
    float deepestEnvelope = 0.0f;     // meter only
    bool sampleBySampleOnly = false;  // tests: the frame-by-frame path for every frame
    // The last programme power the log law computed in a pass, and its gain
    // (-1: none; powers are never negative).
    double lastLawPower = -1.0;
    float lastLawGain = 1.0f;
    // The pass kernels built for AVX2 run where the processor has it; the
    // bits are the same either way (tests switch it off to compare).
    bool useAvx2 = processorHasAvx2();
    static bool processorHasAvx2();

    // Scratch of one staged pass, fixed in size.
    struct PassScratch {
        float gain[kPassFrames];
        float admitted[kAudioChannels][kPassFrames];
        // The 11 gained samples before the pass, then the pass's own.
        float gained[kAudioChannels][kTruePeakHistory + kPassFrames + kPassPad];
        float peak[kPassFrames + kPassPad];
        float power[kDetectorChannels][kPassFrames];
        double programme[kPassFrames];
        // The gain of the limiter's envelope after each frame, and the LFE
        // engine's centre samples as its limiter takes them.
        float envelope[kPassFrames];
        float limitedCentre[kPassFrames];
        // What the detector's stages hand on to one another, up to eight
        // lanes per frame.
        float blendA[kPassFrames * 8], blendB[kPassFrames * 8], weighted[kPassFrames * 8];
        int32_t measured[kPassFrames * 8];
        float levelLanes[kPassFrames * 8], ratioLanes[kPassFrames * 8], powerLanes[kPassFrames * 8];
        float lfePeak[kPassFrames + kPassPad];
    } pass = {};
};
