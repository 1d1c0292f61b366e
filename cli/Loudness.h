// EBU R128 measurement of a stream of interleaved frames with libebur128:
// integrated loudness, loudness range, maximum true peak, the largest
// short-term loudness, and the short-term loudness series for the plot.
//
// The meter keeps its gating blocks in libebur128's histogram (0.1 LU bins
// from -70 to +30 LUFS), so its memory stays the same however long the
// programme: each block counts at its bin's centre energy.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "ChannelMap.h"

#include <ebur128.h>

struct LoudnessFigures {
    double integratedLufs = 0;  // -inf when every block is gated out (silence)
    double rangeLu = 0;
    double truePeakDbtp = 0;    // -inf for digital silence (or not measured)
    double maxShortTermLufs = 0;  // -inf when not measured
};

// What a meter measures beyond integrated loudness and loudness range; the
// true-peak meter costs several times the rest, so a pass that needs no
// peak leaves it out.
struct MeterChoice {
    bool truePeak = true;
    bool range = true;             // the loudness range (3 s of sums every second)
    bool maxShortTerm = false;    // every 100 ms, as delivery limits are read
    int64_t seriesStepFrames = 0;  // short-term series for the plot; 0: none
};

class LoudnessMeter {
public:
    // `fileMap` is the file's channel order (engineToFile of its layout): the
    // LFE is left out and the back channels weigh 1.41, mono counts as dual
    // mono (as the engine measures it).
    LoudnessMeter(const ChannelLayout& layout, int rate, const MeterChoice& choice);  // throws FileError
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    LoudnessFigures figures() const;
    // Short-term loudness (LUFS, -inf for silence) at the end of every step.
    const std::vector<float>& shortTerm() const { return shortTerm_; }

private:
    ebur128_state* state_ = nullptr;
    int channels_;
    MeterChoice choice_;
    static constexpr unsigned long kBlockMs = 100;
    static constexpr int kBlocksPerWindow = 30;  // 3 s
    int64_t step_;  // frames of one 100 ms block
    int64_t stepsPerPoint_ = 0;  // readings per series point
    int64_t intoStep_ = 0, steps_ = 0;
    double maxShortTerm_;
    double blockPowers_[kBlocksPerWindow] = {};
    double windowPower_ = 0.0;
    int ringPos_ = 0;
    std::vector<float> shortTerm_;
};

// A LoudnessMeter on a thread of its own, so the measurement (libebur128's
// true-peak oversampling above all) runs beside the engine instead of after
// it. add() copies the frames into a bounded queue; finish() waits until
// every frame is measured. The destructor stops and joins the thread.
class BackgroundMeter {
public:
    BackgroundMeter(const ChannelLayout& layout, int rate, const MeterChoice& choice);  // throws FileError
    ~BackgroundMeter();
    BackgroundMeter(const BackgroundMeter&) = delete;
    BackgroundMeter& operator=(const BackgroundMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    void finish();
    const LoudnessMeter& meter() const { return meter_; }  // after finish()

private:
    static constexpr size_t kQueuedBlocks = 8;
    LoudnessMeter meter_;
    int channels_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<float>> queue_;
    std::vector<std::vector<float>> spare_;
    bool closing_ = false;
    std::thread thread_;
    void run();
};
